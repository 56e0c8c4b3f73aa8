#include "shell/UnitAnnoncia.h"

#include <cfenv>
#include <cmath>
#include <cstdio>

#include "platform/Ansi.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/VersionResource.h"
#include "shell/ActivityLog.h"

namespace shell {

void TFeedBuilderTable::Register(const std::string& option, TFeedBuilder builder) {
  builders_[option] = std::move(builder);
}

const TFeedBuilder* TFeedBuilderTable::Find(const std::string& option) const {
  const auto it = builders_.find(option);
  return it == builders_.end() ? nullptr : &it->second;
}

TRunControl::TRunControl(IMainWindow& window, TFeedBuilderTable builders, std::string executablePath)
    : Window(window), ExecutablePath(std::move(executablePath)), builders_(std::move(builders)) {}

void TRunControl::FormCreate(const std::vector<std::string>& arguments) {
  PhotoServerListing.reset();
  if (arguments.size() == 1) {
    try {
      RunExport(arguments[0]);
    } catch (const std::exception& error) {
      HandleException(error);
    }
  } else {
    Window.AddMemoLine(kUsageLine);
  }
}

void TRunControl::Button1Click(const std::string& comboText) {
  if (comboText.empty()) return;
  try {
    RunExport(comboText);
  } catch (const std::exception& error) {
    HandleException(error);
  }
}

void TRunControl::Button2Click() {
  Window.ClearMemo();
  ShowVersionInfo(ExecutablePath, [this](const std::string& line) { Window.AddMemoLine(line); });
}

void TRunControl::Timer1Timer() {
  if (RunFinished) ++CloseTicks;
  if (CloseTicks >= 30) Window.PostClose();
  Window.ProcessMessages();
}

void TRunControl::IdFTP1Status(const std::string& text) { Window.AddMemoLine(text); }
void TRunControl::IdFTP2Status(const std::string& text) { Window.AddMemoLine(text); }

void TRunControl::IdFTP2WorkBegin(std::int64_t expectedBytes) {
  TotalBytes = static_cast<std::int32_t>(expectedBytes);
}

void TRunControl::IdFTP2Work(std::int64_t bytesDone) {
  if (TotalBytes == 0) return;
  // The current rounding mode is to nearest with halves to even.
  const double exact = static_cast<double>(bytesDone) * 100.0 / static_cast<double>(TotalBytes);
  const auto percent = static_cast<std::int32_t>(std::nearbyint(exact));
  if (percent == LastPercent) return;
  LastPercent = percent;
  Window.SetLabel2("Transfert en cours : " + std::to_string(percent) + "%");
  Window.ProcessMessages();
}

void TRunControl::RunExport(const std::string& option) {
  const std::string upper = platform::UpperCaseAZ(option);
  CurrentOption.clear();
  runAttempted_ = true;

  const std::string iniPath = platform::ExtractFilePath(ExecutablePath) + "Annoncia.ini";
  if (!platform::FileExists(iniPath)) LogLine(*this, "Fichier INI non trouvé : " + iniPath);
  Settings = std::make_unique<TSettingsFile>(iniPath);
  PathImages = Settings->ReadString("Options", "PathImages", defaults::PathImages);
  URLImages = Settings->ReadString("Options", "URLImages", defaults::URLImages);

  for (const char* known : kRunOptions) {
    if (upper == known) CurrentOption = upper;
  }
  Window.SetStartControlsVisible(CurrentOption.empty());
  Window.SetCaption("Export des données pour " + upper);
  Window.SetBoxServerCaption("Connexion FTP pour " + upper + " : ");
  if (CurrentOption.empty()) return;

  LogLine(*this, "");
  const TFeedBuilder* builder = builders_.Find(CurrentOption);
  if (!builder) throw std::runtime_error("no feed builder for " + CurrentOption);
  (*builder)(*this);
}

void TRunControl::HandleException(const std::exception& error) {
  RunFailed = true;
  Window.ShowError(error.what());
}

int TRunControl::ExitStatus() const {
  if (RunFailed) return esError;
  if (!RunFinished) return esNoRun;
  if (UploadOutcome && !UploadOutcome->starts_with(kUploadSentOutcome)) return esNotSent;
  return esSent;
}

void TRunControl::LoadConnectionFields() {
  const TSettingsFile& s = *Settings;
  using F = TConnectionField;
  Window.SetFieldText(F::paramServeurClicheo, s.ReadString("Clicheo", "ServeurFTP", defaults::ServeurFTP));
  Window.SetFieldText(F::paramUserClicheo, s.ReadString("Clicheo", "User", defaults::ClicheoUser));
  Window.SetFieldText(F::paramPasswordClicheo, s.ReadString("Clicheo", "PassWord", defaults::ClicheoPassWord));
  Window.SetFieldText(F::paramRepertClicheo, s.ReadString("Clicheo", "PathFTP", defaults::ClicheoPathFTP));
  Window.SetFieldText(F::paramServeur, s.ReadString(CurrentOption, "ServeurFTP", defaults::ServeurFTP));
  Window.SetFieldText(F::paramUser, s.ReadString(CurrentOption, "User", defaults::User(CurrentOption)));
  Window.SetFieldText(F::paramPassword, s.ReadString(CurrentOption, "PassWord", defaults::PassWord(CurrentOption)));
  Window.SetFieldText(F::paramRepert, s.ReadString(CurrentOption, "PathFTP", defaults::PathFTP));
}

void TRunControl::LoadTestFTPClicheo() {
  TestFTPClicheo = SwitchIsOn(Settings->ReadString(CurrentOption, "TestFTPClicheo", defaults::TestFTPClicheo));
}

void ShowVersionInfo(const std::string& fileName, const std::function<void(const std::string&)>& addLine) {
  const auto block = platform::ReadVersionBlock(fileName);
  if (!block || block->empty()) return;
  static const char* const kKeys[] = {"FileDescription",  "CompanyName", "FileVersion", "InternalName",
                                      "LegalCopyRight",   "OriginalFileName", "ProductName", "ProductVersion"};
  const auto translation = platform::QueryVersionTranslation(*block);
  for (const char* key : kKeys) {
    std::string query = key;
    if (translation) {
      char prefix[64];
      std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", translation->Language,
                    translation->CodePage);
      query = prefix + query;
    }
    if (const auto value = platform::QueryVersionValue(*block, query)) {
      addLine(std::string(key) + " : " + value->substr(0, value->find('\0')));
    }
  }
}

}  // namespace shell
