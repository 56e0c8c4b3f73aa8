#include "xmldoc/Zip.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/Ansi.h"
#include "platform/DynamicLibrary.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"

namespace xmldoc {
namespace {

constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::int64_t kEndRecordSearchSpan = 65535;
constexpr int kProgressMaximum = 65535;

constexpr const char* kEngineName = "\"ZipDll.dll\".";
constexpr const char* kNoArchive = "A Zip file must be openned or created before\nAdding, Deleting or Extracting files.";
constexpr const char* kNoFiles = "No files have been selected.";
constexpr const char* kMultiDiskArchive =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto the hard disk before "
    "retrying.";
constexpr const char* kBadCentralHeader = "Error reading CentralFileHeader.";

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t U32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

std::string EmptyEndRecord() {
  std::string record(kEndRecordSize, '\0');
  record[0] = 'P';
  record[1] = 'K';
  record[2] = 5;
  record[3] = 6;
  return record;
}

std::string NotAZipFile(const std::string& path) { return "\"" + path + "\"\nis not a valid Zip file."; }

// The OEM code page of the French systems served (850), bytes 0x80 to 0xFF.
constexpr char16_t kOem850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

std::string OemToUtf8(std::string_view oem) {
  std::string out;
  out.reserve(oem.size());
  for (const char c : oem) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
      continue;
    }
    const char16_t u = kOem850[b - 0x80];
    if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
  return out;
}

// A stored name or comment as text: OEM bytes in an OEM archive, unless the
// entry says it is UTF-8; system code page bytes otherwise.
std::string StoredText(std::string_view bytes, bool oem, bool utf8Flag) {
  if (oem && !utf8Flag) return OemToUtf8(bytes);
  if (platform::IsValidUtf8(bytes)) return std::string(bytes);
  return platform::AnsiToUtf8(bytes);
}

// The process-wide engine library.
struct TEngine {
  std::unique_ptr<platform::TDynamicLibrary> Library;
  ZipDllExecFunction Exec = nullptr;
};

std::unique_ptr<TEngine>& LoadedEngine() {
  static std::unique_ptr<TEngine> engine;
  return engine;
}

template <typename F>
F EntryPoint(const platform::TDynamicLibrary& library, const char* name) {
  void* address = library.EntryPoint(name);
  F f = nullptr;
  static_assert(sizeof f == sizeof address);
  std::memcpy(&f, &address, sizeof f);
  return f;
}

const TEngine& LoadEngine(const std::string& folder) {
  std::unique_ptr<TEngine>& loaded = LoadedEngine();
  if (loaded) return *loaded;
  const std::string fileName = platform::SharedLibraryFileName("ZipDll");
  const std::string path = folder.empty() ? fileName : platform::IncludeTrailingBackslash(folder) + fileName;
  // No critical-error dialog to switch off on this platform: a failed load only reports.
  std::string error;
  auto engine = std::make_unique<TEngine>();
  engine->Library = platform::TDynamicLibrary::Load(path, error);
  if (!engine->Library) throw ZipException(std::string("Unable to load ") + kEngineName);
  engine->Exec = EntryPoint<ZipDllExecFunction>(*engine->Library, "ZipDllExec");
  const auto version = EntryPoint<GetZipDllVersionFunction>(*engine->Library, "GetZipDllVersion");
  if (!engine->Exec || !version) throw ZipException(std::string("Unable to load ") + kEngineName);
  if (version() < ZIPDLL_INTERFACE_VERSION) {
    throw ZipException("Error - invalid version of ZipDll.dll or UnzDll.dll");
  }
  loaded = std::move(engine);
  return *loaded;
}

bool IsRelativePattern(const std::string& pattern) {
  if (pattern.size() < 3) return true;
  return !(pattern[0] == '\\' || pattern[0] == '/' || pattern[1] == ':');
}

// Reads exactly count bytes at the current position; false on a short read.
bool ReadBytes(std::ifstream& in, std::string& bytes, std::size_t count) {
  bytes.assign(count, '\0');
  if (count == 0) return true;
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  return static_cast<std::size_t>(in.gcount()) == count;
}

// Where the end record lies, -1 when there is none or more than one could
// be meant. The record is followed by its comment up to the end of the file,
// so of the signatures found searching backwards from the last place a
// record can start, the one whose comment ends the file is taken. Several
// such records (one standing in another's comment), or several signatures
// none of which ends the file, are read differently by different tools: the
// zip engine would then rewrite the archive from another directory than the
// one read here, so such an archive is refused. A lone record whose comment
// length does not fit the file is still taken (a short read leaves the
// comment empty).
std::int64_t FindEndRecord(std::ifstream& in, std::int64_t size) {
  const std::int64_t span = std::min(size, kEndRecordSearchSpan);
  std::string tail;
  in.clear();
  in.seekg(size - span);
  if (!ReadBytes(in, tail, static_cast<std::size_t>(span))) return -1;
  std::int64_t ending = -1, last = -1;
  int endingCount = 0, signatureCount = 0;
  for (std::int64_t at = span - static_cast<std::int64_t>(kEndRecordSize); at >= 0; --at) {
    const auto a = static_cast<std::size_t>(at);
    if (U32(tail, a) != kEndRecordSignature) continue;
    if (++signatureCount == 1) last = at;
    if (at + static_cast<std::int64_t>(kEndRecordSize) + U16(tail, a + 20) == span) {
      if (++endingCount == 1) ending = at;
    }
  }
  if (endingCount == 1) return size - span + ending;
  if (endingCount == 0 && signatureCount == 1) return size - span + last;
  return -1;
}

}  // namespace

