// The XSL processor: applies an XSLT 1.0 stylesheet to the node (or the whole
// document) an XML cursor stands on and returns the output as UTF-8 text.
// PrettyXML of the cursor is its one user in the program.
//
// The stylesheet is given as text (LoadXML) or as a file (Load, which also
// reads the stylesheets it imports or includes). Stylesheets and the documents
// they open are parsed as safely as the cursor parses data exports, and may
// read local files only: no network access, no writing of files.
// The transformation works on a private copy of its input, so the cursor's
// document is never touched. Failures raise EXMLCursorError with the system's
// texts ("TXSLProc.LoadXML - ...", "TXSLProc.Process - XSL processing - ...").
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "xmldoc/XMLCursor.h"

namespace xmldoc {

class IXSLProc {
public:
  virtual ~IXSLProc() = default;
  // True when a stylesheet is loaded and none of the files read for it has
  // changed since (always true for a stylesheet given as text).
  virtual bool IsUpToDate() = 0;
  virtual void Load(const std::string& FileName) = 0;
  // Transforms the cursor's current node when it has a parent and a
  // grandparent, else its whole document; loads the remembered file first
  // when no stylesheet is loaded yet.
  virtual std::string Process(const IXMLCursor& Cursor) = 0;
  virtual void LoadXML(const std::string& Text) = 0;
};

namespace detail {
struct TStylesheet;
}

class TXSLProc final : public IXSLProc {
public:
  TXSLProc();
  ~TXSLProc() override;
  TXSLProc(const TXSLProc&) = delete;
  TXSLProc& operator=(const TXSLProc&) = delete;

  bool IsUpToDate() override;
  void Load(const std::string& FileName) override;
  std::string Process(const IXMLCursor& Cursor) override;
  void LoadXML(const std::string& Text) override;

private:
  std::string fileName_;  // empty when the stylesheet was given as text
  // Every file read for the stylesheet, with the bytes it held then.
  std::vector<std::pair<std::string, std::string>> loadedFiles_;
  std::unique_ptr<detail::TStylesheet> stylesheet_;
};

}  // namespace xmldoc
