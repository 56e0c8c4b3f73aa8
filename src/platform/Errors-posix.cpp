#include "platform/Errors.h"

#include <cerrno>

namespace platform {

EInOutError::EInOutError(int errorCode, const std::string& message)
    : std::runtime_error(message), ErrorCode(errorCode) {}

EInOutError::EInOutError(int errorCode, const std::string& message, const std::string& path)
    : std::runtime_error(message + " : " + path), ErrorCode(errorCode), Path(path) {}

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

void RaiseInOutError(int posixErrno, const std::string& path) {
  const int code = SystemErrorCode(posixErrno);
  throw EInOutError(code, InOutErrorMessage(code), path);
}

void RaiseLastInOutError(const std::string& path) { RaiseInOutError(errno != 0 ? errno : EIO, path); }

}  // namespace platform
