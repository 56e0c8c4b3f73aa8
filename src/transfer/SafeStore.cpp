#include "transfer/SafeStore.h"

namespace transfer {
namespace {

bool IsRefusal(const EFtpError& error) {
  return error.Failure() == TFtpFailure::Refused || error.Failure() == TFtpFailure::Temporary;
}

// Best effort: a temporary file left behind is replaced by the next run.
void RemoveQuietly(TFtpSession& session, const std::string& remoteName) {
  if (!session.InStep()) return;
  try {
    session.Delete(remoteName);
  } catch (const EFtpError&) {
  }
}

[[noreturn]] void RaiseRenameRefused(const EFtpError& error) {
  throw ERenameRefused(error.what(), error.Failure(), error.Reply(), error.Command());
}

void RenameOver(TFtpSession& session, const std::string& temporary, const std::string& remoteName) {
  try {
    session.Rename(temporary, remoteName);
    return;
  } catch (const EFtpError& error) {
    if (!IsRefusal(error) || error.Reply() == 421) throw;
    if (error.Command() != "RNTO") RaiseRenameRefused(error);
    // RNFR was taken: the refusal may be of replacing an existing file.
    try {
      session.Delete(remoteName);
    } catch (const EFtpError& deletion) {
      if (!IsRefusal(deletion) || deletion.Reply() == 421) throw;
      RaiseRenameRefused(error);
    }
  }
  try {
    session.Rename(temporary, remoteName);
  } catch (const EFtpError& error) {
    if (!IsRefusal(error) || error.Reply() == 421) throw;
    RaiseRenameRefused(error);
  }
}

}  // namespace

void StoreUnderTemporaryName(TFtpSession& session, const std::string& localPath, const std::string& remoteName) {
  const std::string temporary = remoteName + kTemporarySuffix;
  try {
    const std::int64_t sent = session.Store(localPath, temporary);
    if (const auto size = session.RemoteSize(temporary); size && *size != sent) {
      throw EFtpError("Size on server " + std::to_string(*size) + " instead of " + std::to_string(sent),
                      TFtpFailure::Network);
    }
    RenameOver(session, temporary, remoteName);
  } catch (const EFtpError& error) {
    // A file that could not be read locally sent nothing.
    if (error.Failure() != TFtpFailure::Local) RemoveQuietly(session, temporary);
    throw;
  }
}

}  // namespace transfer
