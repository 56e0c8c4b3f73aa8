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

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "shell/MainWindow.h"
#include "shell/MemoTail.h"
#include "shell/PortalTable.h"
#include "shell/RunOutcome.h"
#include "shell/Settings.h"

namespace shell {

inline constexpr const char* kUsageLine = "Syntax : Annoncia \"option\"";

// The run counters, reset by run control before the builder runs.
struct TRunCounters {
  std::int32_t VehicleCount = 0;
  std::int32_t PhotoLinkCount = 0;
  std::int32_t PhotosUpdatedCount = 0;  // photo uploads tried ("Update n" lines)
  std::int32_t PhotosMissingCount = 0;  // photos and thumbnails found in no folder ("Pb Existence")
  std::int32_t PhotosNotSentCount = 0;  // photos that were to be sent and were not
};

// The files of the run: the feed the builder wrote and the archive it
// packed; a size of -1 for a file the run did not make.
struct TRunFiles {
  std::string FeedFile = "";  // name, without folder
  std::int64_t FeedSize = -1;
  std::string ArchiveFile = "";
  std::int64_t ArchiveSize = -1;
};

// A finished run, as the after-run steps see it.
struct TRunRecord {
  std::string Option = "";
  platform::TDateTime Start{};
  platform::TDateTime End{};
  double DurationSeconds = 0;
  TRunOutcome Outcome = TRunOutcome::NoRun;
  int ExitStatus = esNoRun;
  std::string OutcomeText = "";   // the upload's outcome text, or the error's message
  std::string ErrorMessage = "";  // the message of the error that ended the run
  std::string LastLine = "";      // the last memo line of the run
  std::vector<std::string> LastLines = {};  // its last memo lines (kRecordedLines at most)
  TRunCounters Counters{};
  TRunFiles Files{};
};

class TRunControl {
public:
  TRunControl(IMainWindow& window, TPortalTable portals, std::string executablePath);

  IMainWindow& Window;
  const std::string ExecutablePath;

  // Adds a line to the memo and to the run's record: the run's memo lines
  // go through here (the log's echo, the FTP status texts).
  void AddMemoLine(const std::string& line);

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
  TRunFiles Files;

  // The last finished run; FormCreate and Button1Click fill it and then call
  // the portal table's after-run steps once for every run whose option was
  // accepted, whatever its outcome (before the error box, which waits for a
  // click). A failing step is logged and changes nothing else.
  const TRunRecord& Record() const { return record_; }

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
  void RecordError(const std::exception& error);
  void FinishRun();

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
  std::optional<platform::TFileLock> runLock_;  // the portal's run lock, held for the run
  TRunRecord record_;
  TMemoTail memoTail_;
  std::chrono::steady_clock::time_point startTime_{};
};

// Appends one line per version key found in the file's version block.
void ShowVersionInfo(const std::string& fileName, const std::function<void(const std::string&)>& addLine);

}  // namespace shell
