// How a run ended, and the exit status the scheduler sees for it.
#pragma once

namespace shell {

enum class TRunOutcome {
  NoRun,          // no option accepted (usage shown, unknown option), or still running
  Sent,           // the run finished and its feed reached the portal
  NothingToSend,  // the run finished with nothing to send (a portal without user)
  NotSent,        // the run finished but the upload failed
  HeldBack,       // the run finished; a feed guard kept the feed from the portal
  PhotosIncomplete,  // the feed was sent, but the photo server was unavailable
  Error,          // an error ended the run
  Refused,        // another run of the same portal holds its lock: nothing done
};

// Exit statuses of the programs.
enum TExitStatus : int {
  esSent = 0,     // run finished: feed sent, or nothing to send
  esError = 1,    // an error ended the run
  esNoRun = 2,    // usage shown or unknown option: no run
  esNotSent = 3,  // run finished but the upload failed, or the feed was held back
  esPhotosIncomplete = 4,  // feed sent, photos could not all be sent
};

constexpr int ExitStatusOf(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::Sent:
    case TRunOutcome::NothingToSend: return esSent;
    case TRunOutcome::NotSent:
    case TRunOutcome::HeldBack: return esNotSent;
    case TRunOutcome::PhotosIncomplete: return esPhotosIncomplete;
    case TRunOutcome::Error:
    case TRunOutcome::Refused: return esError;
    case TRunOutcome::NoRun: break;
  }
  return esNoRun;
}

// The outcome's stable word, for the run history and machine readers.
constexpr const char* OutcomeWord(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::Sent: return "sent";
    case TRunOutcome::NothingToSend: return "nothing_to_send";
    case TRunOutcome::NotSent: return "not_sent";
    case TRunOutcome::HeldBack: return "held_back";
    case TRunOutcome::PhotosIncomplete: return "photos_incomplete";
    case TRunOutcome::Error: return "error";
    case TRunOutcome::Refused: return "refused";
    case TRunOutcome::NoRun: break;
  }
  return "no_run";
}

}  // namespace shell