TZip::TZip(shell::IMainWindow* owner) : owner_(owner), endRecord_(EmptyEndRecord()) {
  TempDir = platform::TempFolder();
  if (TempDir.empty()) TempDir = platform::ExecutableFolder();
}

TZip::~TZip() { LoadedEngine().reset(); }

void TZip::Inform(const std::string& text) const {
  if (owner_) owner_->ShowInformation(shell::kApplicationTitle, text);
}

void TZip::SetZipFileName(const std::string& path) {
  Password.clear();
  oemNames_ = false;
  comment_.clear();
  rawComment_.clear();
  directory_.clear();
  endRecord_ = EmptyEndRecord();
  endRecordPosition_ = -1;
  zipFileName_ = path;
  if (!path.empty()) {
    if (!platform::VolumeAccessible(path)) throw ZipException("Unable to access the selected drive!");
    if (!platform::FileExists(path)) {
      try {
        platform::WriteFileBytes(path, EmptyEndRecord());
      } catch (const platform::EInOutError&) {
        throw ZipException("Unable to create \n\"" + path + "\"");
      }
    }
    ReadDirectory();
  }
  if (OnContentsChanged) OnContentsChanged(*this);
}

void TZip::ReadDirectory() {
  directory_.clear();
  std::ifstream in;
  std::int64_t size = 0;
  std::int64_t position = -1;
  for (;;) {
    in = std::ifstream(platform::NativePath(zipFileName_), std::ios::binary);
    if (!in) throw ZipException("Unable to open \n\"" + zipFileName_ + "\"");
    in.seekg(0, std::ios::end);
    size = static_cast<std::int64_t>(in.tellg());
    if (size >= static_cast<std::int64_t>(kEndRecordSize)) position = FindEndRecord(in, size);
    if (position >= 0) break;
    // The record of a multiple disk set is on its last disk.
    const std::string label = platform::RemovableVolumeLabel(zipFileName_);
    if (label.rfind("PKBACK# ", 0) != 0) throw ZipException(NotAZipFile(zipFileName_));
    const int disk = std::atoi(label.substr(8, 3).c_str());
    const std::string question = "This is [ Disk " + std::to_string(disk) +
                                 " ] of a multiple disk Zip file.\nInsert the last disk of the Zip file before "
                                 "pressing [ OK ] to continue ...";
    if (!owner_ || !owner_->AskOkCancel(shell::kApplicationTitle, question)) return;
  }

  std::string record;
  in.clear();
  in.seekg(position);
  if (!ReadBytes(in, record, kEndRecordSize)) throw ZipException(NotAZipFile(zipFileName_));
  const std::uint16_t disk = U16(record, 4);
  const std::uint16_t directoryDisk = U16(record, 6);
  const std::uint16_t entries = U16(record, 10);
  const std::uint32_t directorySize = U32(record, 12);
  const std::uint32_t directoryOffset = U32(record, 16);
  if (disk > 1000 || directoryDisk > 1000) throw ZipException(NotAZipFile(zipFileName_));
  endRecord_ = record;
  endRecordPosition_ = position;
  if (!ReadBytes(in, rawComment_, U16(record, 20))) rawComment_.clear();
  oemNames_ = false;

  if (entries > 0) {
    if (directoryDisk != disk) {
      const std::string question = "Insert [ Disk " + std::to_string(directoryDisk + 1) +
                                   " ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ...";
      if (!owner_ || !owner_->AskOkCancel(shell::kApplicationTitle, question)) {
        comment_ = StoredText(rawComment_, false, false);
        return;
      }
    }
    // On a single disk the directory ends where the record begins, which
    // tolerates data placed before the archive.
    const std::int64_t start = disk == 0 ? position - directorySize : directoryOffset;
    try {
      if (start < 0) throw ZipException(kBadCentralHeader);
      in.clear();
      in.seekg(start);
      directory_.reserve(entries);
      for (std::uint32_t k = 0; k < entries; ++k) {
        std::string h;
        if (!ReadBytes(in, h, kCentralHeaderSize) || U32(h, 0) != kCentralHeaderSignature) {
          throw ZipException(kBadCentralHeader);
        }
        ZipEntryInfo e;
        e.Signature = U32(h, 0);
        e.VersionMadeBy = U16(h, 4);
        e.VersionNeeded = U16(h, 6);
        e.Flag = U16(h, 8);
        e.CompressionMethod = U16(h, 10);
        e.ModifiedTime = U16(h, 12);
        e.ModifiedDate = U16(h, 14);
        e.CRC32 = U32(h, 16);
        e.CompressedSize = U32(h, 20);
        e.UncompressedSize = U32(h, 24);
        e.FileNameLength = U16(h, 28);
        e.ExtraFieldLength = U16(h, 30);
        e.FileCommentLength = U16(h, 32);
        e.DiskStart = U16(h, 34);
        e.InternalAttributes = U16(h, 36);
        e.ExternalAttributes = U32(h, 38);
        e.RelativeOffset = U32(h, 42);
        e.Encrypted = (e.Flag & 1) != 0;
        if (k == 0) {
          // Names made by MS-DOS, OS/2 and early NTFS tools are in the OEM code page.
          const int host = e.VersionMadeBy >> 8;
          const int version = e.VersionMadeBy & 0xFF;
          oemNames_ = host == 0 || host == 6 || (host == 11 && version == 50);
        }
        std::string name, comment;
        if (!ReadBytes(in, name, e.FileNameLength) || !ReadBytes(in, e.ExtraField, e.ExtraFieldLength) ||
            !ReadBytes(in, comment, e.FileCommentLength)) {
          throw ZipException(kBadCentralHeader);
        }
        const bool utf8 = (e.Flag & 0x800) != 0;
        e.FileName = platform::ReplaceAll(StoredText(name, oemNames_, utf8), "/", "\\");
        e.FileComment = StoredText(comment, oemNames_, utf8);
        directory_.push_back(std::move(e));
      }
    } catch (const ZipException&) {
      directory_.clear();
      throw;
    }
  }
  comment_ = StoredText(rawComment_, oemNames_, false);
}

