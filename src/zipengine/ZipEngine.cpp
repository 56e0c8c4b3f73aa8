// The zip engine: adds files to a ZIP archive with libzip, reporting through
// the caller's callback (ZipDllInterface.h).
//
// libzip does all its writing inside zip_close, into a temporary file beside
// the archive that replaces the archive only once complete, so a run that
// fails or is told to stop leaves the archive as it was. Each added file is
// read through a small source that wraps libzip's file source: that is where
// the begin-file and progress messages come from, and where a stop answer
// from the callback aborts the run.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "zipengine/ZipDllInterface.h"

namespace {

std::int32_t Clamp32(std::int64_t n) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, 0, std::numeric_limits<std::int32_t>::max()));
}

class TRun {
public:
  explicit TRun(const ZipRunParams& params) : params_(params) {}

  // Sends a message; false when the caller asks to stop.
  bool Send(std::int32_t type, std::int64_t number, std::string_view text = {}) {
    if (stopped_) return false;
    if (!params_.Callback) return true;
    ZipCallbackRecord record{};
    record.Caller = params_.Caller;
    record.MessageType = type;
    record.Number = Clamp32(number);
    const std::size_t n = std::min(text.size(), sizeof record.Text - 1);
    if (n > 0) std::memcpy(record.Text, text.data(), n);
    if (params_.Callback(&record) == -1) stopped_ = true;
    return !stopped_;
  }
  // Messages that only a trace asks for.
  void Trace(const std::string& text) {
    if (params_.Trace) Send(ZIPDLL_MSG_TEXT, 0, text);
  }
  // The reason of a failed run, always sent.
  std::int32_t Fail(const std::string& text) {
    Send(ZIPDLL_MSG_TEXT, 0, text);
    return -1;
  }
  bool Stopped() const { return stopped_; }

  std::string FailedFile;  // the file whose reading failed, for the message

private:
  const ZipRunParams& params_;
  bool stopped_ = false;
};

struct TFileToAdd {
  std::string Path;       // native path
  std::string EntryName;  // name in the archive
  std::int64_t Size = 0;
  std::uint64_t Device = 0;  // with Inode: which file it is
  std::uint64_t Inode = 0;
};

// The source of one added file: libzip's file source, with messages.
class TReportingSource {
public:
  TReportingSource(TRun& run, zip_source_t* file, const TFileToAdd& what) : run_(run), file_(file), what_(what) {
    zip_error_init(&error_);
  }
  ~TReportingSource() {
    zip_source_free(file_);
    zip_error_fini(&error_);
  }
  TReportingSource(const TReportingSource&) = delete;
  TReportingSource& operator=(const TReportingSource&) = delete;

  static zip_int64_t Command(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return static_cast<TReportingSource*>(state)->Handle(data, length, command);
  }

private:
  zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS,
                                              ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
      case ZIP_SOURCE_OPEN:
        run_.Trace("  adding: " + what_.EntryName);
        if (!run_.Send(ZIPDLL_MSG_BEGIN_FILE, what_.Size, what_.EntryName)) return Cancelled();
        if (zip_source_open(file_) < 0) return FileFailed();
        return 0;
      case ZIP_SOURCE_READ: {
        const zip_int64_t n = zip_source_read(file_, data, length);
        if (n < 0) return FileFailed();
        if (n > 0 && !run_.Send(ZIPDLL_MSG_PROGRESS, n)) return Cancelled();
        return n;
      }
      case ZIP_SOURCE_CLOSE:
        return zip_source_close(file_) < 0 ? FileFailed() : 0;
      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (!st) return -1;
        if (zip_source_stat(file_, st) < 0) return FileFailed();
        return sizeof *st;
      }
      case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        // Forwarded, or the entries would lose their file mode.
        auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, length, &error_);
        if (!attributes) return -1;
        if (zip_source_get_file_attributes(file_, attributes) < 0) return FileFailed();
        return sizeof *attributes;
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE:
        delete this;  // owned by libzip from zip_source_function on
        return 0;
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t Cancelled() {
    zip_error_set(&error_, ZIP_ER_CANCELLED, 0);
    return -1;
  }
  zip_int64_t FileFailed() {
    const zip_error_t* e = zip_source_error(file_);
    zip_error_set(&error_, zip_error_code_zip(e), zip_error_code_system(e));
    if (run_.FailedFile.empty()) run_.FailedFile = what_.Path;
    return -1;
  }

  TRun& run_;
  zip_source_t* file_;
  TFileToAdd what_;
  zip_error_t error_;
};

