// The portal table: one descriptor per portal the program publishes to.
//
// Everything that differs by portal at the level of run control lives in the
// descriptor: the run option (the settings section and the log name), the
// name the window and the builders spell it with, the default account, and
// the builder. The program fills the table once at start-up, in the order
// the options are compared and listed; the run options, the defaults, the
// window's list and the builder look-up all come from it, so a portal is
// added by writing its builder and registering one descriptor. The table
// also holds the steps the program runs after every run.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace shell {

class TRunControl;
struct TRunRecord;

// Builds and sends one portal's feed. Run control calls it once the option is
// accepted, the settings are open, the counters are reset and the log has
// been restarted; the run is finished when it returns.
using TFeedBuilder = std::function<void(TRunControl&)>;

// What the program does after every run (the history line, the status page,
// the alert). It may raise: run control logs the error and goes on.
using TAfterRunStep = std::function<void(TRunControl&, const TRunRecord&)>;

struct TPortal {
  std::string Option;       // "PARUVENDU": upper case, letters a to z and digits
  std::string DisplayName;  // "ParuVendu"
  std::string DefaultUser;  // User and PassWord of the option's section when missing
  std::string DefaultPassWord;
  TFeedBuilder Build;
};

class TPortalTable {
public:
  // Raises std::invalid_argument for a portal without builder, an option
  // that is not an upper-case word, or an option registered twice.
  void Register(TPortal portal);
  // The portal of an upper-case run option, or nullptr.
  const TPortal* Find(const std::string& option) const;
  // Every portal, in the order of registration.
  const std::vector<TPortal>& All() const { return portals_; }

  // Steps run after every run, in the order of registration.
  void AddAfterRunStep(TAfterRunStep step) { afterRunSteps_.push_back(std::move(step)); }
  const std::vector<TAfterRunStep>& AfterRunSteps() const { return afterRunSteps_; }

private:
  std::vector<TPortal> portals_;
  std::vector<TAfterRunStep> afterRunSteps_;
};

}  // namespace shell
