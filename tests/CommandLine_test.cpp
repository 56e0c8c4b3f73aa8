// The programs as an administrator first meets them: --help and --version on
// a machine that is not set up, the first run without a log folder, and the
// warning about a settings file every user can read.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Installation.h"

using testsupport::TInstallation;

namespace {

// Every path under root with its size, to see that nothing was written.
std::vector<std::string> TreeOf(const std::string& root) {
  std::vector<std::string> entries;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::string entry = e.path().string();
    if (e.is_regular_file()) (entry += " ") += std::to_string(e.file_size());
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(CommandLine, HelpAndVersionAnswerWithoutTouchingAnything) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  inst.WriteIni("[Options]\r\n");
  const auto before = TreeOf(inst.Root());
  struct TCase {
    std::string Argument;
    std::map<std::string, std::string> Env;
  };
  // WINDIR set, WINDIR unset (the log would go to /TEMP), WINDIR without TEMP.
  const std::vector<std::map<std::string, std::string>> envs = {
      {}, {{"WINDIR", ""}}, {{"WINDIR", inst.Root() + "/NoSuchWindows"}}};
  for (const std::string argument : {"--help", "-h", "--version", "-V"}) {
    for (const auto& env : envs) {
      SCOPED_TRACE(argument + (env.empty() ? "" : " WINDIR=" + env.begin()->second));
      const auto r = inst.Run({argument}, env);
      EXPECT_EQ(r.ExitStatus, 0);
      EXPECT_EQ(r.Err, "");
      if (argument == "--version" || argument == "-V") {
        EXPECT_EQ(r.Out, "annoncia 1.1.0.0\n");
      } else {
        EXPECT_TRUE(r.Out.starts_with("Syntax : Annoncia \"option\"\n")) << r.Out;
        for (const char* portal : {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"}) {
          EXPECT_TRUE(Contains(r.Out, std::string("  ") + portal + "\n")) << portal;
        }
        EXPECT_TRUE(Contains(r.Out, "Fichier de paramètres : " + inst.ExeDir() + "/Annoncia.ini\n"));
        const std::string windir = env.empty() ? inst.Windir() : env.begin()->second;
        if (windir.empty()) {
          EXPECT_TRUE(Contains(r.Out, "WINDIR : (non défini : compte pour vide)\n"));
        } else {
          EXPECT_TRUE(Contains(r.Out, "WINDIR : " + windir + "\n"));
        }
        EXPECT_TRUE(Contains(r.Out, "Dossier de travail : " + windir + "/TEMP/Annoncia\n"));
        EXPECT_TRUE(Contains(r.Out, "Journal : " + windir + "/TEMP/ZuroviRazevi<PORTAIL>.log\n"));
        for (const char* status : {"  0  ", "  1  ", "  2  ", "  3  ", "  4  "}) EXPECT_TRUE(Contains(r.Out, status));
      }
    }
  }
  EXPECT_EQ(TreeOf(inst.Root()), before);
}

TEST(CommandLine, OtherArgumentsAreRunsAsBefore) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  inst.WriteIni("");
  // Help among other arguments is the usage line; an unknown option runs nothing.
  EXPECT_EQ(inst.Run({"--help", "ParuVendu"}).ExitStatus, 2);
  const auto r = inst.Run({"--aide"});
  EXPECT_EQ(r.ExitStatus, 2);
  EXPECT_EQ(r.Out, "");
}

#ifdef ANNONCIA_GUI_PATH
TEST(CommandLine, WindowProgramAnswersWithoutADisplay) {
  TInstallation inst(ANNONCIA_GUI_PATH);
  const std::map<std::string, std::string> noDisplay = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
  const auto version = inst.Run({"-V"}, noDisplay);
  EXPECT_EQ(version.ExitStatus, 0);
  EXPECT_EQ(version.Out, "annoncia-gui 1.1.0.0\n");
  const auto help = inst.Run({"--help"}, noDisplay);
  EXPECT_EQ(help.ExitStatus, 0);
  EXPECT_TRUE(Contains(help.Out, "  annoncia-gui [PORTAIL]\n")) << help.Out;
}
#endif

TEST(CommandLine, FirstRunWithoutLogFolderSaysWhatToSet) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH);
  const std::string bare = inst.Root() + "/Bare";
  testsupport::MakeDirs(bare);
  struct TCase {
    bool Ini;
    std::string Windir;  // empty: unset
    std::string File;
    std::string Folder;
    std::string Shown;
  };
  const std::vector<TCase> cases = {
      // With settings the restart of the portal's log fails; without, the missing-settings line.
      {true, bare, bare + "/TEMP/ZuroviRazeviPARUVENDU.log", bare + "/TEMP", bare},
      {false, bare, bare + "/TEMP/ZuroviRazevi.log", bare + "/TEMP", bare},
      {true, "", "/TEMP/ZuroviRazeviPARUVENDU.log", "/TEMP", "non défini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    if (c.Windir.empty() && testsupport::PathExists("/TEMP")) {
      ADD_FAILURE() << "/TEMP exists on this machine: the unset-WINDIR case cannot be checked";
      continue;
    }
    if (c.Ini) inst.WriteIni("[Options]\r\n");
    else std::filesystem::remove(inst.ExeDir() + "/Annoncia.ini");
    const auto r = inst.Run({"ParuVendu"}, {{"WINDIR", c.Windir}});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_TRUE(Contains(r.Err, "Journal impossible à écrire : " + c.File + "\n")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "Le dossier " + c.Folder + " n'existe pas : WINDIR (" + c.Shown + ")")) << r.Err;
    // The system's own message comes last, naming the file.
    EXPECT_TRUE(Contains(r.Err, "\nFile not found : ")) << r.Err;
    EXPECT_FALSE(testsupport::PathExists(c.Folder));
  }
}

TEST(CommandLine, SettingsReadableByEveryoneAreWarnedAboutAndTheRunGoesOn) {
  struct TCase {
    std::filesystem::perms Mode;
    bool Warned;
  };
  using P = std::filesystem::perms;
  const std::vector<TCase> cases = {
      {P::owner_read | P::owner_write | P::group_read | P::others_read, true},
      {P::owner_read | P::others_read, true},
      {P::owner_read | P::owner_write | P::group_read, false},
      {P::owner_read | P::owner_write, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Mode));
    TInstallation inst(ANNONCIA_CONSOLE_PATH);
    inst.WriteIni("[PARUVENDU]\r\nServeurFTP=127.0.0.1:1\r\n");
    const std::string ini = inst.ExeDir() + "/Annoncia.ini";
    std::filesystem::permissions(ini, c.Mode);
    // No data export: the run goes on past the warning and ends on the builder's error.
    const auto r = inst.Run({"ParuVendu"});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_TRUE(Contains(r.Err, "ExpDatasParuVendu.xml")) << r.Err;
    const std::string warning = " - Attention : le fichier INI " + ini +
                                " contient des mots de passe et est lisible par tous les utilisateurs ; "
                                "le protéger avec chmod 640 " + ini + ". Le passage continue.";
    EXPECT_EQ(Contains(r.Out, warning + "\n"), c.Warned) << r.Out;
    EXPECT_EQ(Contains(inst.LogText("PARUVENDU"), warning + "\r\n"), c.Warned);
  }
}
