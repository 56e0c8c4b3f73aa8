#include "shell/UnitAnnoncia.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"
#include "platform/VersionResource.h"
#include "shell/ActivityLog.h"
#include "shell/RunFolders.h"

namespace shell {

TRunControl::TRunControl(IMainWindow& window, TPortalTable portals, std::string executablePath)
    : Window(window), ExecutablePath(std::move(executablePath)), portals_(std::move(portals)) {}

void TRunControl::FormCreate(const std::vector<std::string>& arguments) {
  if (arguments.size() == 1) {
    RunAndCatch(arguments[0]);
  } else {
    Window.AddMemoLine(kUsageLine);
  }
}

void TRunControl::Button1Click(const std::string& comboText) {
  if (comboText.empty()) return;
  RunAndCatch(comboText);
}

void TRunControl::RunAndCatch(const std::string& option) {
  try {
    RunExport(option);
  } catch (const std::exception& error) {
    RecordError(error);
    // The history and the alert must not wait for someone to close the box.
    FinishRun();
    Window.ShowError(error.what());
    return;
  }
  FinishRun();
}

void TRunControl::FinishRun() {
  if (!portal_) return;
  TRunRecord& r = record_;
  r.End = platform::Now();
  r.DurationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime_).count();
  r.Option = currentOption_;
  r.Outcome = outcome_;
  r.ExitStatus = ExitStatus();
  r.OutcomeText = outcomeText_;
  r.ErrorMessage = outcome_ == TRunOutcome::Error ? outcomeText_ : "";
  r.LastLines = memoTail_.Lines();
  // The echo of a log restart says nothing.
  r.LastLine.clear();
  for (auto it = r.LastLines.rbegin(); it != r.LastLines.rend() && r.LastLine.empty(); ++it) {
    if (*it != "-> ") r.LastLine = *it;
  }
  r.Counters = Counters;
  r.Files = Files;
  for (const TAfterRunStep& step : portals_.AfterRunSteps()) {
    try {
      step(*this, r);
    } catch (const std::exception& error) {
      // The log itself may be what failed; a refused run's log belongs to
      // the run that holds the lock.
      try {
        if (outcome_ == TRunOutcome::Refused) Window.AddMemoLine(error.what());
        else LogLine(*this, error.what());
      } catch (const std::exception&) {
        Window.AddMemoLine(error.what());
      }
    }
  }
  runLock_.reset();  // the run is over, whatever its outcome
}

void TRunControl::Button2Click() {
  Window.ClearMemo();
  ShowVersionInfo(ExecutablePath, [this](const std::string& line) { Window.AddMemoLine(line); });
}

void TRunControl::Timer1Timer() {
  if (runFinished_) ++closeTicks_;
  if (closeTicks_ >= 30) Window.PostClose();
  Window.ProcessMessages();
}

void TRunControl::IdFTP1Status(const std::string& text) { AddMemoLine(text); }
void TRunControl::IdFTP2Status(const std::string& text) { AddMemoLine(text); }

void TRunControl::AddMemoLine(const std::string& line) {
  Window.AddMemoLine(line);
  memoTail_.Add(line);
}

void TRunControl::IdFTP2WorkBegin(std::int64_t expectedBytes) {
  totalBytes_ = static_cast<std::int32_t>(expectedBytes);
}

void TRunControl::IdFTP2Work(std::int64_t bytesDone) {
  if (totalBytes_ == 0) return;
  // The current rounding mode is to nearest with halves to even.
  const double exact = static_cast<double>(bytesDone) * 100.0 / static_cast<double>(totalBytes_);
  const auto percent = static_cast<std::int32_t>(std::nearbyint(exact));
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  Window.SetLabel2("Transfert en cours : " + std::to_string(percent) + "%");
  Window.ProcessMessages();
}

const TSettingsFile& TRunControl::Settings() const {
  if (!settings_) throw std::logic_error("settings read before a run");
  return *settings_;
}

std::string TRunControl::OptionSetting(const std::string& key, const std::string& defaultValue) const {
  return Settings().ReadString(currentOption_, key, defaultValue);
}

void TRunControl::BeginRun(const TRunSetup& setup) {
  settings_ = std::make_unique<TSettingsFile>(setup.SettingsFile);
  pathImages_ = setup.PathImages;
  urlImages_ = setup.URLImages;
  portal_ = portals_.Find(setup.Option);
  currentOption_ = setup.Option;
  Counters = {};
  Files = {};
  photosIncomplete_ = false;
  outcome_ = TRunOutcome::NoRun;
  outcomeText_.clear();
}

