// The window tests run on one QApplication per process, on the offscreen
// platform unless the environment names another one.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/MainForm.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  app::SetUpApplicationLook();
  return RUN_ALL_TESTS();
}
