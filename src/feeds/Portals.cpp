#include "feeds/Portals.h"

#include <functional>

#include "feeds/AutoScout24Feed.h"
#include "feeds/FeedRun.h"
#include "feeds/LeBonCoinInfoPressFeed.h"
#include "feeds/ParuVenduFeed.h"
#include "feeds/SitAutoProFeed.h"
#include "feeds/TopAnnoncesFeed.h"

namespace feeds {
namespace {

// A builder of run control's kind: the transfer layer's part of the run is
// made for the builder and goes with it, closing the sessions.
shell::TFeedBuilder WithTransfers(std::function<void(TFeedRun&)> build) {
  return [build = std::move(build)](shell::TRunControl& run) {
    transfer::TTransfers transfers(run);
    TFeedRun feed{run, transfers};
    build(feed);
  };
}

}  // namespace

void RegisterPortals(shell::TPortalTable& table) {
  // Accounts and passwords are harmless placeholders of the right form:
  // every real installation sets its own.
  table.Register({"PARUVENDU", "ParuVendu", "annonces@ftp.paruvendu.example", "Pv20Ann0nc",
                  WithTransfers(BuildParuVenduFeed)});
  table.Register({"AUTOSCOUT24", "AutoScout24",
                  std::string("pf") + shell::defaults::idClient + "@upload.autoscout24.example", "as24pw01",
                  WithTransfers(BuildAutoScout24Feed)});
  table.Register({"SITAUTOPRO", "SitAutoPro", "SA123456@ftp.sitautopro.example", "sap2024x",
                  WithTransfers(BuildSitAutoProFeed)});
  table.Register({"TOPANNONCES", "TopAnnonces", "annonces@ftp.topannonces.example", "annonce2024",
                  WithTransfers(BuildTopAnnoncesFeed)});
  // Without a user these two make their archive and send nothing.
  table.Register({"LEBONCOIN", "LeBonCoin", "", "",
                  WithTransfers([](TFeedRun& feed) { BuildLeBonCoinInfoPressFeed(feed, "LeBonCoin"); })});
  table.Register({"INFOPRESS", "InfoPress", "", "",
                  WithTransfers([](TFeedRun& feed) { BuildLeBonCoinInfoPressFeed(feed, "InfoPress"); })});
}

}  // namespace feeds
