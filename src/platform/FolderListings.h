// The platform's memory of folder listings, for matching names ignoring case.
//
// NativePath matches a missing component against its folder's entries. Reading
// a large folder for every new name would make staging N photos cost N²
// entries read, so each folder's listing is kept, stamped with the folder's
// identity and modification time: a change by anyone else shows as a new
// time and the folder is read again. The program's own creates and removes
// update a kept listing and its stamp, so a folder the program fills (or has
// just made or emptied) is never read again. Only the platform's own file
// calls use this header; they pass native paths, after a successful call.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace platform {

// NativePath(path), with exists true and the lstat of the native path in st
// when the look-up met it; exists false says nothing more.
std::string NativePathStat(std::string_view path, struct stat& st, bool& exists);

// The entry of native folder (empty or ending in "/") whose name equals name
// ignoring case, or empty.
std::string FindEntryIgnoringCase(const std::string& folder, const std::string& name);

// native was just created, or renamed to.
void NoteEntryCreated(const std::string& native);
// native is a folder just made: it starts with an empty listing.
void NoteFolderCreated(const std::string& native);
// native (and, for a folder, everything in it) was just removed.
void NoteEntryRemoved(const std::string& native);

}  // namespace platform
