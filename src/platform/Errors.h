// Error kinds raised by the platform layer.
//
// EInOutError is the input/output error of the system: it carries the
// system's error code (2 = file not found, 3 = path not found, 5 = access
// denied, ...) so that callers and operators see the codes they know.
// POSIX errno values are translated here and nowhere else.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class EInOutError : public std::runtime_error {
public:
  EInOutError(int errorCode, const std::string& message);
  // The message names the file or folder: message + " : " + path.
  EInOutError(int errorCode, const std::string& message, const std::string& path);
  int ErrorCode;
  std::string Path;  // the file or folder the error is about; may be empty
};

// The system error code that stands for a POSIX errno value.
int SystemErrorCode(int posixErrno);

// The message the system gives for an input/output error code.
std::string InOutErrorMessage(int errorCode);

// Raises EInOutError for a failed call that set errno.
[[noreturn]] void RaiseInOutError(int posixErrno);
[[noreturn]] void RaiseInOutError(int posixErrno, const std::string& path);
// Raises EInOutError about path for the platform call that has just failed
// (one of the calls of Files.h that answer false).
[[noreturn]] void RaiseLastInOutError(const std::string& path);

}  // namespace platform
