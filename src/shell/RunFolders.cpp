#include "shell/RunFolders.h"

#include "platform/Environment.h"

namespace shell {

std::string LogFolder() { return platform::GetEnvironmentVariable("Windir") + "\\TEMP"; }

std::string WorkFolder() { return LogFolder() + "\\Annoncia"; }

}  // namespace shell
