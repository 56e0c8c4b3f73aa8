// How a run ended, and the exit status the scheduler sees for it.
#pragma once

namespace shell {

enum class TRunOutcome {
  NoRun,          // no option accepted (usage shown, unknown option), or still running
  Sent,           // the run finished and its feed reached the portal
  NothingToSend,  // the run finished with nothing to send (a portal without user)
  NotSent,        // the run finished but the upload failed
  Error,          // an error ended the run
};

// Exit statuses of the programs.
enum TExitStatus : int {
  esSent = 0,     // run finished: feed sent, or nothing to send
  esError = 1,    // an error ended the run
  esNoRun = 2,    // usage shown or unknown option: no run
  esNotSent = 3,  // run finished but the upload failed
};

constexpr int ExitStatusOf(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::Sent:
    case TRunOutcome::NothingToSend: return esSent;
    case TRunOutcome::NotSent: return esNotSent;
    case TRunOutcome::Error: return esError;
    case TRunOutcome::NoRun: break;
  }
  return esNoRun;
}

}  // namespace shell
