// The window interface: what run control, the transfers and the packager may
// ask of the program's window. Two front-ends implement it: the console
// program (annoncia), which prints the memo on standard output, and the Qt
// window (annoncia-gui). Nothing below src/app/ knows which one it talks to.
// Every call is made on the window's thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace shell {

// The eight connection edit boxes: portal server, then photo server.
enum class TConnectionField {
  paramServeur,
  paramUser,
  paramPassword,
  paramRepert,
  paramServeurClicheo,
  paramUserClicheo,
  paramPasswordClicheo,
  paramRepertClicheo,
};
inline constexpr int kConnectionFieldCount = 8;

// The packager's progress window (a small dialog with a label, a progress
// bar and a Cancel button).
class IProgressWindow {
public:
  virtual ~IProgressWindow() = default;
  virtual void SetLabel(const std::string& text) = 0;
  virtual void SetMaximum(int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void Hide() = 0;
};

class IMainWindow {
public:
  virtual ~IMainWindow() = default;

  virtual std::string FieldText(TConnectionField field) const = 0;
  virtual void SetFieldText(TConnectionField field, const std::string& text) = 0;

  virtual std::string Label1() const = 0;
  virtual void SetLabel1(const std::string& text) = 0;
  virtual std::string Label2() const = 0;
  virtual void SetLabel2(const std::string& text) = 0;

  // The memo: a line may hold line breaks; it then shows as several lines.
  virtual void AddMemoLine(const std::string& line) = 0;
  virtual void ClearMemo() = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetBoxServerCaption(const std::string& caption) = 0;
  // Visibility of the start controls (Button1 and CBExport).
  virtual void SetStartControlsVisible(bool visible) = 0;

  // Processes pending window messages (timer ticks, repaints, clicks).
  virtual void ProcessMessages() = 0;
  // Posts a close request to the window.
  virtual void PostClose() = 0;

  // The toolkit's standard error box.
  virtual void ShowError(const std::string& message) = 0;
  // An information box (OK only), and a question answered OK (true) or Cancel.
  virtual void ShowInformation(const std::string& caption, const std::string& text) = 0;
  virtual bool AskOkCancel(const std::string& caption, const std::string& text) = 0;

  // A progress window, shown at once; nullptr where the front-end has none.
  // onCancel runs when the operator presses Cancel.
  virtual std::unique_ptr<IProgressWindow> ShowProgressWindow(const std::string& caption,
                                                              std::function<void()> onCancel) = 0;
};

// The application title, used as caption of the boxes and dialogs.
inline constexpr const char* kApplicationTitle = "Annoncia";

}  // namespace shell
