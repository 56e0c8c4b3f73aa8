// A window for tests: it records what run control and the services show,
// and lets a test decide what the boxes answer and what a message pump does.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "shell/MainWindow.h"

namespace testsupport {

class TRecordingProgressWindow;

class TRecordingWindow : public shell::IMainWindow {
public:
  std::array<std::string, shell::kConnectionFieldCount> Fields;
  std::string Label1Text = "Label1";
  std::string Label2Text = "Label2";
  std::vector<std::string> Memo;
  std::string Caption = "Form1";
  std::string BoxServerCaption = "Connexion Serveur xxx : ";
  bool StartControlsVisible = true;
  int ProcessMessagesCalls = 0;
  int CloseRequests = 0;
  std::vector<std::string> Errors;
  std::vector<std::string> Informations;  // caption + "|" + text
  std::vector<std::string> Questions;
  bool QuestionAnswer = false;
  // Progress window log: "show:caption", "label:x", "max:n", "pos:n", "hide", "close".
  std::vector<std::string> Progress;
  bool WithProgressWindow = false;
  std::function<void()> ProgressCancel;  // the Cancel button of the last progress window
  std::function<void()> OnProcessMessages;

  std::string FieldText(shell::TConnectionField f) const override { return Fields[static_cast<std::size_t>(f)]; }
  void SetFieldText(shell::TConnectionField f, const std::string& t) override { Fields[static_cast<std::size_t>(f)] = t; }
  std::string Label1() const override { return Label1Text; }
  void SetLabel1(const std::string& t) override { Label1Text = t; }
  std::string Label2() const override { return Label2Text; }
  void SetLabel2(const std::string& t) override { Label2Text = t; }
  void AddMemoLine(const std::string& line) override { Memo.push_back(line); }
  void ClearMemo() override { Memo.clear(); }
  void SetCaption(const std::string& c) override { Caption = c; }
  void SetBoxServerCaption(const std::string& c) override { BoxServerCaption = c; }
  void SetStartControlsVisible(bool v) override { StartControlsVisible = v; }
  void ProcessMessages() override {
    ++ProcessMessagesCalls;
    if (OnProcessMessages) OnProcessMessages();
  }
  void PostClose() override { ++CloseRequests; }
  void ShowError(const std::string& m) override { Errors.push_back(m); }
  void ShowInformation(const std::string& c, const std::string& t) override { Informations.push_back(c + "|" + t); }
  bool AskOkCancel(const std::string& c, const std::string& t) override {
    Questions.push_back(c + "|" + t);
    return QuestionAnswer;
  }
  std::unique_ptr<shell::IProgressWindow> ShowProgressWindow(const std::string& caption,
                                                             std::function<void()> onCancel) override;
};

class TRecordingProgressWindow : public shell::IProgressWindow {
public:
  explicit TRecordingProgressWindow(std::vector<std::string>& log) : log_(log) {}
  ~TRecordingProgressWindow() override { log_.push_back("close"); }
  void SetLabel(const std::string& t) override { log_.push_back("label:" + t); }
  void SetMaximum(int m) override { log_.push_back("max:" + std::to_string(m)); }
  void SetPosition(int p) override { log_.push_back("pos:" + std::to_string(p)); }
  void Hide() override { log_.push_back("hide"); }

private:
  std::vector<std::string>& log_;
};

inline std::unique_ptr<shell::IProgressWindow> TRecordingWindow::ShowProgressWindow(const std::string& caption,
                                                                                   std::function<void()> onCancel) {
  if (!WithProgressWindow) return nullptr;
  Progress.push_back("show:" + caption);
  ProgressCancel = std::move(onCancel);
  return std::make_unique<TRecordingProgressWindow>(Progress);
}

}  // namespace testsupport
