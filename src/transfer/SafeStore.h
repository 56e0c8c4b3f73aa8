// Storing a file that readers on the server may pick up at any moment (a
// portal imports whatever feed it finds): the bytes go under a temporary name
// in the same folder, and only a complete file takes the final name, so that
// a broken transfer, a full disk or a killed run leaves the previous complete
// file in place.
#pragma once

#include <string>

#include "transfer/FtpSession.h"

namespace transfer {

// The server would not rename the temporary file; what it said is the message.
class ERenameRefused : public EFtpError {
public:
  using EFtpError::EFtpError;
};

// The temporary name: the final name with this added.
inline constexpr const char* kTemporarySuffix = ".part";

// Stores localPath as remoteName + kTemporarySuffix, compares the size the
// server gives for it (where it answers SIZE) with the bytes sent, then
// renames it to remoteName, replacing the old file; a server that will not
// replace gets the old file deleted first. On failure the temporary file is
// removed while the session is still in step, and the error is raised: a
// size that differs as a Network failure (the transfer broke), a refused
// rename as ERenameRefused.
void StoreUnderTemporaryName(TFtpSession& session, const std::string& localPath, const std::string& remoteName);

}  // namespace transfer
