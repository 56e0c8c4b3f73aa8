// Removing a whole folder tree, safely.
//
// RemoveFolderTree never leaves the folder it is given: entries are listed
// and removed relative to the opened folder, and no link below it is
// followed. A link is removed itself, never what it points to, and nothing
// outside the tree is changed (not even its mode). When the folder given is
// itself a link, only that link is removed. A folder below it that is
// read-only is made writable first, as the system's purge clears read-only
// attributes; the folder given is left as it is.
#pragma once

#include <string>

namespace platform {

// Removes folder (a Windows-style or native path) and everything below it.
// A missing folder removes nothing; a file of that name is an error and is
// kept. Raises EInOutError naming the first entry that cannot be removed.
void RemoveFolderTree(const std::string& folder);

// The real folder a path stands for, absolute: links, "." and ".." resolved
// the way the system reaches it. The part that does not exist yet is
// appended as written, with its own ".." applied (it holds no link).
// Raises EInOutError naming the path when a folder on the way cannot be read.
std::string RealFolderPath(const std::string& path);

// Whether the real folder inner is outer or lies below it (both as
// RealFolderPath answers them).
bool FolderWithin(const std::string& inner, const std::string& outer);

}  // namespace platform
