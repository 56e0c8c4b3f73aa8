// The packager's progress window: a small dialog (client area 300 x 100) with
// the name of the file being packed, a progress bar and a "&Cancel" button.
// Cancel (the button, Escape or the close box) calls the packager's cancel
// function and hides the window; the packager notices it at its next message
// processing. The window is owned by the handle the packager holds; it is
// made a child of the main window only so that it stays over it, and the
// handle deletes it unless the main window already did.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QDialog>

#include "shell/MainWindow.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace app {

class TProgressForm : public QDialog {
public:
  TProgressForm(QWidget* mainWindow, const std::string& caption, std::function<void()> onCancel);

  // Centres the window over the main window when that is shown, otherwise
  // in the screen's work area.
  void PlaceCentred();

  void reject() override;

  QLabel* Label;
  QProgressBar* ProgressBar;
  QPushButton* CancelButton;

private:
  std::function<void()> onCancel_;
};

// Shows a progress window at once and hands it over as the window interface
// knows it.
std::unique_ptr<shell::IProgressWindow> ShowProgressForm(QWidget* mainWindow, const std::string& caption,
                                                         std::function<void()> onCancel);

}  // namespace app
