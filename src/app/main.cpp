// annoncia: the console program. One argument, the portal; the memo goes to
// standard output; the exit status tells the scheduler how the run went.
// --help, --version and --etat are answered before anything touches the log
// or the settings.
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ConsoleWindow.h"
#include "feeds/Portals.h"
#include "platform/Paths.h"
#include "report/AfterRun.h"
#include "shell/UnitAnnoncia.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  shell::TPortalTable portals;
  feeds::RegisterPortals(portals);
  int status = 0;
  if (app::AnswerInformationRequest(arguments, portals, {"annoncia", "PORTAIL", platform::ExecutablePath()},
                                    std::cout, std::cerr, status)) {
    return status;
  }
  // Before the run and its log, as for the usage line.
  if (arguments.size() == 1 && arguments[0] == "--etat") return report::PrintStatusSummary(portals, std::cout);
  report::RegisterAfterRunSteps(portals);
  app::TConsoleWindow window;
  shell::TRunControl run(window, std::move(portals), platform::ExecutablePath());
  run.FormCreate(arguments);
  return run.ExitStatus();
}
