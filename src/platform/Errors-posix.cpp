#include "platform/Errors.h"

#include <cerrno>

namespace platform {

EInOutError::EInOutError(int errorCode, const std::string& message)
    : std::runtime_error(message), ErrorCode(errorCode) {}

int SystemErrorCode(int posixErrno) {
  switch (posixErrno) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return 5;
    case ENOSPC: return 112;
    case EEXIST: return 80;
    case EBUSY:
    case ETXTBSY: return 32;
    case ENAMETOOLONG: return 206;
    default: return posixErrno;
  }
}

std::string InOutErrorMessage(int errorCode) {
  switch (errorCode) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 112: return "Disk full";
    default: return "I/O error " + std::to_string(errorCode);
  }
}

void RaiseInOutError(int posixErrno) {
  const int code = SystemErrorCode(posixErrno);
  throw EInOutError(code, InOutErrorMessage(code));
}

}  // namespace platform
