#include "report/History.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "shell/RunFolders.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"
#include "shell/RunFolders.h"

#ifndef ANNONCIA_VERSION
#error "ANNONCIA_VERSION must hold the program's version"
#endif

namespace report {
namespace {

// Keys stay in the order written, the order a reader expects them.
using json = nlohmann::ordered_json;

// A size, or null for a file the run did not make.
json SizeOrNull(std::int64_t size) { return size < 0 ? json(nullptr) : json(size); }
json TextOrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string TextOf(const json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::int64_t NumberOf(const json& j, const char* key, std::int64_t missing) {
  const auto it = j.find(key);
  return it != j.end() && it->is_number() ? it->get<std::int64_t>() : missing;
}

}  // namespace

std::string HistoryPath() { return shell::WorkFolder() + "\\historique.jsonl"; }
std::string HistoryLockPath() { return shell::WorkFolder() + "\\historique.lock"; }

std::string HistoryLine(const shell::TRunRecord& r) {
  // Anything but the two good outcomes says why in its text.
  const bool fine = r.Outcome == shell::TRunOutcome::Sent || r.Outcome == shell::TRunOutcome::NothingToSend;
  json j = json::object();
  j["portal"] = r.Option;
  j["start"] = platform::FormatIso8601(r.Start);
  j["end"] = platform::FormatIso8601(r.End);
  j["duration_s"] = static_cast<double>(static_cast<std::int64_t>(r.DurationSeconds * 1000 + 0.5)) / 1000;
  j["exit_status"] = r.ExitStatus;
  j["outcome"] = shell::OutcomeWord(r.Outcome);
  j["last_line"] = TextOrNull(r.LastLine);
  j["error"] = fine ? json(nullptr) : TextOrNull(TrimRight(r.OutcomeText));
  j["vehicles"] = r.Counters.VehicleCount;
  j["photo_links"] = r.Counters.PhotoLinkCount;
  j["photos_sent"] = std::max(0, r.Counters.PhotosUpdatedCount - r.Counters.PhotosNotSentCount);
  j["photos_missing"] = r.Counters.PhotosMissingCount;
  j["photos_not_sent"] = r.Counters.PhotosNotSentCount;
  j["feed_file"] = TextOrNull(r.Files.FeedFile);
  j["feed_size"] = SizeOrNull(r.Files.FeedSize);
  j["archive_file"] = TextOrNull(r.Files.ArchiveFile);
  j["archive_size"] = SizeOrNull(r.Files.ArchiveSize);
  j["version"] = ANNONCIA_VERSION;
  // Text from the data may be any bytes: bad UTF-8 becomes U+FFFD instead of failing.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<std::int64_t> ParseIso8601(const std::string& text) {
  int y, mo, d, h, mi, s, oh, om;
  char sign;
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &sign, &oh, &om,
                  &used) != 9 ||
      static_cast<std::size_t>(used) != text.size() || (sign != '+' && sign != '-')) {
    return std::nullopt;
  }
  using namespace std::chrono;
  const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
  if (!date.ok() || h > 23 || mi > 59 || s > 60) return std::nullopt;
  const std::int64_t offset = (sign == '-' ? -1 : 1) * (oh * 3600 + om * 60);
  const std::int64_t local = sys_days(date).time_since_epoch().count() * 86400 + h * 3600 + mi * 60 + s;
  return local - offset;
}

std::optional<THistoryEntry> ParseHistoryLine(const std::string& line) {
  const json j = json::parse(line, nullptr, false);
  if (!j.is_object() || !j.contains("portal") || !j.contains("outcome")) return std::nullopt;
  THistoryEntry e;
  e.Portal = TextOf(j, "portal");
  e.Start = TextOf(j, "start");
  e.End = TextOf(j, "end");
  e.StartEpoch = ParseIso8601(e.Start).value_or(0);
  if (const auto it = j.find("duration_s"); it != j.end() && it->is_number()) e.DurationSeconds = it->get<double>();
  e.ExitStatus = static_cast<int>(NumberOf(j, "exit_status", 0));
  e.Outcome = TextOf(j, "outcome");
  e.LastLine = TextOf(j, "last_line");
  e.Error = TextOf(j, "error");
  e.Vehicles = NumberOf(j, "vehicles", 0);
  e.PhotoLinks = NumberOf(j, "photo_links", 0);
  e.PhotosSent = NumberOf(j, "photos_sent", 0);
  e.PhotosMissing = NumberOf(j, "photos_missing", 0);
  e.PhotosNotSent = NumberOf(j, "photos_not_sent", 0);
  e.FeedFile = TextOf(j, "feed_file");
  e.FeedSize = NumberOf(j, "feed_size", -1);
  e.ArchiveSize = NumberOf(j, "archive_size", -1);
  e.Version = TextOf(j, "version");
  if (e.Portal.empty() || e.Outcome.empty()) return std::nullopt;
  return e;
}

std::vector<THistoryEntry> ReadHistory(const std::string& path) {
  std::vector<THistoryEntry> entries;
  if (!platform::FileExists(path)) return entries;
  const std::string text = platform::ReadFileBytes(path);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (auto entry = ParseHistoryLine(text.substr(start, end - start))) entries.push_back(std::move(*entry));
    start = end + 1;
  }
  return entries;
}

std::optional<platform::TFileLock> LockHistory(const std::string& lockPath) {
  // Another run holds it only while it writes a line and the page.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (std::string holder;;) {
    if (auto lock = platform::TFileLock::TryAcquire(lockPath, holder)) return lock;
    if (std::chrono::steady_clock::now() >= deadline) {
      throw std::runtime_error("Historique verrouillé par un autre export" +
                               (holder.empty() ? std::string() : " (processus " + holder + ")") + " : " + lockPath);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void AppendToHistory(const std::string& path, const std::string& line, std::size_t bound) {
  std::string text = platform::FileExists(path) ? platform::ReadFileBytes(path) : std::string();
  // A line cut short (a full disk) must not swallow the next one.
  const std::string added = (text.empty() || text.back() == '\n' ? "" : "\n") + line + "\n";
  platform::AppendFileBytesCreating(path, added);
  text += added;
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  if (lines <= bound) return;
  // The start of the newest `bound` lines.
  std::size_t keepFrom = 0;
  for (std::size_t drop = lines - bound; drop > 0; --drop) keepFrom = text.find('\n', keepFrom) + 1;
  platform::WriteFileReplacing(path, std::string_view(text).substr(keepFrom));
}

}  // namespace report
