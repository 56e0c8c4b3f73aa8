#include "app/ConsoleWindow.h"

#include <iostream>
#include <string_view>

namespace app {
namespace {
// Prints a text line by line, whatever line ends it holds.
void PrintLines(std::ostream& out, const std::string& text) {
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of("\r\n", start);
    out << std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start) << '\n';
    if (end == std::string::npos) break;
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    if (start >= text.size()) break;
  }
  out.flush();
}
}  // namespace

std::string TConsoleWindow::FieldText(shell::TConnectionField field) const {
  return fields_[static_cast<std::size_t>(field)];
}

void TConsoleWindow::SetFieldText(shell::TConnectionField field, const std::string& text) {
  fields_[static_cast<std::size_t>(field)] = text;
}

void TConsoleWindow::AddMemoLine(const std::string& line) { PrintLines(std::cout, line); }

void TConsoleWindow::ShowError(const std::string& message) { PrintLines(std::cerr, message); }

void TConsoleWindow::ShowInformation(const std::string& caption, const std::string& text) {
  PrintLines(std::cout, caption + " : " + text);
}

bool TConsoleWindow::AskOkCancel(const std::string& caption, const std::string& text) {
  // Nobody is there to answer an unattended run.
  PrintLines(std::cout, caption + " : " + text);
  return false;
}

}  // namespace app
