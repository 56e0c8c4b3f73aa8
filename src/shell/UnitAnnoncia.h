// Run control: the window's event handlers and the state of the run.
//
// One TRunControl lives for the whole process, owned by the front-end that
// implements IMainWindow. RunExport accepts a run option from the portal
// table, opens the settings file, restarts the activity log, resets the
// counters and calls the portal's builder; the run is finished when the
// builder returns. Errors of a run are not caught by RunExport; FormCreate
// and Button1Click hand them to HandleException, which shows them in the
// window's error box as the toolkit's application object would. A process
// performs at most one run.
//
// Who owns what: run control owns the run option, the settings, the photo
// folder and address base, the counters, the outcome and the exit status;
// builders count through Counters and report their upload through
// RecordUpload. The FTP sessions and the photo server listing belong to the
// transfer layer (transfer::TTransfers), which run control never sees. The
// window sees only the window interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "shell/MainWindow.h"
#include "shell/PortalTable.h"
#include "shell/RunOutcome.h"
#include "shell/Settings.h"

namespace shell {

inline constexpr const char* kUsageLine = "Syntax : Annoncia \"option\"";

// The run counters, reset by run control before the builder runs.
struct TRunCounters {
  std::int32_t VehicleCount = 0;
  std::int32_t PhotoLinkCount = 0;
  std::int32_t PhotosUpdatedCount = 0;
};

class TRunControl {
public:
  TRunControl(IMainWindow& window, TPortalTable portals, std::string executablePath);

  IMainWindow& Window;
  const std::string ExecutablePath;

  // Event handlers.
  void FormCreate(const std::vector<std::string>& arguments);
  void Button1Click(const std::string& comboText);
  void Button2Click();
  void Timer1Timer();
  void IdFTP1Status(const std::string& text);
  void IdFTP2Status(const std::string& text);
  void IdFTP2WorkBegin(std::int64_t expectedBytes);
  void IdFTP2Work(std::int64_t bytesDone);

  void RunExport(const std::string& option);
  // Shows an error that escaped a run and records it.
  void HandleException(const std::exception& error);

  const TPortalTable& Portals() const { return portals_; }

  // The state of the run. CurrentOption is empty until an option is
  // accepted; Settings, PathImages and URLImages are read at every RunExport.
  const std::string& CurrentOption() const { return currentOption_; }
  const TPortal* Portal() const { return portal_; }
  const TSettingsFile& Settings() const;
  const std::string& PathImages() const { return pathImages_; }
  const std::string& URLImages() const { return urlImages_; }
  // A value of the run option's own section.
  std::string OptionSetting(const std::string& key, const std::string& defaultValue) const;

  // What RunExport sets up before calling a builder; the services' tests set
  // it up the same way without a builder.
  struct TRunSetup {
    std::string Option = "";
    std::string SettingsFile = "";  // read now; a missing file yields every default
    std::string PathImages = "";
    std::string URLImages = "";
  };
  void BeginRun(const TRunSetup& setup);

  TRunCounters Counters;

  // The outcome of the feed upload: its text opens the builder's last line.
  // A sent upload counts as PhotosIncomplete once the photo server was
  // marked unavailable during the run.
  void RecordUpload(bool sent, const std::string& text);
  // A feed guard kept the feed from the portal; the text says why.
  void RecordHeldBack(const std::string& text);
  void MarkPhotosIncomplete() { photosIncomplete_ = true; }
  bool PhotosIncomplete() const { return photosIncomplete_; }
  TRunOutcome Outcome() const { return outcome_; }
  // The upload's outcome text, or the message of the error that ended the run.
  const std::string& OutcomeText() const { return outcomeText_; }
  bool RunFinished() const { return runFinished_; }
  // The size of the transfer under way on the portal session.
  std::int32_t TotalBytes() const { return totalBytes_; }

  // The exit status for the scheduler.
  int ExitStatus() const { return ExitStatusOf(outcome_); }

  // Writes the connection settings into the eight fields, in the order every
  // builder reads them: photo server section, then the run option's section.
  void LoadConnectionFields();

private:
  void RunAndCatch(const std::string& option);
  // Takes the portal's run lock, or records the refusal and answers false.
  bool LockPortal();

  TPortalTable portals_;
  std::string currentOption_;
  const TPortal* portal_ = nullptr;
  std::unique_ptr<TSettingsFile> settings_;
  std::string pathImages_;
  std::string urlImages_;
  TRunOutcome outcome_ = TRunOutcome::NoRun;
  std::string outcomeText_;
  bool runFinished_ = false;
  bool photosIncomplete_ = false;
  std::int32_t closeTicks_ = 0;
  std::int32_t totalBytes_ = 0;
  std::int32_t lastPercent_ = 0;
  std::unique_ptr<platform::TFileLock> runLock_;  // the portal's run lock, held for the run
};

// Appends one line per version key found in the file's version block.
void ShowVersionInfo(const std::string& fileName, const std::function<void(const std::string&)>& addLine);

}  // namespace shell
