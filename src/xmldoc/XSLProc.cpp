#include "xmldoc/XSLProc.h"

#include <libxml/uri.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <mutex>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "xmldoc/XMLCursorLibXml.h"

namespace xmldoc {

using libxml::TDocPtr;

namespace detail {

struct TStylesheet {
  explicit TStylesheet(xsltStylesheetPtr style) : Style(style) {}
  ~TStylesheet() { xsltFreeStylesheet(Style); }
  TStylesheet(const TStylesheet&) = delete;
  TStylesheet& operator=(const TStylesheet&) = delete;
  xsltStylesheetPtr Style;
};

}  // namespace detail

namespace {

// While a file stylesheet loads, the files its imports read are noted here.
thread_local std::vector<std::pair<std::string, std::string>>* loadingFiles = nullptr;

// A local path for a URI libxslt asks for; "" for anything on the network.
std::string LocalPath(const std::string& uri) {
  std::string path = uri;
  if (path.rfind("file://", 0) == 0) {
    path.erase(0, 7);
    if (path.rfind("localhost/", 0) == 0) path.erase(0, 9);
    const libxml::TXmlText<char> unescaped(xmlURIUnescapeString(path.c_str(), 0, nullptr));
    if (!unescaped) return {};
    path = unescaped.get();
  } else if (path.find("://") != std::string::npos) {
    return {};
  }
  return path;
}

// Imported and included stylesheets, and documents opened by document(),
// are read as local files and parsed like any data export.
xmlDocPtr SafeLoader(const xmlChar* uri, xmlDictPtr dict, int, void*, xsltLoadType type) {
  const std::string name = libxml::ToString(uri);
  const std::string path = LocalPath(name);
  if (path.empty()) {
    libxml::TErrorCapture::Report("Network access refused: " + name);
    return nullptr;
  }
  try {
    std::string bytes = platform::ReadFileBytes(path);
    TDocPtr doc = libxml::ParseDocument(bytes, name, libxml::TSource::FileBytes, dict);
    if (loadingFiles != nullptr && type != XSLT_LOAD_DOCUMENT) loadingFiles->emplace_back(path, std::move(bytes));
    return doc.release();
  } catch (const std::exception& error) {
    libxml::TErrorCapture::Report(name + ": " + error.what());
    return nullptr;
  }
}

void EnsureLibXslt() {
  libxml::EnsureLibXml();
  static std::once_flag initialised;
  std::call_once(initialised, [] {
    xsltInit();
    xsltSetGenericErrorFunc(nullptr, libxml::GenericErrorSink());
    xsltSetLoaderFunc(SafeLoader);
    // Kept for the whole process, as libxslt's default.
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    xsltSetDefaultSecurityPrefs(prefs);
  });
}

std::unique_ptr<detail::TStylesheet> Compile(TDocPtr doc) {
  if (xmlDocGetRootElement(doc.get()) == nullptr) throw EXMLCursorError("XSL document is empty.");
  libxml::TErrorCapture capture;
  xsltStylesheetPtr style = xsltParseStylesheetDoc(doc.get());
  if (style == nullptr) throw EXMLCursorError(capture.FirstMessage("The document is not an XSL stylesheet"));
  doc.release();  // the stylesheet owns it now
  return std::make_unique<detail::TStylesheet>(style);
}

struct TTransformFree {
  void operator()(xsltTransformContext* context) const { xsltFreeTransformContext(context); }
};

const std::string kMeta = "<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-16\">";

}  // namespace

TXSLProc::TXSLProc() = default;
TXSLProc::~TXSLProc() = default;

bool TXSLProc::IsUpToDate() {
  if (!stylesheet_) return false;
  for (const auto& [path, bytes] : loadedFiles_) {
    try {
      if (platform::ReadFileBytes(path) != bytes) return false;
    } catch (const platform::EInOutError&) {
      return false;
    }
  }
  return true;
}

void TXSLProc::Load(const std::string& FileName) {
  try {
    EnsureLibXslt();
    fileName_ = FileName;
    loadedFiles_.clear();
    stylesheet_.reset();
    std::vector<std::pair<std::string, std::string>> files;
    std::string bytes = platform::ReadFileBytes(FileName);
    TDocPtr doc = libxml::ParseDocument(bytes, FileName, libxml::TSource::FileBytes);
    files.emplace_back(FileName, std::move(bytes));
    auto* outer = loadingFiles;
    loadingFiles = &files;
    try {
      stylesheet_ = Compile(std::move(doc));
    } catch (...) {
      loadingFiles = outer;
      throw;
    }
    loadingFiles = outer;
    loadedFiles_ = std::move(files);
  } catch (const std::exception& error) {
    throw EXMLCursorError("TXSLProc.Load FileName: \"" + FileName + "\"\r\n" + error.what());
  }
}

void TXSLProc::LoadXML(const std::string& Text) {
  try {
    EnsureLibXslt();
    fileName_.clear();
    loadedFiles_.clear();
    stylesheet_.reset();
    if (Text.find_first_not_of(" \t\r\n") == std::string::npos) throw EXMLCursorError("XSL document is empty.");
    stylesheet_ = Compile(libxml::ParseDocument(Text, "", libxml::TSource::Utf8Text));
  } catch (const std::exception& error) {
    throw EXMLCursorError(std::string("TXSLProc.LoadXML - ") + error.what());
  }
}

std::string TXSLProc::Process(const IXMLCursor& Cursor) {
  try {
    if (!stylesheet_) Load(fileName_);
    const auto* nodes = dynamic_cast<const IXMLCursorNodes*>(&Cursor);
    if (nodes == nullptr) throw EXMLCursorError("The cursor gives no access to its nodes");

    // libxslt edits its input (white space stripping, node numbering): it
    // gets a private copy, never the cursor's document.
    TDocPtr input;
    const std::shared_ptr<_xmlNode> current = nodes->CurrentNode();
    if (current && libxml::HasParentAndGrandparent(current.get())) {
      input = libxml::CopyIntoNewDocument(current.get());
    } else {
      const std::shared_ptr<_xmlDoc> document = Cursor.DOMDocument();
      if (!document) throw EXMLCursorError("The cursor has no document");
      input.reset(xmlCopyDoc(document.get(), 1));
      if (!input) throw std::bad_alloc();
    }

    libxml::TErrorCapture capture;
    xsltStylesheetPtr style = stylesheet_->Style;
    std::unique_ptr<xsltTransformContext, TTransformFree> context(xsltNewTransformContext(style, input.get()));
    if (!context) throw std::bad_alloc();
    TDocPtr result(xsltApplyStylesheetUser(style, input.get(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
      throw EXMLCursorError(capture.FirstMessage("The transformation failed"));

    std::string text;
    xmlOutputBufferPtr output = xmlOutputBufferCreateIO(libxml::AppendToString, libxml::CloseNothing, &text, nullptr);
    if (output == nullptr) throw std::bad_alloc();
    const int written = xsltSaveResultTo(output, result.get(), style);
    if (xmlOutputBufferClose(output) < 0 || written < 0)
      throw EXMLCursorError(capture.FirstMessage("The result could not be written"));

    if (const std::size_t at = text.find(kMeta); at != std::string::npos) text.erase(at, kMeta.size());
    return text;
  } catch (const std::exception& error) {
    throw EXMLCursorError("TXSLProc.Process - XSL processing - " + fileName_ + "\r\n" + error.what());
  }
}

}  // namespace xmldoc
