// Helpers shared by the cursor's tests.
#pragma once

#include <functional>
#include <string>

#include "xmldoc/XMLCursor.h"

namespace xmldoc::testing {

// A cursor over the document the text holds.
inline IXMLCursorPtr LoadedCursor(const std::string& text) {
  IXMLCursorPtr cursor = TXMLCursor::Create();
  cursor->LoadXML(text);
  return cursor;
}

// The message of the cursor error that action raises ("" when none).
inline std::string CursorErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EXMLCursorError& error) {
    return error.what();
  }
  return {};
}

}  // namespace xmldoc::testing
