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
  platform::AppendFileBytes(path, line + "\r\n");
  run.AddMemoLine("-> " + line);
}

}  // namespace shell