// The folder part of a pattern as stored in the archive when folders are
// kept: without drive and leading separators, with "/" between names.
std::string StoredFolder(const std::string& folder) {
  std::string f = folder;
  if (f.size() >= 2 && f[1] == ':') f.erase(0, 2);
  std::replace(f.begin(), f.end(), '\\', '/');
  f.erase(0, f.find_first_not_of('/'));
  if (!f.empty() && f.back() != '/') f += '/';
  return f;
}

// Files matching mask in folder (a Windows-style or native path, empty for
// the current folder), and in its sub-folders when recursing.
void CollectFiles(const std::string& folder, const std::string& mask, const std::string& storedFolder,
                  bool keepFolders, bool recurse, std::vector<TFileToAdd>& files) {
  const std::string prefix = folder.empty() ? std::string() : folder + "\\";
  // The names found are spelled as on disk: the folder is looked up once.
  std::string nativePrefix = folder.empty() ? std::string() : platform::NativePath(folder);
  if (!nativePrefix.empty() && nativePrefix.back() != '/') nativePrefix += '/';
  for (const platform::TSearchRec& found : platform::FindFiles(prefix + mask)) {
    if (found.Attr & platform::faDirectory) continue;
    TFileToAdd file;
    file.Path = nativePrefix + found.Name;
    file.EntryName = keepFolders ? storedFolder + found.Name : found.Name;
    file.Size = found.Size;
    file.Device = found.Device;
    file.Inode = found.Inode;
    files.push_back(std::move(file));
  }
  if (!recurse) return;
  for (const platform::TSearchRec& found : platform::FindFiles(prefix + "*")) {
    if (!(found.Attr & platform::faDirectory)) continue;
    CollectFiles(prefix + found.Name, mask, storedFolder + found.Name + "/", keepFolders, recurse, files);
  }
}

struct TArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

