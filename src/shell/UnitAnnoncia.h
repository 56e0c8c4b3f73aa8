// Run control: the process-wide run state and the window's event handlers.
//
// One TRunControl lives for the whole process, owned by the front-end that
// implements IMainWindow. RunExport accepts a run option, opens the settings
// file, restarts the activity log and calls the option's feed builder from
// the option -> builder table, which the program fills at start-up (run
// control never knows the builders themselves). Errors of a run are not
// caught by RunExport; FormCreate and Button1Click hand them to
// HandleException, which shows them in the window's error box as the
// toolkit's application object would. A process performs at most one run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "shell/MainWindow.h"
#include "shell/Settings.h"

namespace shell {

class TRunControl;

// An FTP session of the transfer layer. Run control only keeps it alive; what
// it is and does is the transfer layer's business (shell never knows curl).
class IFtpSession {
public:
  virtual ~IFtpSession() = default;
};

using TFeedBuilder = std::function<void(TRunControl&)>;

// Run option -> builder.
class TFeedBuilderTable {
public:
  void Register(const std::string& option, TFeedBuilder builder);
  const TFeedBuilder* Find(const std::string& option) const;

private:
  std::map<std::string, TFeedBuilder> builders_;
};

// The run options, in their order of comparison.
inline constexpr const char* kRunOptions[] = {"PARUVENDU",   "AUTOSCOUT24", "SITAUTOPRO",
                                              "TOPANNONCES", "LEBONCOIN",   "INFOPRESS"};
inline constexpr const char* kUsageLine = "Syntax : Annoncia \"option\"";
inline constexpr const char* kUploadSentOutcome = "Transfert FTP OK : ";

// Exit statuses of the programs.
enum TExitStatus : int {
  esSent = 0,         // run finished: feed sent, or nothing to send
  esError = 1,        // an error ended the run
  esNoRun = 2,        // usage shown or unknown option: no run
  esNotSent = 3,      // run finished but the upload failed
};

class TRunControl {
public:
  TRunControl(IMainWindow& window, TFeedBuilderTable builders, std::string executablePath);

  IMainWindow& Window;
  const std::string ExecutablePath;

  // Run state.
  std::string CurrentOption;
  std::unique_ptr<TSettingsFile> Settings;
  std::string PathImages;
  std::string URLImages;
  bool RunFinished = false;
  std::int32_t CloseTicks = 0;
  std::int32_t VehicleCount = 0;
  std::int32_t PhotoLinkCount = 0;
  std::int32_t PhotosUpdatedCount = 0;
  bool TestFTPClicheo = false;
  // Photo server listing, folded with platform::FoldCase; none until read.
  std::optional<std::unordered_set<std::string>> PhotoServerListing;
  std::int32_t TotalBytes = 0;
  std::int32_t LastPercent = 0;
  // Outcome text of the last feed upload of the run, if there was one.
  std::optional<std::string> UploadOutcome;
  // The FTP sessions (photo server, portal server): made by the transfer
  // layer on first use and kept here until the process ends.
  std::unique_ptr<IFtpSession> IdFTP1;
  std::unique_ptr<IFtpSession> IdFTP2;
  // Set when an error escaped a run.
  bool RunFailed = false;

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

  // The exit status for the scheduler.
  int ExitStatus() const;

  // Writes the connection settings into the eight fields, in the order every
  // builder reads them: photo server section, then the run option's section.
  void LoadConnectionFields();
  // Reads the run option's TestFTPClicheo switch into the run state.
  void LoadTestFTPClicheo();

private:
  TFeedBuilderTable builders_;
  bool runAttempted_ = false;
};

// Appends one line per version key found in the file's version block.
void ShowVersionInfo(const std::string& fileName, const std::function<void(const std::string&)>& addLine);

}  // namespace shell
