// An installation of a built program in a temporary folder, for whole-run
// tests: the executable (with the libraries it loads at run time) copied into
// its own folder, where its Annoncia.ini goes, and a Windows folder (WINDIR)
// with TEMP and the work folder TEMP/Annoncia.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace testsupport {

class TInstallation {
public:
  // program: the built executable; companions: files copied beside it.
  explicit TInstallation(const std::string& program, const std::vector<std::string>& companions = {});

  std::string ExeDir() const { return root_ / "bin"; }
  std::string Program() const { return program_; }
  std::string Windir() const { return root_ / "Windows"; }
  std::string TempDir() const { return Windir() + "/TEMP"; }
  std::string WorkDir() const { return TempDir() + "/Annoncia"; }
  std::string Root() const { return root_.Path(); }

  // Names in the work folder, but the run history's own files
  // (historique.jsonl, historique.lock, etat.html), sorted.
  std::vector<std::string> WorkFiles() const;

  void WriteIni(const std::string& text) const;
  std::string LogText(const std::string& option) const;
  // Runs the program with WINDIR pointing at the Windows folder.
  TProcessResult Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> env = {},
                     int timeoutSeconds = 120) const;

private:
  TTempDir root_;
  std::string program_;
};

}  // namespace testsupport
