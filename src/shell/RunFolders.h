// Where a run keeps its files: the one place these paths are composed.
#pragma once

#include <string>

namespace shell {

// Windir + "\TEMP": the activity logs.
std::string LogFolder();
// Windir + "\TEMP\Annoncia": the data exports, the feeds and their copies.
std::string WorkFolder();

}  // namespace shell
