// The answers to --help (-h) and --version (-V), for both programs.
//
// They are given before anything else happens: no settings file is read, no
// log line is written, no folder is created, so an administrator can ask a
// program that is not set up yet. Any other command line is a run's.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "shell/PortalTable.h"

namespace app {

struct TProgramInfo {
  std::string Name;            // "annoncia", "annoncia-gui"
  std::string Synopsis;        // what follows the name on the usage line: "PORTAIL"
  std::string ExecutablePath;  // the running program, whose folder holds the settings file
};

// When the command line is exactly one of --help, -h, --version or -V,
// writes the answer to out (a failure to err), sets exitStatus and returns
// true; otherwise returns false and writes nothing.
bool AnswerInformationRequest(const std::vector<std::string>& arguments, const shell::TPortalTable& portals,
                              const TProgramInfo& program, std::ostream& out, std::ostream& err,
                              int& exitStatus);

}  // namespace app
