// TZip: packs files into a ZIP archive.
//
// TZip compresses nothing itself. It manages the archive file and a copy of
// its central directory, shows a progress window, and hands every run to the
// zip engine, the shared library ZipDll (zipengine/ZipDllInterface.h), which
// it loads on first use from DllDirectory, or by bare name (beside the
// executable, then ../lib, then the system's search). The engine library is
// process-wide: loaded once and kept; destroying any TZip unloads it.
//
// The feed builders use it in one way: delete an old archive, construct a
// TZip, SetZipFileName (creates the empty archive), add one pattern to
// FileSpecs, AddFiles.
//
// The owner window (may be null) shows the information boxes, the questions
// and the progress window, and processes pending messages during a run; with
// no owner there are none of these. Failures raise ZipException with the
// message text an operator sees; the preconditions of a run (no archive, no
// patterns, a multi-disk archive) are only shown and make AddFiles return 0.
// Everything runs on the caller's thread.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/MainWindow.h"
#include "zipengine/ZipDllInterface.h"

namespace xmldoc {

class ZipException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A central directory file header, with the fields as stored.
struct ZipEntryInfo {
  std::uint32_t Signature = 0;
  std::uint16_t VersionMadeBy = 0;
  std::uint16_t VersionNeeded = 0;
  std::uint16_t Flag = 0;
  std::uint16_t CompressionMethod = 0;
  std::uint16_t ModifiedTime = 0;
  std::uint16_t ModifiedDate = 0;
  std::uint32_t CRC32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t FileNameLength = 0;
  std::uint16_t ExtraFieldLength = 0;
  std::uint16_t FileCommentLength = 0;
  std::uint16_t DiskStart = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint32_t RelativeOffset = 0;

  bool Encrypted = false;  // bit 0 of Flag
  std::string FileName;    // "/" shown as "\"
  std::string ExtraField;
  std::string FileComment;
};

class TZip {
public:
  using TBeginFileEvent = std::function<void(TZip& sender, const std::string& fileName, std::int32_t fileSize,
                                             std::int32_t batchCount, std::int32_t totalBytesInBatch)>;
  using TProgressEvent = std::function<void(TZip& sender, const std::string& fileName, std::int32_t bytesDone,
                                            std::int32_t totalBytes)>;
  using TEndBatchEvent = std::function<void(TZip& sender, std::int32_t skippedCount, std::int32_t batchCount,
                                            std::int32_t totalBytesInBatch)>;
  using TNotifyEvent = std::function<void(TZip& sender)>;

  explicit TZip(shell::IMainWindow* owner = nullptr);
  ~TZip();
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  bool ShowProgressDialog = true;
  TBeginFileEvent OnZEDBeginFileEvent;
  TProgressEvent OnZEDProgressEvent;
  TEndBatchEvent OnZEDEndBatchEvent;
  TProgressEvent OnMergeProgress;  // never raised: no merging here
  TProgressEvent OnSpanProgress;   // never raised: no spanning here
  TNotifyEvent OnContentsChanged;

  // Cleared whenever ZipFileName is set; when not empty an add run encrypts.
  std::string Password;
  // Folder of the engine library; empty: load it by bare name.
  std::string DllDirectory;
  // Handed to the engine and home of the backup copy; defaults to the
  // system's temporary folder (the executable's folder when there is none).
  std::string TempDir;
  // Folder that relative patterns refer to; cleared after every run.
  std::string RootDir;
  // Bit 0..7 options handed to the engine; the default is bit 1 only.
  std::uint8_t ZipOptions = 2;
  // The engine's messages go to the executable's path with ".trace".
  bool Trace = false;

  const std::string& ZipFileName() const { return zipFileName_; }
  // Opens the archive, creating an empty one when there is no such file,
  // and reads its directory. An empty name closes the archive.
  void SetZipFileName(const std::string& path);

  // Patterns of the next run: a file path, or a folder + "\" + mask.
  std::vector<std::string>& FileSpecs() { return fileSpecs_; }
  const std::vector<ZipEntryInfo>& ArchiveDirectory() const { return directory_; }
  const std::string& ZipComment() const { return comment_; }

  // Adds every file matching FileSpecs to the archive; returns the number of
  // files the engine added (0 after Cancel, which leaves the archive as it
  // was). FileSpecs is empty afterwards.
  std::int32_t AddFiles();

private:
  void ReadDirectory();
  std::int32_t RunAdd();
  void HandleMessage(const ZipCallbackRecord& record);
  static std::int32_t ZIPDLL_CALL Callback(ZipCallbackRecord* record);
  void Inform(const std::string& text) const;

  shell::IMainWindow* owner_;
  std::string zipFileName_;
  std::vector<std::string> fileSpecs_;
  std::vector<ZipEntryInfo> directory_;
  std::string endRecord_;  // the 22-byte end-of-central-directory record
  std::int64_t endRecordPosition_ = -1;
  std::string comment_;     // as text
  std::string rawComment_;  // as stored, handed back to the engine
  bool oemNames_ = false;

  // State of the run in progress.
  bool cancelRequested_ = false;
  std::exception_ptr callbackError_;
  std::unique_ptr<shell::IProgressWindow> progress_;
  std::unique_ptr<std::ofstream> trace_;
  std::string currentFile_;
  std::string lastEngineMessage_;
  std::int32_t batchCount_ = 0;
  std::int32_t totalBytesInBatch_ = 0;
  std::int64_t bytesDone_ = 0;
  std::int32_t skippedCount_ = 0;
  std::int32_t skippedWithReason_ = 0;  // skipped with reason codes 4 to 9
};

}  // namespace xmldoc
