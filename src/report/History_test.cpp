#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "report/History.h"
#include "support/TestSupport.h"

namespace {

shell::TRunRecord NotSentRun() {
  shell::TRunRecord r;
  r.Option = "SITAUTOPRO";
  r.Start = {2026, 6, 19, 2, 15, 3, 120};
  r.End = {2026, 6, 19, 2, 16, 0, 120};
  r.DurationSeconds = 57.25;
  r.Outcome = shell::TRunOutcome::NotSent;
  r.ExitStatus = 3;
  r.OutcomeText = "Transfert FTP : Erreur Connexion au serveur. ";
  // Text from the data and the servers: quotes, line breaks, a byte that is no UTF-8.
  r.LastLine = "-> 19/06/2026 02:16:00 - \"Citroën\"\r\nC3 \xE9t\xE9";
  r.Counters = {.VehicleCount = 12, .PhotoLinkCount = 40, .PhotosUpdatedCount = 5, .PhotosMissingCount = 2,
                .PhotosNotSentCount = 1};
  r.Files = {.FeedFile = "SA123456.xml", .FeedSize = 4567, .ArchiveFile = "SA123456.zip", .ArchiveSize = 890};
  return r;
}

}  // namespace

TEST(History, ALineHoldsTheWholeRunOnOneLine) {
  const std::string line = report::HistoryLine(NotSentRun());
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const auto j = nlohmann::json::parse(line);
  EXPECT_EQ(j["portal"], "SITAUTOPRO");
  EXPECT_EQ(j["start"], "2026-06-19T02:15:03+02:00");
  EXPECT_EQ(j["end"], "2026-06-19T02:16:00+02:00");
  EXPECT_EQ(j["duration_s"], 57.25);
  EXPECT_EQ(j["exit_status"], 3);
  EXPECT_EQ(j["outcome"], "not_sent");
  EXPECT_EQ(j["error"], "Transfert FTP : Erreur Connexion au serveur.");
  EXPECT_EQ(j["last_line"], "-> 19/06/2026 02:16:00 - \"Citroën\"\r\nC3 \uFFFDt\uFFFD");
  EXPECT_EQ(j["vehicles"], 12);
  EXPECT_EQ(j["photo_links"], 40);
  EXPECT_EQ(j["photos_sent"], 4);  // five uploads tried, one failed
  EXPECT_EQ(j["photos_missing"], 2);
  EXPECT_EQ(j["photos_not_sent"], 1);
  EXPECT_EQ(j["feed_file"], "SA123456.xml");
  EXPECT_EQ(j["feed_size"], 4567);
  EXPECT_EQ(j["archive_size"], 890);
  EXPECT_FALSE(j["version"].get<std::string>().empty());

  const auto e = report::ParseHistoryLine(line);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->StartEpoch, report::ParseIso8601("2026-06-19T00:15:03+00:00"));
  EXPECT_EQ(e->PhotosSent, 4);
  EXPECT_EQ(e->ArchiveSize, 890);
}

TEST(History, ASentRunHasNoErrorAndMissingFilesAreNull) {
  shell::TRunRecord r;
  r.Option = "PARUVENDU";
  r.Outcome = shell::TRunOutcome::Sent;
  r.OutcomeText = "Transfert FTP OK : ";
  const auto j = nlohmann::json::parse(report::HistoryLine(r));
  EXPECT_TRUE(j["error"].is_null());
  EXPECT_TRUE(j["feed_file"].is_null());
  EXPECT_TRUE(j["archive_size"].is_null());
}

TEST(History, Iso8601Times) {
  EXPECT_EQ(report::ParseIso8601("1970-01-01T00:00:00+00:00"), 0);
  EXPECT_EQ(report::ParseIso8601("1970-01-01T01:00:00+01:00"), 0);
  EXPECT_EQ(report::ParseIso8601("1969-12-31T18:30:00-05:30"), 0);
  EXPECT_EQ(report::ParseIso8601("2024-02-29T12:00:00+00:00"), 1709208000);
  for (const char* bad : {"", "2026-06-19", "2026-06-19T02:15:03", "2026-02-30T00:00:00+00:00",
                          "2026-06-19T02:15:03+02:00x", "2026-06-19T25:00:00+00:00"}) {
    EXPECT_FALSE(report::ParseIso8601(bad)) << bad;
  }
}

TEST(History, TheFileKeepsTheNewestLinesAndSurvivesBadOnes) {
  testsupport::TTempDir dir;
  const std::string path = dir / "historique.jsonl";
  shell::TRunRecord r = NotSentRun();
  // A line cut short by a full disk, and a line edited by hand.
  testsupport::WriteFile(path, "not json\n{\"portal\":\"PARUVENDU\",\"outc");
  for (int k = 1; k <= 5; ++k) {
    r.Counters.VehicleCount = k;
    report::AppendToHistory(path, report::HistoryLine(r), 4);
  }
  const auto entries = report::ReadHistory(path);
  ASSERT_EQ(entries.size(), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(entries[static_cast<std::size_t>(k)].Vehicles, k + 2);
  const std::string text = testsupport::ReadFile(path);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
  EXPECT_EQ(testsupport::ListFolder(dir.Path()), std::vector<std::string>{"historique.jsonl"});
  EXPECT_TRUE(report::ReadHistory(dir / "missing.jsonl").empty());
}

TEST(History, TheLockIsWaitedFor) {
  testsupport::TTempDir dir;
  std::string holder;
  auto first = platform::TFileLock::TryAcquire(dir / "historique.lock", holder);
  ASSERT_TRUE(first);
  std::thread release([&first] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.reset();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(report::LockHistory(dir / "historique.lock"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  release.join();
}
