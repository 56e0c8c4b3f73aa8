#include "xmldoc/XMLCursorLibXml.h"

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/Ansi.h"
#include "platform/Memory.h"
#include "xmldoc/XMLCursor.h"

namespace xmldoc::libxml {

namespace {

thread_local TErrorCapture* activeCapture = nullptr;

std::string WithoutTrailingNewline(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

void StructuredSink(void*, xmlErrorPtr error) {
  if (activeCapture == nullptr || error == nullptr) return;
  activeCapture->Add({error->level, error->code, error->line, error->int2,
                      WithoutTrailingNewline(error->message)});
}

void GenericSink(void*, const char* format, ...) {
  if (activeCapture == nullptr) return;
  char buffer[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  const std::string text = WithoutTrailingNewline(buffer);
  if (!text.empty()) activeCapture->Add({XML_ERR_ERROR, 0, 0, 0, text});
}

// Entity declarations are refused while parsing: the parser stops at once.
struct TParseState {
  bool Refused = false;
  int Line = 0;
  int Column = 0;
  std::string Reason;
};

void Refuse(void* context, const xmlChar* name) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  auto* state = static_cast<TParseState*>(parser->_private);
  if (!state->Refused) {
    state->Refused = true;
    state->Line = xmlSAX2GetLineNumber(context);
    state->Column = xmlSAX2GetColumnNumber(context);
    state->Reason = "Entity declarations are not allowed (entity '" + ToString(name) + "')";
  }
  xmlStopParser(parser);
}

void RefuseEntityDecl(void* context, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
  Refuse(context, name);
}

void RefuseUnparsedEntityDecl(void* context, const xmlChar* name, const xmlChar*, const xmlChar*,
                              const xmlChar*) {
  Refuse(context, name);
}

struct TMemoryReader {
  std::string_view Rest;
};

int ReadMemory(void* context, char* buffer, int length) {
  auto* reader = static_cast<TMemoryReader*>(context);
  const std::size_t n = std::min(reader->Rest.size(), static_cast<std::size_t>(length));
  std::memcpy(buffer, reader->Rest.data(), n);
  reader->Rest.remove_prefix(n);
  return static_cast<int>(n);
}

struct TParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

// The text of line `line` (1-based) of the source, for the parse-error
// message; a very long line is cut to the stretch around the column.
std::string SourceLine(std::string_view bytes, int line, int column) {
  if (line <= 0) return {};
  if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
    return {};  // UTF-16: not split into lines here
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) {
    start = bytes.find('\n', start);
    if (start == std::string_view::npos) return {};
    ++start;
  }
  std::size_t end = bytes.find('\n', start);
  if (end == std::string_view::npos) end = bytes.size();
  if (end > start && bytes[end - 1] == '\r') --end;
  std::string_view text = bytes.substr(start, end - start);
  constexpr std::size_t kWindow = 400;
  if (text.size() > kWindow) {
    const std::size_t at = column > 0 ? static_cast<std::size_t>(column - 1) : 0;
    std::size_t from = at > kWindow / 2 ? at - kWindow / 2 : 0;
    if (from > text.size() - kWindow) from = text.size() - kWindow;
    std::size_t to = from + kWindow;
    while (from < to && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
    while (to < text.size() && to > from && (static_cast<unsigned char>(text[to]) & 0xC0) == 0x80) --to;
    text = text.substr(from, to - from);
  }
  return platform::IsValidUtf8(text) ? std::string(text) : platform::AnsiToUtf8(text);
}

// The encoding a declaration at the start of the text names ("" when none).
std::string DeclaredEncoding(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.substr(0, 5) != "<?xml") return {};
  const std::size_t close = text.find("?>");
  if (close == std::string_view::npos) return {};
  const std::string_view declaration = text.substr(0, close);
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  auto skipBlanks = [&] {
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '\t' ||
                                       declaration[at] == '\r' || declaration[at] == '\n'))
      ++at;
  };
  skipBlanks();
  if (at >= declaration.size() || declaration[at] != '=') return {};
  ++at;
  skipBlanks();
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  const char quote = declaration[at++];
  const std::size_t end = declaration.find(quote, at);
  if (end == std::string_view::npos) return {};
  return std::string(declaration.substr(at, end - at));
}

