// annoncia: the console program. One argument, the portal; the memo goes to
// standard output; the exit status tells the scheduler how the run went.
#include <iostream>
#include <string>
#include <vector>

#include "app/ConsoleWindow.h"
#include "feeds/Portals.h"
#include "platform/Paths.h"
#include "report/AfterRun.h"
#include "shell/UnitAnnoncia.h"

int main(int argc, char** argv) {
  app::TConsoleWindow window;
  shell::TPortalTable portals;
  feeds::RegisterPortals(portals);
  // Before the run and its log, as for the usage line.
  if (argc == 2 && std::string(argv[1]) == "--etat") return report::PrintStatusSummary(portals, std::cout);
  report::RegisterAfterRunSteps(portals);
  shell::TRunControl run(window, std::move(portals), platform::ExecutablePath());
  run.FormCreate(std::vector<std::string>(argv + 1, argv + argc));
  return run.ExitStatus();
}
