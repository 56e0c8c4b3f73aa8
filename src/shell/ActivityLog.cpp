#include "shell/ActivityLog.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "shell/UnitAnnoncia.h"

namespace shell {

std::string LogFilePath(const std::string& currentOption) {
  return platform::GetEnvironmentVariable("Windir") + "\\TEMP\\ZuroviRazevi" + currentOption + ".log";
}

void RestartLog(TRunControl& run) {
  platform::WriteFileBytes(LogFilePath(run.CurrentOption()), "");
  run.Window.AddMemoLine("-> ");
}

void LogLine(TRunControl& run, const std::string& message) {
  if (message.empty()) {
    RestartLog(run);
    return;
  }
  const std::string path = LogFilePath(run.CurrentOption());
  const std::string line =
      platform::FormatDateTime(platform::kLogDateTimeFormat, platform::Now()) + " - " + message;
  platform::AppendFileBytes(path, line + "\r\n");
  run.Window.AddMemoLine("-> " + line);
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