// Serialises the node (the whole document when null) after what out holds.
void SerialiseInto(std::string& out, xmlDoc* doc, xmlNode* node, const char* encoding, int options) {
  EnsureLibXml();
  xmlSaveCtxtPtr save = xmlSaveToIO(AppendToString, CloseNothing, &out, encoding, options);
  if (save == nullptr) throw EXMLCursorError(std::string("Unsupported encoding \"") + encoding + "\"");
  if (node != nullptr) xmlSaveTree(save, node);
  else xmlSaveDoc(save, doc);
  if (xmlSaveClose(save) < 0) throw EXMLCursorError("The document could not be written");
}

std::string Serialise(xmlDoc* doc, xmlNode* node, const char* encoding, int options) {
  std::string out;
  SerialiseInto(out, doc, node, encoding, options);
  return out;
}

// Save's bytes on their way to the file: gathered into stretches of about a
// megabyte, each handed on whole. An error of the file cannot cross libxml2:
// it is kept and raised once the serialiser has stopped.
struct TStretchWriter {
  static constexpr std::size_t kStretch = 1 << 20;
  const std::function<void(const std::string&)>& Write;
  std::string Pending;
  std::exception_ptr Failure;

  void Flush() {
    if (Pending.empty() || Failure) return;
    try {
      Write(Pending);
    } catch (...) {
      Failure = std::current_exception();
    }
    Pending.clear();
  }
  static int Take(void* context, const char* buffer, int length) {
    auto* writer = static_cast<TStretchWriter*>(context);
    writer->Pending.append(buffer, static_cast<std::size_t>(length));
    if (writer->Pending.size() >= kStretch) writer->Flush();
    return writer->Failure ? -1 : length;
  }
};

// Whether a file written in the encoding reads again: libxml2 writes some
// encodings it can read but not find again in what it wrote (UTF-7 turns the
// "<" of the declaration into "+ADw"), and under some names of an encoding
// loses the characters it cannot hold instead of writing references to them
// ("windows-.1252"). A small document with characters few encodings hold is
// written and read back once per encoding name.
bool ReadsBackAfterWriting(const char* encoding) {
  static std::mutex guard;
  static std::map<std::string, bool> known;
  const std::lock_guard<std::mutex> lock(guard);
  if (const auto found = known.find(encoding); found != known.end()) return found->second;

  TErrorCapture quiet;
  bool readable = false;
  const TDocPtr probe(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  const char* const kText = "\xC3\xA9\xC4\x80 \xF0\x90\x8D\x88<&";
  xmlNode* root = probe ? xmlNewDocNode(probe.get(), nullptr, reinterpret_cast<const xmlChar*>("a"), nullptr) : nullptr;
  if (root != nullptr) {
    xmlDocSetRootElement(probe.get(), root);
    xmlNodeAddContent(root, reinterpret_cast<const xmlChar*>(kText));
    std::string written;
    xmlSaveCtxtPtr save = xmlSaveToIO(AppendToString, CloseNothing, &written, encoding, XML_SAVE_NO_EMPTY);
    if (save != nullptr) {
      xmlSaveDoc(save, probe.get());
      if (xmlSaveClose(save) >= 0 && written.size() <= static_cast<std::size_t>(INT_MAX)) {
        const TDocPtr again(xmlReadMemory(written.data(), static_cast<int>(written.size()), nullptr, nullptr,
                                          XML_PARSE_NONET));
        const xmlNode* element = again ? xmlDocGetRootElement(again.get()) : nullptr;
        if (element != nullptr && xmlStrcmp(element->name, root->name) == 0) {
          xmlChar* content = xmlNodeGetContent(element);
          readable = ToString(content) == kText;
          xmlFree(content);
        }
      }
    }
  }
  if (known.size() < 256) known.emplace(encoding, readable);
  return readable;
}

// Whether any element or attribute of the subtree is in a namespace; its
// markup then needs the declarations that may stand on its ancestors.
bool UsesNamespaces(const xmlNode* node) {
  if (node->type != XML_ELEMENT_NODE) return false;
  if (node->ns != nullptr) return true;
  for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next)
    if (attribute->ns != nullptr) return true;
  for (const xmlNode* child = node->children; child; child = child->next)
    if (UsesNamespaces(child)) return true;
  return false;
}

}  // namespace

