// The run history: one JSON object per line in the work folder's
// historique.jsonl, appended after every run whose option was accepted.
//
// A line is written with one append (O_APPEND) under the history's own lock
// file, so runs of different portals that end together never mix their
// lines; the status page is rewritten under the same lock. The file keeps the
// newest kHistoryLines lines: past that the oldest are dropped by writing the
// rest to a temporary file renamed over the history. Readers need no lock.
// Lines that do not parse (a hand edit, a disk that filled up) are skipped
// by the reader, never fatal.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "shell/UnitAnnoncia.h"

namespace report {

inline constexpr std::size_t kHistoryLines = 10000;

// Windir + "\TEMP\Annoncia\historique.jsonl", and its lock file.
std::string HistoryPath();
std::string HistoryLockPath();

// The history's JSON object for a finished run, on one line (no line break:
// JSON escapes those inside strings).
std::string HistoryLine(const shell::TRunRecord& record);

// One history line, as the readers see it.
struct THistoryEntry {
  std::string Portal;     // the run option
  std::string Start;      // ISO 8601 with offset, as written
  std::string End;
  std::int64_t StartEpoch = 0;  // seconds since 1970 UTC
  double DurationSeconds = 0;
  int ExitStatus = 0;
  std::string Outcome;    // shell::OutcomeWord
  std::string LastLine;
  std::string Error;
  std::int64_t Vehicles = 0;
  std::int64_t PhotoLinks = 0;
  std::int64_t PhotosSent = 0;
  std::int64_t PhotosMissing = 0;
  std::int64_t PhotosNotSent = 0;
  std::string FeedFile;
  std::int64_t FeedSize = -1;
  std::int64_t ArchiveSize = -1;
  std::string Version;
};

// Parses a history line; nullopt for anything that is no history object.
std::optional<THistoryEntry> ParseHistoryLine(const std::string& line);
// Every entry of the history file, oldest first; none for a missing file.
std::vector<THistoryEntry> ReadHistory(const std::string& path);

// ISO 8601 text with offset ("2026-06-19T14:05:09+02:00") to seconds since
// 1970 UTC; nullopt for another text.
std::optional<std::int64_t> ParseIso8601(const std::string& text);

// The history's lock (always held on return), waited for a while; raises
// when it cannot be had.
std::optional<platform::TFileLock> LockHistory(const std::string& lockPath);

// Appends a line to the history at path (made when missing) and drops the
// oldest lines past `bound`. The caller holds the lock. Raises
// platform::EInOutError.
void AppendToHistory(const std::string& path, const std::string& line, std::size_t bound = kHistoryLines);

}  // namespace report
