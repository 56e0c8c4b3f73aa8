// A test fixture for the services and builder steps, without a program: a
// run control over a recording window, the transfer layer's part of the run,
// and a temporary Windows folder (WINDIR, with TEMP and the work folder
// TEMP/Annoncia).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/ActivityLog.h"
#include "feeds/FeedRun.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"

namespace testsupport {

class TRunFixture : public ::testing::Test {
protected:
  TTempDir windir;
  TRecordingWindow window;
  shell::TRunControl run{window, {}, windir / "annoncia"};
  transfer::TTransfers transfers{run};
  feeds::TFeedRun feed{run, transfers};

  // Points WINDIR at the folder, makes TEMP and the work folder, begins a run
  // of the option with these settings and restarts its log (the memo is
  // cleared afterwards).
  void StartRun(const std::string& option, shell::TRunControl::TRunSetup setup = {}) {
    setenv("WINDIR", windir.Path().c_str(), 1);
    MakeDirs(windir / "TEMP/Annoncia");
    setup.Option = option;
    run.BeginRun(setup);
    shell::RestartLog(run);
    window.Memo.clear();
  }
};

}  // namespace testsupport