void TRunControl::RunExport(const std::string& option) {
  const std::string upper = platform::UpperCaseAZ(option);
  currentOption_.clear();
  portal_ = nullptr;
  outcome_ = TRunOutcome::NoRun;
  outcomeText_.clear();
  record_ = {};
  record_.Start = platform::Now();
  startTime_ = std::chrono::steady_clock::now();
  memoTail_.Reset();

  const std::string iniPath = platform::ExtractFilePath(ExecutablePath) + "Annoncia.ini";
  if (!platform::FileExists(iniPath)) LogLine(*this, "Fichier INI non trouvé : " + iniPath);
  settings_ = std::make_unique<TSettingsFile>(iniPath);
  pathImages_ = settings_->ReadString("Options", "PathImages", defaults::PathImages);
  urlImages_ = settings_->ReadString("Options", "URLImages", defaults::URLImages);

  const TPortal* portal = portals_.Find(upper);
  Window.SetStartControlsVisible(portal == nullptr);
  Window.SetCaption("Export des données pour " + upper);
  Window.SetBoxServerCaption("Connexion FTP pour " + upper + " : ");
  if (!portal) return;

  portal_ = portal;
  currentOption_ = upper;
  if (!LockPortal()) return;
  RestartLog(*this);
  // The settings file holds the FTP passwords.
  if (platform::IsReadableByEveryone(iniPath)) {
    LogLine(*this, "Attention : le fichier INI " + iniPath + " contient des mots de passe et est lisible par tous les "
                   "utilisateurs ; le protéger avec chmod 640 " + iniPath + ". Le passage continue.");
  }
  Counters = {};
  Files = {};
  photosIncomplete_ = false;
  portal->Build(*this);
  runFinished_ = true;
  if (outcome_ == TRunOutcome::NoRun) outcome_ = TRunOutcome::NothingToSend;
}

bool TRunControl::LockPortal() {
  // Without the log folder the log restart below fails with its own message;
  // nothing else is touched before it.
  if (!platform::DirectoryExists(LogFolder())) return true;
  const std::string workFolder = WorkFolder();
  if (!platform::DirectoryExists(workFolder) && !platform::ForceDirectories(workFolder)) {
    platform::RaiseLastInOutError(workFolder);
  }
  std::string holder;
  runLock_.reset();  // a lock of an earlier run of this control would refuse it
  runLock_ = platform::TFileLock::TryAcquire(workFolder + "\\Annoncia" + currentOption_ + ".lock", holder);
  if (runLock_) {
    // Temporary files of runs that were killed; those of live runs stay.
    (void)platform::RemoveReplacingLeftovers(workFolder);
    (void)platform::RemoveReplacingLeftovers(platform::TempFolder());
    return true;
  }
  outcome_ = TRunOutcome::Refused;
  outcomeText_ = "Une autre exécution de " + currentOption_ + " est en cours (processus " +
                 (holder.empty() ? std::string("inconnu") : holder) + ") : rien n'a été fait";
  runFinished_ = true;
  Window.AddMemoLine("-> " + outcomeText_);
  Window.ShowError(outcomeText_);
  return false;
}

void TRunControl::HandleException(const std::exception& error) {
  RecordError(error);
  Window.ShowError(error.what());
}

void TRunControl::RecordError(const std::exception& error) {
  outcome_ = TRunOutcome::Error;
  outcomeText_ = error.what();
}

void TRunControl::RecordUpload(bool sent, const std::string& text) {
  if (!sent) outcome_ = TRunOutcome::NotSent;
  else outcome_ = photosIncomplete_ ? TRunOutcome::PhotosIncomplete : TRunOutcome::Sent;
  outcomeText_ = text;
}

void TRunControl::RecordHeldBack(const std::string& text) {
  outcome_ = TRunOutcome::HeldBack;
  outcomeText_ = text;
}

void TRunControl::LoadConnectionFields() {
  const TSettingsFile& s = Settings();
  const std::string& option = currentOption_;
  const std::string defaultUser = portal_ ? portal_->DefaultUser : "";
  const std::string defaultPassWord = portal_ ? portal_->DefaultPassWord : "";
  using F = TConnectionField;
  Window.SetFieldText(F::paramServeurClicheo, s.ReadString("Clicheo", "ServeurFTP", defaults::ServeurFTP));
  Window.SetFieldText(F::paramUserClicheo, s.ReadString("Clicheo", "User", defaults::ClicheoUser));
  Window.SetFieldText(F::paramPasswordClicheo, s.ReadString("Clicheo", "PassWord", defaults::ClicheoPassWord));
  Window.SetFieldText(F::paramRepertClicheo, s.ReadString("Clicheo", "PathFTP", defaults::ClicheoPathFTP));
  Window.SetFieldText(F::paramServeur, s.ReadString(option, "ServeurFTP", defaults::ServeurFTP));
  Window.SetFieldText(F::paramUser, s.ReadString(option, "User", defaultUser));
  Window.SetFieldText(F::paramPassword, s.ReadString(option, "PassWord", defaultPassWord));
  Window.SetFieldText(F::paramRepert, s.ReadString(option, "PathFTP", defaults::PathFTP));
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
