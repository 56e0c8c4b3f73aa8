#include "shell/ActivityLog.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "shell/UnitAnnoncia.h"

namespace shell {
namespace {
// A write of the log file. On a machine where WINDIR is not set up yet (the
// first run), the log folder is missing: the error then says which file,
// which folder and what to set, before the system's own message.
template <typename Write>
void WriteLog(const std::string& path, Write write) {
  try {
    write();
  } catch (const platform::EInOutError& error) {
    const std::string folder = platform::ExtractFileDir(path);
    if (platform::DirectoryExists(folder)) throw;
    const std::string windir = platform::GetEnvironmentVariable("Windir");
    std::string message = "Journal impossible à écrire : ";
    message += platform::NativePath(path);
    message += "\r\nLe dossier ";
    message += platform::NativePath(folder);
    message += " n'existe pas : WINDIR (";
    message += windir.empty() ? "non défini" : windir;
    message += ") doit désigner le dossier qui contient TEMP et TEMP/Annoncia, par exemple WINDIR=/var/lib/annoncia";
    message += "\r\n";
    message += error.what();
    throw platform::EInOutError(error.ErrorCode, message);
  }
}
}  // namespace

std::string LogFilePath(const std::string& currentOption) {
  return platform::GetEnvironmentVariable("Windir") + "\\TEMP\\ZuroviRazevi" + currentOption + ".log";
}

void RestartLog(TRunControl& run) {
  const std::string path = LogFilePath(run.CurrentOption());
  WriteLog(path, [&] { platform::WriteFileBytes(path, ""); });
  run.AddMemoLine("-> ");
}

void LogLine(TRunControl& run, const std::string& message) {
  if (message.empty()) {
    RestartLog(run);
    return;
  }
  const std::string path = LogFilePath(run.CurrentOption());
  const std::string line =
      platform::FormatDateTime(platform::kLogDateTimeFormat, platform::Now()) + " - " + message;
  WriteLog(path, [&] { platform::AppendFileBytes(path, line + "\r\n"); });
  run.AddMemoLine("-> " + line);
}

void LogLine(TRunControl& run, const std::string& lead, const std::string& text) {
  if (text.empty()) {
    LogLine(run, lead);
    return;
  }
  // The text may be a whole feed: the file gets it as it stands, and it is
  // joined to the rest once only, for the memo.
  const std::string path = LogFilePath(run.CurrentOption());
  const std::string stamp = platform::FormatDateTime(platform::kLogDateTimeFormat, platform::Now()) + " - ";
  platform::AppendFileBytes(path, stamp + lead);
  platform::AppendFileBytes(path, text);
  platform::AppendFileBytes(path, "\r\n");
  std::string memo;
  memo.reserve(3 + stamp.size() + lead.size() + text.size());
  memo.append("-> ").append(stamp).append(lead).append(text);
  run.Window.AddMemoLine(memo);
}

}  // namespace shell
