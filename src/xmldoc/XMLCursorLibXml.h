// libxml2 plumbing shared by the XML cursor and the XSL processor: error
// capture, safe parsing with the cursor's parse-error message, and the
// serialisations. Internal to this folder: the only place, with its two
// users, that includes libxml2.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xmldoc::libxml {

struct TDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TDocPtr = std::unique_ptr<xmlDoc, TDocFree>;

// Text libxml2 hands over with the duty to free it.
struct TXmlFree {
  void operator()(void* text) const { xmlFree(text); }
};
template <typename Char>
using TXmlText = std::unique_ptr<Char, TXmlFree>;

// Output callbacks for libxml2's writers that collect the bytes in the
// std::string given as their context.
int AppendToString(void* context, const char* buffer, int length);
int CloseNothing(void* context);

// Initialises libxml2 once and routes its messages of this thread to
// TErrorCapture instead of standard error.
void EnsureLibXml();
// The handler EnsureLibXml installs for libxml2's unstructured messages, for
// libxslt's to go the same way.
xmlGenericErrorFunc GenericErrorSink();

struct TLibXmlError {
  int Level = 0;  // xmlErrorLevel
  int Code = 0;
  int Line = 0;
  int Column = 0;
  std::string Message;  // without the trailing line feed
};

// Collects what libxml2 (and libxslt) report on this thread while it lives.
class TErrorCapture {
public:
  TErrorCapture();
  ~TErrorCapture();
  TErrorCapture(const TErrorCapture&) = delete;
  TErrorCapture& operator=(const TErrorCapture&) = delete;
  const std::vector<TLibXmlError>& Errors() const { return errors_; }
  // The first error's message (falling back to the first of any level), or
  // fallback when nothing was reported.
  std::string FirstMessage(const std::string& fallback) const;
  void Add(TLibXmlError error);
  // Adds a message of our own to the capture active on this thread, if any.
  static void Report(const std::string& message);

private:
  std::vector<TLibXmlError> errors_;
  TErrorCapture* outer_;
};

// How the text to parse is given: bytes of a file (the declaration or a byte
// order mark tells the encoding) or UTF-8 text of the program (the declared
// encoding is only remembered, for saving).
enum class TSource { FileBytes, Utf8Text };

// Parses a document without network access, without loading external
// entities or DTDs, refusing entity declarations. Raises EXMLCursorError with
// the parse-error message; url names the source in it. A non-null dict is
// used for the document's names (stylesheets share one with their imports).
TDocPtr ParseDocument(std::string_view bytes, const std::string& url, TSource source,
                      xmlDict* dict = nullptr);

// "Error %d on line %d, char %d in \"%s\"\r\n%s\r\n%s".
std::string ParseErrorMessage(int code, int line, int column, const std::string& url,
                              const std::string& sourceLine, const std::string& reason);

// The whole document as XML gives it: "<?xml version=\"1.0\"?>" and a line
// feed when the document was read with a declaration, then the prolog and the
// root, UTF-8, empty elements as start and end tag.
// expectedSize is reserved beforehand (the size of the last text of the tree).
std::string DocumentMarkup(xmlDoc* doc, std::size_t expectedSize = 0);
// One node's markup, UTF-8, empty elements as start and end tag.
std::string NodeMarkup(xmlNode* node);
// Hands the bytes Save writes (the declared encoding, UTF-8 without one) to
// write, in stretches of about a megabyte, as they are made; nothing when
// the encoding cannot be written. Raises what write raises.
void WriteDocumentFileBytes(xmlDoc* doc, const std::function<void(const std::string&)>& write);

// The node's parent as the document model sees it: none for attributes, the
// document node and nodes outside the tree proper (entity contents).
xmlNode* DomParent(const xmlNode* node);
inline bool HasParentAndGrandparent(const xmlNode* node) {
  const xmlNode* parent = DomParent(node);
  return parent != nullptr && DomParent(parent) != nullptr;
}

// A new document holding a deep copy of node as its only child.
TDocPtr CopyIntoNewDocument(xmlNode* node);

std::string ToString(const xmlChar* text);

}  // namespace xmldoc::libxml
