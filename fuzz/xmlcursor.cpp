// The XML cursor's loaders on any bytes: Load of a file (any declared
// encoding) and LoadXML of the same bytes as text. What loads is walked
// through the cursor's navigation, then must serialise, and what serialises
// must load again to the same text, from XML() and from a saved file.
#include <string>

#include "FuzzSupport.h"
#include "platform/Ansi.h"
#include "xmldoc/XMLCursor.h"

namespace {
using xmldoc::EXMLCursorError;
using xmldoc::IXMLCursorPtr;

// Reads every node of a subtree the way the builders do, with a bound on the
// nodes visited so a wide document cannot make one input slow.
void Walk(const IXMLCursorPtr& cursor, int depth, int& budget) {
  for (cursor->First(); !cursor->Eof() && budget > 0; cursor->Next()) {
    --budget;
    const std::string name = cursor->NodeName();
    const std::string value = cursor->GetValue(".");
    fuzz::Check(platform::IsValidUtf8(name) && platform::IsValidUtf8(value), "node text is not UTF-8");
    (void)cursor->GetValue("@id");
    if (depth < 64) Walk(cursor->Select("*"), depth + 1, budget);
  }
}

void CheckRoundTrip(const IXMLCursorPtr& loaded) {
  int budget = 2000;
  Walk(loaded->RootCursor(), 0, budget);
  const std::string text = loaded->RootCursor()->XML();
  fuzz::Check(platform::IsValidUtf8(text), "XML() is not UTF-8");
  try {
    (void)loaded->PrettyXML();
  } catch (const EXMLCursorError&) {
    // The XSL processor refuses some documents libxml2 reads (an undeclared
    // prefix): an error message, as a builder reports it, not a fault.
  }

  const IXMLCursorPtr again = xmldoc::TXMLCursor::Create();
  try {
    again->LoadXML(text);
  } catch (const EXMLCursorError& e) {
    fuzz::Fail(std::string("XML() text does not load again: ") + e.what() + "\n" + text);
  }
  fuzz::Check(again->RootCursor()->XML() == text, "XML() differs after a reload:\n" + text);

  const std::string saved = fuzz::ScratchFolder() + "/saved.xml";
  const IXMLCursorPtr fromFile = xmldoc::TXMLCursor::Create();
  try {
    loaded->Save(saved);
  } catch (const EXMLCursorError&) {
    return;  // an encoding the text declares but libxml2 cannot write: refused with a message
  }
  try {
    fromFile->Load(saved);
  } catch (const EXMLCursorError& e) {
    fuzz::Fail(std::string("saved file does not load again: ") + e.what() + "\n" + text);
  }
  fuzz::Check(fromFile->RootCursor()->XML() == text, "XML() differs after Save and Load:\n" + text);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(fuzz::Bytes(data, size));

  const IXMLCursorPtr fromFile = xmldoc::TXMLCursor::Create();
  bool loaded = false;
  try {
    fromFile->Load(fuzz::WriteScratchFile("export.xml", bytes));
    loaded = true;
  } catch (const EXMLCursorError&) {
  }
  if (loaded) CheckRoundTrip(fromFile);

  if (platform::IsValidUtf8(bytes)) {
    const IXMLCursorPtr fromText = xmldoc::TXMLCursor::Create();
    loaded = false;
    try {
      fromText->LoadXML(bytes);
      loaded = true;
    } catch (const EXMLCursorError&) {
    }
    if (loaded) CheckRoundTrip(fromText);
  }
  return 0;
}
