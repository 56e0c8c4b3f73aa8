#include "app/CommandLine.h"

#include "platform/Environment.h"
#include "platform/Paths.h"
#include "shell/ActivityLog.h"
#include "shell/RunOutcome.h"
#include "shell/UnitAnnoncia.h"

namespace app {
namespace {

void WriteHelp(const shell::TPortalTable& portals, const TProgramInfo& program, std::ostream& out) {
  const std::string windir = platform::GetEnvironmentVariable("Windir");
  out << shell::kUsageLine << "\n"
      << "  " << program.Name << ' ' << program.Synopsis << "\n"
      << "  " << program.Name << " --help | -h | --version | -V\n"
      << "\n"
      << "Publie le stock de véhicules d'occasion sur un portail d'annonces par FTP.\n"
      << "\n"
      << "Portails (PORTAIL, en majuscules ou minuscules) :\n";
  for (const shell::TPortal& portal : portals.All()) out << "  " << portal.DisplayName << "\n";
  out << "\n"
      << "Fichier de paramètres : " << platform::ExtractFilePath(program.ExecutablePath) << "Annoncia.ini\n"
      << "WINDIR : " << (windir.empty() ? "(non défini : compte pour vide)" : windir) << "\n"
      << "Dossier de travail : " << platform::NativePath(windir + "\\TEMP\\Annoncia") << "\n"
      << "Journal : " << platform::NativePath(shell::LogFilePath("<PORTAIL>")) << "\n"
      << "\n"
      << "Codes de sortie :\n"
      << "  " << shell::esSent << "  passage terminé, flux envoyé (ou rien à envoyer)\n"
      << "  " << shell::esError << "  une erreur a arrêté le passage (message sur la sortie d'erreur)\n"
      << "  " << shell::esNoRun << "  aucun passage : pas d'argument, plusieurs arguments ou portail inconnu\n"
      << "  " << shell::esNotSent << "  passage terminé, flux non envoyé (connexion, transfert ou flux retenu)\n"
      << "  " << shell::esPhotosIncomplete << "  flux envoyé, mais les photos n'ont pas toutes pu être envoyées\n";
}

int WriteVersion(const TProgramInfo& program, std::ostream& out, std::ostream& err) {
  std::string version;
  shell::ShowVersionInfo(program.ExecutablePath, [&version](const std::string& line) {
    static const std::string kKey = "FileVersion : ";
    if (line.rfind(kKey, 0) == 0) version = line.substr(kKey.size());
  });
  if (version.empty()) {
    err << program.Name << " : pas de bloc de version dans " << program.ExecutablePath << "\n";
    return shell::esError;
  }
  out << program.Name << ' ' << version << "\n";
  return shell::esSent;
}

}  // namespace

bool AnswerInformationRequest(const std::vector<std::string>& arguments, const shell::TPortalTable& portals,
                              const TProgramInfo& program, std::ostream& out, std::ostream& err,
                              int& exitStatus) {
  if (arguments.size() != 1) return false;
  const std::string& argument = arguments.front();
  if (argument == "--help" || argument == "-h") {
    WriteHelp(portals, program, out);
    exitStatus = shell::esSent;
  } else if (argument == "--version" || argument == "-V") {
    exitStatus = WriteVersion(program, out, err);
  } else {
    return false;
  }
  out.flush();
  err.flush();
  return true;
}

}  // namespace app