std::int32_t TZip::AddFiles() {
  cancelRequested_ = false;
  const std::string backup = platform::CreateTempFile(TempDir, platform::ReplacingTempPrefix("zzz"));
  const bool backedUp = !backup.empty() && !zipFileName_.empty() && platform::CopyFile(zipFileName_, backup, false);
  struct TCleanup {
    TZip& Zip;
    const std::string& Backup;
    ~TCleanup() {
      Zip.RootDir.clear();
      // A copy the temporary folder keeps harms no archive.
      if (!Backup.empty()) (void)platform::DeleteFile(Backup);
    }
  } cleanup{*this, backup};

  std::int32_t result = RunAdd();
  if (cancelRequested_ && backedUp) {
    // The engine leaves the archive alone when told to stop; the copy also
    // covers a Cancel that came after it had finished.
    if (!platform::CopyFile(backup, zipFileName_, false)) platform::RaiseLastInOutError(zipFileName_);
    if (result > 0) ReadDirectory();
    result = 0;
  }
  return result;
}

std::int32_t TZip::RunAdd() {
  if (zipFileName_.empty()) {
    Inform(kNoArchive);
    return 0;
  }
  if (fileSpecs_.empty()) {
    Inform(kNoFiles);
    return 0;
  }
  if (U16(endRecord_, 4) != 0) {
    Inform(kMultiDiskArchive);
    return 0;
  }
  const TEngine& engine = LoadEngine(DllDirectory);

  cancelRequested_ = false;
  callbackError_ = nullptr;
  lastEngineMessage_.clear();
  currentFile_.clear();
  batchCount_ = totalBytesInBatch_ = skippedCount_ = skippedWithReason_ = 0;
  bytesDone_ = 0;

  ZipRunParams params{};
  params.Caller = this;
  params.Version = ZIPDLL_INTERFACE_VERSION;
  params.Callback = &TZip::Callback;
  params.Trace = Trace ? ZIPDLL_TRUE : 0;
  if (!Password.empty()) {
    params.Password = Password.c_str();
    params.Encrypt = ZIPDLL_TRUE;
  }
  params.OptionBit6 = (ZipOptions & 0x40) ? ZIPDLL_TRUE : 0;
  params.NotOptionBit4 = (ZipOptions & 0x10) ? 0 : ZIPDLL_TRUE;
  params.Always56 = ZIPDLL_TRUE;
  params.Level = 9;
  params.JunkFolders = (ZipOptions & 0x0C) == 0 ? ZIPDLL_TRUE : 0;
  params.Recurse = (ZipOptions & 0x04) ? 0xFFFF : 0;
  params.AddRun = ZIPDLL_TRUE;
  params.OptionBit7 = (ZipOptions & 0x80) ? ZIPDLL_TRUE : 0;
  params.DeleteRun = 0;
  params.OptionBit1 = (ZipOptions & 0x02) ? ZIPDLL_TRUE : 0;
  params.OptionBit0 = ((ZipOptions & 0x01) && !(ZipOptions & 0x02)) ? ZIPDLL_TRUE : 0;

  const std::string root = RootDir.empty() ? std::string() : platform::IncludeTrailingBackslash(RootDir);
  if (!RootDir.empty() && platform::DirectoryExists(RootDir) && !platform::SetCurrentDir(RootDir)) {
    platform::RaiseLastInOutError(RootDir);  // relative patterns would name other files
  }
  if ((ZipOptions & 0x08) && !RootDir.empty()) {
    for (std::string& fileSpec : fileSpecs_) {
      if (IsRelativePattern(fileSpec)) fileSpec = RootDir + "\\" + fileSpec;
    }
  }
  std::vector<ZipSpecEntry> specs(fileSpecs_.size());
  for (std::size_t k = 0; k < specs.size(); ++k) {
    specs[k].Pattern = fileSpecs_[k].c_str();
    specs[k].Password = params.Password;
    specs[k].Encrypt = params.Encrypt;
    specs[k].Recurse = params.Recurse;
    specs[k].RootFolder = root.c_str();
  }
  params.PatternCount = static_cast<std::int32_t>(specs.size());
  params.ArchiveName = zipFileName_.c_str();
  params.TempFolder = TempDir.c_str();
  params.Comment = rawComment_.empty() ? nullptr : rawComment_.c_str();
  params.Patterns = specs.data();
  params.Seal = ZIPDLL_SEAL;

  struct TRunEnd {
    TZip& Zip;
    ~TRunEnd() {
      Zip.progress_.reset();
      Zip.trace_.reset();
      Zip.fileSpecs_.clear();
    }
  } runEnd{*this};
  if (Trace) {
    trace_ = std::make_unique<std::ofstream>(
        platform::NativePath(platform::ChangeFileExt(platform::ExecutablePath(), ".trace")),
        std::ios::binary | std::ios::trunc);
  }
  if (ShowProgressDialog && owner_) {
    progress_ = owner_->ShowProgressWindow(shell::kApplicationTitle, [this] {
      cancelRequested_ = true;
      if (progress_) progress_->Hide();
    });
    if (progress_) progress_->SetLabel("wait ...");
  }

  const std::int32_t result = engine.Exec(&params);
  if (callbackError_) std::rethrow_exception(callbackError_);
  if (result < 0 && !cancelRequested_) {
    std::string message = "Unable to add files to \n\"" + zipFileName_ + "\"";
    if (!lastEngineMessage_.empty()) message += "\r\n" + lastEngineMessage_;
    throw ZipException(message);
  }
  if (result > 0) {
    ReadDirectory();
    if (OnContentsChanged) OnContentsChanged(*this);
  }
  return std::max<std::int32_t>(result, 0);
}

