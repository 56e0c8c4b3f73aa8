// Files that replace what a reader may see only when they are complete.
//
// TReplacingFile writes to a temporary file beside the final name (same
// folder, so the rename cannot cross file systems) and Commit() flushes it to
// disk and renames it over the final name in one step: a reader, or the next
// run after a crash, sees the previous complete file or the new complete
// file, never a part. A file never committed is removed by the destructor; a
// process killed before that leaves a temporary file named after its process
// id, which RemoveReplacingLeftovers clears on a later run.
//
// Every failure raises EInOutError naming the final file.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class TReplacingFile {
public:
  // Creates the temporary file for path (Windows-style or native).
  explicit TReplacingFile(const std::string& path);
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  void Write(std::string_view bytes);
  // Flushes and renames into place; the object holds nothing afterwards.
  void Commit();

private:
  std::string path_;        // as given, for messages
  std::string nativeFinal_;
  std::string nativeTemp_;
  int fd_ = -1;
};

// The whole file at once, through TReplacingFile.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// A copy of the file from, written to to through TReplacingFile: for a file
// just written that is wanted under a second name too. A failure to read
// from raises EInOutError naming from; to is then left as it was.
void CopyFileReplacing(const std::string& from, const std::string& to);

// The temporary name beside path that this process uses for it, for files a
// library writes itself (the archive) before they are renamed into place.
std::string ReplacingTempPath(const std::string& path);

// A prefix for temporary files made elsewhere (CreateTempFile) that makes
// them leftovers RemoveReplacingLeftovers clears once this process is gone.
std::string ReplacingTempPrefix(const std::string& prefix);

// Removes the temporary files of TReplacingFile left in folder by processes
// that no longer run (a killed run); files of live processes stay. Answers
// how many were removed.
int RemoveReplacingLeftovers(const std::string& folder);

}  // namespace platform