int AppendToString(void* context, const char* buffer, int length) {
  static_cast<std::string*>(context)->append(buffer, static_cast<std::size_t>(length));
  return length;
}

int CloseNothing(void*) { return 0; }

std::string ToString(const xmlChar* text) {
  return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

void EnsureLibXml() {
  static std::once_flag initialised;
  std::call_once(initialised, [] {
    platform::TuneAllocatorForLargeTrees();
    xmlInitParser();
  });
  // libxml2 keeps its error handlers per thread.
  thread_local bool routed = false;
  if (!routed) {
    xmlSetStructuredErrorFunc(nullptr, StructuredSink);
    xmlSetGenericErrorFunc(nullptr, GenericSink);
    routed = true;
  }
}

xmlGenericErrorFunc GenericErrorSink() { return GenericSink; }

TErrorCapture::TErrorCapture() : outer_(activeCapture) { activeCapture = this; }

TErrorCapture::~TErrorCapture() { activeCapture = outer_; }

void TErrorCapture::Add(TLibXmlError error) {
  if (errors_.size() < 64) errors_.push_back(std::move(error));
}

void TErrorCapture::Report(const std::string& message) {
  if (activeCapture != nullptr) activeCapture->Add({XML_ERR_ERROR, 0, 0, 0, message});
}

std::string TErrorCapture::FirstMessage(const std::string& fallback) const {
  for (const TLibXmlError& error : errors_)
    if (error.Level >= XML_ERR_ERROR && !error.Message.empty()) return error.Message;
  for (const TLibXmlError& error : errors_)
    if (!error.Message.empty()) return error.Message;
  return fallback;
}

std::string ParseErrorMessage(int code, int line, int column, const std::string& url,
                              const std::string& sourceLine, const std::string& reason) {
  return "Error " + std::to_string(code) + " on line " + std::to_string(line) + ", char " +
         std::to_string(column) + " in \"" + url + "\"\r\n" + sourceLine + "\r\n" + reason;
}

TDocPtr ParseDocument(std::string_view bytes, const std::string& url, TSource source, xmlDict* dict) {
  EnsureLibXml();
  if (bytes.empty())
    throw EXMLCursorError(ParseErrorMessage(XML_ERR_DOCUMENT_EMPTY, 1, 1, url, "", "Document is empty"));
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    throw EXMLCursorError(ParseErrorMessage(XML_ERR_NO_MEMORY, 0, 0, url, "", "Document too large"));

  TErrorCapture capture;
  std::unique_ptr<xmlParserCtxt, TParserFree> parser(xmlNewParserCtxt());
  if (!parser) throw std::bad_alloc();
  if (dict != nullptr) {
    xmlDictFree(parser->dict);
    parser->dict = dict;
    xmlDictReference(dict);
  }
  TParseState state;
  parser->_private = &state;
  parser->sax->entityDecl = RefuseEntityDecl;
  parser->sax->unparsedEntityDecl = RefuseUnparsedEntityDecl;

  // No XML_PARSE_NOENT, DTDLOAD or HUGE: external entities and DTDs stay
  // unread and libxml2's own limits hold. The program's own text is UTF-8
  // whatever its declaration says: the declaration is not read, and with no
  // encoding named the text is not converted either.
  int options = XML_PARSE_NONET | XML_PARSE_COMPACT;
  if (source == TSource::Utf8Text) options |= XML_PARSE_IGNORE_ENC;
  // The parser reads the bytes as it goes, as from a file, rather than from
  // a whole copy of its own.
  TMemoryReader reader{bytes};
  TDocPtr doc(xmlCtxtReadIO(parser.get(), ReadMemory, nullptr, &reader, url.empty() ? nullptr : url.c_str(),
                            nullptr, options));
  if (state.Refused) {
    throw EXMLCursorError(ParseErrorMessage(XML_ERR_USER_STOP, state.Line, state.Column, url,
                                            SourceLine(bytes, state.Line, state.Column), state.Reason));
  }
  if (!doc) {
    const TLibXmlError* first = nullptr;
    for (const TLibXmlError& error : capture.Errors())
      if (error.Level == XML_ERR_FATAL) { first = &error; break; }
    if (first == nullptr)
      for (const TLibXmlError& error : capture.Errors())
        if (error.Level >= XML_ERR_ERROR && error.Code != 0) { first = &error; break; }
    if (first == nullptr)
      throw EXMLCursorError(ParseErrorMessage(XML_ERR_INTERNAL_ERROR, 0, 0, url, "",
                                              capture.FirstMessage("Document is not well-formed")));
    throw EXMLCursorError(ParseErrorMessage(first->Code, first->Line, first->Column, url,
                                            SourceLine(bytes, first->Line, first->Column), first->Message));
  }
  if (source == TSource::Utf8Text) {
    // Parsed as the UTF-8 it is; the declared encoding is what Save writes.
    if (doc->encoding) xmlFree(const_cast<xmlChar*>(doc->encoding));
    const std::string declared = DeclaredEncoding(bytes);
    doc->encoding = declared.empty() ? nullptr : xmlStrdup(reinterpret_cast<const xmlChar*>(declared.c_str()));
  }
  return doc;
}

std::string DocumentMarkup(xmlDoc* doc, std::size_t expectedSize) {
  // libxml2 writes the declaration from the document's encoding; the text
  // form carries the version alone, and only where the source had one.
  std::string text;
  text.reserve(expectedSize);
  if (doc->standalone != -1) text = "<?xml version=\"1.0\"?>\n";
  SerialiseInto(text, doc, nullptr, "UTF-8", XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL);
  return text;
}

std::string NodeMarkup(xmlNode* node) {
  if (UsesNamespaces(node)) {
    // A copy on its own declares the namespaces it needs.
    TDocPtr copy = CopyIntoNewDocument(node);
    return Serialise(copy.get(), copy->children, "UTF-8", XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL);
  }
  std::string text = Serialise(node->doc, node, "UTF-8", XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL);
  if (node->type == XML_ATTRIBUTE_NODE && !text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

void WriteDocumentFileBytes(xmlDoc* doc, const std::function<void(const std::string&)>& write) {
  EnsureLibXml();
  TStretchWriter writer{write, {}, {}};
  const char* encoding = "UTF-8";
  int options = XML_SAVE_NO_EMPTY | XML_SAVE_NO_DECL;
  if (doc->standalone != -1 && doc->encoding) {
    encoding = reinterpret_cast<const char*>(doc->encoding);
    options = XML_SAVE_NO_EMPTY;
  }
  // Refused before anything is written.
  xmlSaveCtxtPtr save = xmlSaveToIO(TStretchWriter::Take, CloseNothing, &writer, encoding, options);
  if (save != nullptr && encoding != std::string_view("UTF-8") && !ReadsBackAfterWriting(encoding)) {
    xmlSaveClose(save);
    save = nullptr;
  }
  if (save == nullptr) throw EXMLCursorError(std::string("Unsupported encoding \"") + encoding + "\"");
  writer.Pending.reserve(TStretchWriter::kStretch + 65536);
  // A declaration without encoding name is written as it stands: the bytes
  // are then UTF-8, the encoding such a declaration means.
  if (doc->standalone != -1 && !doc->encoding) writer.Pending = "<?xml version=\"1.0\"?>\n";
  xmlSaveDoc(save, doc);
  const int closed = xmlSaveClose(save);
  if (writer.Failure) std::rethrow_exception(writer.Failure);
  if (closed < 0) throw EXMLCursorError("The document could not be written");
  writer.Flush();
  if (writer.Failure) std::rethrow_exception(writer.Failure);
}

xmlNode* DomParent(const xmlNode* node) {
  if (node == nullptr) return nullptr;
  switch (node->type) {
    case XML_ATTRIBUTE_NODE:
    case XML_NAMESPACE_DECL:
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
      return nullptr;
    default:
      break;
  }
  xmlNode* parent = node->parent;
  if (parent == nullptr) return nullptr;
  switch (parent->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_ATTRIBUTE_NODE:
      return parent;
    default:
      return nullptr;  // inside an entity or the DTD
  }
}

TDocPtr CopyIntoNewDocument(xmlNode* node) {
  TDocPtr doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  if (!doc) throw std::bad_alloc();
  xmlNode* copy = xmlDocCopyNode(node, doc.get(), 1);
  if (copy == nullptr) throw EXMLCursorError("The node could not be copied");
  xmlAddChild(reinterpret_cast<xmlNode*>(doc.get()), copy);
  return doc;
}

}  // namespace xmldoc::libxml
