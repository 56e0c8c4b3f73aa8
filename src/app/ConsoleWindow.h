// The console front-end of the window interface: memo lines go to standard
// output as they are added, errors to standard error; there is no message
// loop, no box to click and no progress window.
#pragma once

#include <array>
#include <string>

#include "shell/MainWindow.h"

namespace app {

class TConsoleWindow : public shell::IMainWindow {
public:
  std::string FieldText(shell::TConnectionField field) const override;
  void SetFieldText(shell::TConnectionField field, const std::string& text) override;
  std::string Label1() const override { return label1_; }
  void SetLabel1(const std::string& text) override { label1_ = text; }
  std::string Label2() const override { return label2_; }
  void SetLabel2(const std::string& text) override { label2_ = text; }
  void AddMemoLine(const std::string& line) override;
  void ClearMemo() override {}
  void SetCaption(const std::string&) override {}
  void SetBoxServerCaption(const std::string&) override {}
  void SetStartControlsVisible(bool) override {}
  void ProcessMessages() override {}
  void PostClose() override {}
  void ShowError(const std::string& message) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  std::unique_ptr<shell::IProgressWindow> ShowProgressWindow(const std::string&, std::function<void()>) override {
    return nullptr;
  }

private:
  std::array<std::string, shell::kConnectionFieldCount> fields_;
  std::string label1_ = "Label1";
  std::string label2_ = "Label2";
};

}  // namespace app