std::int32_t ZIPDLL_CALL TZip::Callback(ZipCallbackRecord* record) {
  TZip& zip = *static_cast<TZip*>(record->Caller);
  if (zip.callbackError_) return -1;
  // An error must not unwind through the engine: it is kept, the engine
  // told to stop, and the error raised again once the engine has returned.
  try {
    if (!zip.cancelRequested_) zip.HandleMessage(*record);
    if (zip.owner_) zip.owner_->ProcessMessages();
  } catch (...) {
    zip.callbackError_ = std::current_exception();
    return -1;
  }
  return zip.cancelRequested_ ? -1 : 0;
}

void TZip::HandleMessage(const ZipCallbackRecord& record) {
  const std::string text(record.Text, strnlen(record.Text, sizeof record.Text));
  switch (record.MessageType) {
    case ZIPDLL_MSG_BEGIN_FILE:
      currentFile_ = text;
      if (OnZEDBeginFileEvent) {
        OnZEDBeginFileEvent(*this, currentFile_, record.Number, batchCount_, totalBytesInBatch_);
      }
      if (progress_) progress_->SetLabel(currentFile_);
      break;
    case ZIPDLL_MSG_PROGRESS:
      bytesDone_ += record.Number;
      if (OnZEDProgressEvent) OnZEDProgressEvent(*this, currentFile_, record.Number, totalBytesInBatch_);
      if (progress_) {
        // In whole numbers, so that the last file ends exactly at the maximum.
        const std::int64_t position =
            totalBytesInBatch_ > 0 ? bytesDone_ * kProgressMaximum / totalBytesInBatch_ : bytesDone_;
        progress_->SetPosition(static_cast<int>(std::clamp<std::int64_t>(position, 0, kProgressMaximum)));
      }
      break;
    case ZIPDLL_MSG_END_BATCH:
      if (OnZEDEndBatchEvent) OnZEDEndBatchEvent(*this, skippedCount_, batchCount_, totalBytesInBatch_);
      if (progress_) progress_->Hide();
      break;
    case ZIPDLL_MSG_TEXT:
      if (!text.empty()) {
        lastEngineMessage_ = text;
        if (trace_) *trace_ << text << "\r\n";
      }
      break;
    case ZIPDLL_MSG_COUNT:
      batchCount_ = record.Number;
      break;
    case ZIPDLL_MSG_TOTAL_BYTES:
      totalBytesInBatch_ = record.Number;
      bytesDone_ = 0;
      skippedCount_ = 0;
      skippedWithReason_ = 0;
      if (progress_) progress_->SetMaximum(kProgressMaximum);
      break;
    case ZIPDLL_MSG_SKIPPED:
      ++skippedCount_;
      if ((record.Number & 0xFF) >= 4 && (record.Number & 0xFF) <= 9) ++skippedWithReason_;
      break;
    default:
      // Questions 8 to 10 come only from extraction, which this program never asks for.
      break;
  }
}

}  // namespace xmldoc
