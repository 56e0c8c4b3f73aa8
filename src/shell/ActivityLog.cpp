#include "shell/ActivityLog.h"

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "shell/UnitAnnoncia.h"

namespace shell {

std::string LogFilePath(const std::string& currentOption) {
  return platform::GetEnvironmentVariable("Windir") + "\\TEMP\\ZuroviRazevi" + currentOption + ".log";
}

void LogLine(TRunControl& run, const std::string& message) {
  const std::string path = LogFilePath(run.CurrentOption);
  if (message.empty()) {
    platform::WriteFileBytes(path, "");
    run.Window.AddMemoLine("-> ");
    return;
  }
  const std::string line =
      platform::FormatDateTime(platform::kLogDateTimeFormat, platform::Now()) + " - " + message;
  platform::AppendFileBytes(path, line + "\r\n");
  run.Window.AddMemoLine("-> " + line);
}

}  // namespace shell