std::int32_t AddFiles(const ZipRunParams& params, TRun& run) {
  if (!params.ArchiveName || !*params.ArchiveName) return run.Fail("No archive name given.");
  if (params.PatternCount < 0 || (params.PatternCount > 0 && !params.Patterns)) {
    return run.Fail("Invalid list of patterns.");
  }
  const std::string archivePath = platform::NativePath(params.ArchiveName);
  const bool keepFolders = params.JunkFolders == 0;
  const bool encrypt = params.Encrypt != 0 && params.Password && *params.Password;

  std::vector<TFileToAdd> candidates;
  for (std::int32_t k = 0; k < params.PatternCount; ++k) {
    const ZipSpecEntry& entry = params.Patterns[k];
    if (!entry.Pattern || !*entry.Pattern) continue;
    const std::string pattern = entry.Pattern;
    std::string folder = platform::ExtractFileDir(pattern);
    if (folder.empty() && (pattern[0] == '\\' || pattern[0] == '/')) folder = std::string(1, '/');
    CollectFiles(folder, platform::ExtractFileName(pattern), StoredFolder(folder), keepFolders,
                 entry.Recurse != 0 || params.Recurse != 0, candidates);
  }

  // The archive as it is before the run, to be told apart from the files
  // (looked up once: the files' identities come with their listing).
  // A name with "*" or "?" would be a mask there: such an archive is
  // compared with each file by its path.
  const bool plainName = platform::ExtractFileName(archivePath).find_first_of("*?") == std::string::npos;
  const std::vector<platform::TSearchRec> archiveItself =
      plainName ? platform::FindFiles(archivePath) : std::vector<platform::TSearchRec>{};
  auto isTheArchive = [&](const TFileToAdd& file) {
    if (!plainName) {
      std::error_code ec;
      return std::filesystem::equivalent(file.Path, archivePath, ec);
    }
    return !archiveItself.empty() && archiveItself.front().Device == file.Device &&
           archiveItself.front().Inode == file.Inode;
  };
  std::vector<TFileToAdd> files;
  std::unordered_set<std::string> names;
  std::int64_t totalBytes = 0;
  for (TFileToAdd& file : candidates) {
    if (isTheArchive(file)) {
      if (!run.Send(ZIPDLL_MSG_SKIPPED, ZIPDLL_SKIP_ARCHIVE_ITSELF, file.EntryName)) return 0;
      continue;
    }
    if (!names.insert(file.EntryName).second) {
      run.Trace("  skipping " + file.Path + ": name " + file.EntryName + " already added");
      if (!run.Send(ZIPDLL_MSG_SKIPPED, ZIPDLL_SKIP_DUPLICATE_NAME, file.EntryName)) return 0;
      continue;
    }
    totalBytes += file.Size;
    files.push_back(std::move(file));
  }

  if (!run.Send(ZIPDLL_MSG_COUNT, static_cast<std::int64_t>(files.size())) ||
      !run.Send(ZIPDLL_MSG_TOTAL_BYTES, totalBytes)) {
    return 0;
  }
  if (files.empty()) {
    run.Trace("nothing to add");
    run.Send(ZIPDLL_MSG_END_BATCH, 0);
    return 0;
  }

  int openError = 0;
  std::unique_ptr<zip_t, TArchiveCloser> archive(zip_open(archivePath.c_str(), ZIP_CREATE, &openError));
  if (!archive) {
    zip_error_t e;
    zip_error_init_with_code(&e, openError);
    const std::string reason = zip_error_strerror(&e);
    zip_error_fini(&e);
    run.Send(ZIPDLL_MSG_END_BATCH, 0);
    return run.Fail(std::string(params.ArchiveName) + ": " + reason);
  }
  zip_t* za = archive.get();
  const int level = std::clamp(params.Level, 0, 9);
  for (const TFileToAdd& file : files) {
    zip_source_t* inner = zip_source_file(za, file.Path.c_str(), 0, -1);
    if (!inner) return run.Fail(file.Path + ": " + zip_strerror(za));
    auto state = std::make_unique<TReportingSource>(run, inner, file);
    zip_source_t* source = zip_source_function(za, &TReportingSource::Command, state.get());
    if (!source) return run.Fail(file.Path + ": " + zip_strerror(za));
    state.release();
    const zip_int64_t index = zip_file_add(za, file.EntryName.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
    if (index < 0) {
      const std::string reason = zip_strerror(za);
      zip_source_free(source);
      return run.Fail(file.Path + ": " + reason);
    }
    const auto i = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(za, i, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(level)) <
            0 ||
        (encrypt && zip_file_set_encryption(za, i, ZIP_EM_TRAD_PKWARE, params.Password) < 0)) {
      return run.Fail(file.Path + ": " + zip_strerror(za));
    }
  }
  if (params.Comment && zip_set_archive_comment(za, params.Comment,
                                                static_cast<zip_uint16_t>(std::min<std::size_t>(
                                                    std::strlen(params.Comment), 65535))) < 0) {
    return run.Fail(std::string(params.ArchiveName) + ": " + zip_strerror(za));
  }
  zip_register_cancel_callback_with_state(
      za, [](zip_t*, void* r) { return static_cast<TRun*>(r)->Stopped() ? 1 : 0; }, nullptr, &run);

  if (zip_close(za) < 0) {
    if (run.Stopped()) return 0;
    const std::string where = run.FailedFile.empty() ? std::string(params.ArchiveName) : run.FailedFile;
    const std::string reason = where + ": " + zip_strerror(za);
    run.Send(ZIPDLL_MSG_END_BATCH, 0);
    return run.Fail(reason);
  }
  archive.release();
  run.Trace(std::to_string(files.size()) + " file(s) added to " + params.ArchiveName);
  run.Send(ZIPDLL_MSG_END_BATCH, 0);
  return static_cast<std::int32_t>(files.size());
}

}  // namespace

extern "C" {

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL GetZipDllVersion(void) { return ZIPDLL_INTERFACE_VERSION; }

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL ZipDllExec(ZipRunParams* params) {
  if (!params || params->Version != ZIPDLL_INTERFACE_VERSION || params->Seal != ZIPDLL_SEAL) return -1;
  TRun run(*params);
  if (params->AddRun == 0 || params->DeleteRun != 0) return run.Fail("Only adding files is supported.");
  try {
    return AddFiles(*params, run);
  } catch (const std::exception& e) {
    // Nothing may unwind into the caller, which need not be C++.
    return run.Fail(e.what());
  }
}

}  // extern "C"
