// A test fixture for the services and builder steps, without a program: a
// run control over a recording window and a temporary Windows folder (WINDIR,
// with TEMP and the work folder TEMP/Annoncia).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/ActivityLog.h"
#include "shell/UnitAnnoncia.h"
#include "support/RecordingWindow.h"
#include "support/TestSupport.h"

namespace testsupport {

class TRunFixture : public ::testing::Test {
protected:
  TTempDir windir;
  TRecordingWindow window;
  shell::TRunControl run{window, {}, windir / "annoncia"};

  // Points WINDIR at the folder, makes TEMP and the work folder, accepts the
  // option and restarts its log (which leaves "-> " as the first memo line).
  void StartRun(const std::string& option) {
    setenv("WINDIR", windir.Path().c_str(), 1);
    MakeDirs(windir / "TEMP/Annoncia");
    run.CurrentOption = option;
    shell::LogLine(run, "");
    window.Memo.clear();
  }
};

}  // namespace testsupport
