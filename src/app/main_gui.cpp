// annoncia-gui: the program in its window. One argument runs that portal
// while the window is being made, then shows the window until it closes
// itself; none or several show the window for an operator. The exit status
// is the run's, as for the console program, also when the window is closed
// by hand.
//
// --help and --version are answered on standard output before the window
// (or anything that touches the log or the settings) is made.
//
// ANNONCIA_GUI_SCREENSHOT=file.png (for screenshots and tests): about a
// second after the window is shown, the program saves what the screen shows
// of it to that file and closes the window.
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "feeds/Portals.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "report/AfterRun.h"

namespace {

void SaveWindowImage(app::TForm1& form, const std::string& file) {
  const QRect frame = form.frameGeometry();
  QPixmap image;
  if (QScreen* screen = form.screen()) {
    image = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  // Platforms without a screen to read (offscreen) render the widget instead.
  if (image.isNull()) image = form.grab();
  if (!image.save(QString::fromStdString(file), "PNG")) {
    std::cerr << "annoncia-gui: cannot write " << file << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is the run option alone: Qt does not get to read it.
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  shell::TPortalTable portals;
  feeds::RegisterPortals(portals);
  int status = 0;
  if (app::AnswerInformationRequest(arguments, portals, {"annoncia-gui", "[PORTAIL]", platform::ExecutablePath()},
                                    std::cout, std::cerr, status)) {
    return status;
  }

  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  QApplication::setApplicationName(shell::kApplicationTitle);
  app::SetUpApplicationLook();

  report::RegisterAfterRunSteps(portals);
  app::TForm1 form(std::move(portals), platform::ExecutablePath(), arguments);
  form.show();

  const std::string screenshot = platform::GetEnvironmentVariable("ANNONCIA_GUI_SCREENSHOT");
  if (!screenshot.empty()) {
    QTimer::singleShot(1000, &form, [&form, screenshot] {
      SaveWindowImage(form, screenshot);
      form.close();
    });
  }

  QApplication::exec();
  return form.Run().ExitStatus();
}
