// The Qt front-end of the window interface: the program's main window.
//
// TForm1 owns the run control for the whole process. Its constructor is the
// window's creation: it makes the controls, starts the one-second timer and
// then calls FormCreate, so an unattended run (one argument) happens before
// the window is shown, kept serviced by ProcessMessages at the points where
// the run asks for it. Errors that escape a run are shown in Qt's critical
// message box (modal: it blocks until closed). Everything runs on the thread
// that made the QApplication; this is the only code besides the progress
// window that includes Qt.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <QWidget>

#include "shell/MainWindow.h"
#include "shell/UnitAnnoncia.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace app {

// Look of the whole application: the classic Windows style with "*" as
// password character, and the dialog font "MS Sans Serif" 8 pt mapped to the
// closest installed face. Call once, after the QApplication is made and
// before any widget is.
void SetUpApplicationLook();

class TForm1 : public QWidget, public shell::IMainWindow {
public:
  TForm1(shell::TPortalTable portals, std::string executablePath, const std::vector<std::string>& arguments);
  ~TForm1() override;

  shell::TRunControl& Run() { return run_; }

  // Event handlers (also reachable from tests, which drive the ticks).
  void Button1Click();
  void Button2Click();
  void Timer1Timer();

  // The memo's lines, as run control added them.
  std::vector<std::string> MemoLines() const;

  // shell::IMainWindow
  std::string FieldText(shell::TConnectionField field) const override;
  void SetFieldText(shell::TConnectionField field, const std::string& text) override;
  std::string Label1() const override;
  void SetLabel1(const std::string& text) override;
  std::string Label2() const override;
  void SetLabel2(const std::string& text) override;
  void AddMemoLine(const std::string& line) override;
  void ClearMemo() override;
  void SetCaption(const std::string& caption) override;
  void SetBoxServerCaption(const std::string& caption) override;
  void SetStartControlsVisible(bool visible) override;
  void ProcessMessages() override;
  void PostClose() override;
  void ShowError(const std::string& message) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  std::unique_ptr<shell::IProgressWindow> ShowProgressWindow(const std::string& caption,
                                                             std::function<void()> onCancel) override;

  // The controls, under the names the run and the operator know them by.
  QGroupBox* GroupBox1;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLineEdit* paramServeurClicheo;
  QLineEdit* paramUserClicheo;
  QLineEdit* paramPasswordClicheo;
  QLineEdit* paramRepertClicheo;
  QGroupBox* BoxServer;
  QLabel* lbServer;
  QLabel* LbUser;
  QLabel* LbPassword;
  QLabel* Label7;
  QLineEdit* paramServeur;
  QLineEdit* paramUser;
  QLineEdit* paramPassword;
  QLineEdit* paramRepert;
  QComboBox* CBExport;
  QLabel* Label1Control;  // the controls Label1 and Label2; the interface
  QLabel* Label2Control;  // already uses those names for their texts
  QPushButton* Button2;
  QPushButton* Button1;
  QGroupBox* BoxMemo;
  QPlainTextEdit* Memo;
  QTimer* Timer1;

private:
  QLineEdit* Field(shell::TConnectionField field) const;

  shell::TRunControl run_;
  std::array<QLineEdit*, shell::kConnectionFieldCount> fields_{};
  // TStrings-like line count: an empty first line is a line too.
  std::size_t memoLineCount_ = 0;
  bool inButton1Click_ = false;
};

}  // namespace app
