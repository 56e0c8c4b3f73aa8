// Helpers shared by the tests: a scoped temporary folder, running a program
// as a child process, and reading and writing whole files. Test-only code; it
// uses the operating system directly.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes out of scope.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
  std::string path_;
};

struct TProcessResult {
  int ExitStatus = -1;  // exit code, or 128 + signal number
  std::string Out;
  std::string Err;
};

// Runs program with arguments, waits at most timeoutSeconds (then kills it
// and reports status -1). env entries replace or add variables; an entry
// with an empty value removes the variable.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                          const std::map<std::string, std::string>& env = {}, int timeoutSeconds = 120);

// Runs a Python script (the independent reader of archives and feeds) with
// /usr/bin/python3 and UTF-8 output.
TProcessResult RunPython(const std::string& script, const std::vector<std::string>& arguments);
// RunPython's output, failing the test when the script fails.
std::string PythonOutput(const std::string& script, const std::vector<std::string>& arguments);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// A settings file as it is installed: readable by its owner and group only
// (a file every user can read is warned about at each run).
void WriteSettingsFile(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
void MakeDirs(const std::string& path);
// Copies a file and its permission bits.
void CopyFileTo(const std::string& from, const std::string& to);
// Names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

// A loopback port on which nothing listens at the moment (a dead server, or
// one for a test server to take).
int ClosedLoopbackPort();
// A connection to the port on 127.0.0.1 (a descriptor to close), or -1.
int ConnectToLoopback(int port);

// Folder of the project's sources (from ANNONCIA_SOURCE_DIR, set by the build).
std::string SourceDir();

}  // namespace testsupport
