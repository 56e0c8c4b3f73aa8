#include "support/Installation.h"

#include <filesystem>

namespace testsupport {

TInstallation::TInstallation(const std::string& program, const std::vector<std::string>& companions) {
  namespace fs = std::filesystem;
  MakeDirs(ExeDir());
  MakeDirs(WorkDir());
  program_ = ExeDir() + "/" + fs::path(program).filename().string();
  CopyFileTo(program, program_);
  for (const auto& c : companions) CopyFileTo(c, ExeDir() + "/" + fs::path(c).filename().string());
}

void TInstallation::WriteIni(const std::string& text) const { WriteSettingsFile(ExeDir() + "/Annoncia.ini", text); }

std::string TInstallation::LogText(const std::string& option) const {
  return ReadFile(TempDir() + "/ZuroviRazevi" + option + ".log");
}

TProcessResult TInstallation::Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> env,
                                  int timeoutSeconds) const {
  env.emplace("WINDIR", Windir());
  return RunProcess(program_, arguments, env, timeoutSeconds);
}

std::vector<std::string> TInstallation::WorkFiles() const {
  std::vector<std::string> names;
  for (std::string& name : ListFolder(WorkDir())) {
    if (name != "historique.jsonl" && name != "historique.lock" && name != "etat.html") names.push_back(std::move(name));
  }
  return names;
}

}  // namespace testsupport
