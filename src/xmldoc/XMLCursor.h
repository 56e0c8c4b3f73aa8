// The XML cursor: the one way the feed builders read and edit XML.
//
// A cursor holds a reference to a document, a selection (a list of nodes of
// that document) and a position in it. Builders Load a data export, pick nodes
// with XPath 1.0 queries (Select), walk them (Eof / Next), read and write
// values relative to the current node (GetValue, SetValue, SetAttribute,
// AppendChild), cut sections out (Delete), take the text (XML), reload edited
// text (LoadXML) and write the result (Save). All texts are UTF-8.
//
// Ownership. Cursors are held through std::shared_ptr. A cursor made by
// another cursor (Select, AppendChild, InsertBefore, ...) shares its document;
// the document lives while any cursor, selection or node reference (DOMNode,
// DOMDocument) needs it. Edits through one cursor are seen through all. Load
// and LoadXML replace the document's content for every cursor sharing it, but
// other cursors keep their selections on the old content (still valid memory,
// no longer part of the document). Nodes removed by Delete or replaced by
// SetValue stay allocated while a cursor, a selection or a node reference may
// still reach them, so a cursor still on them never reads freed memory; a
// removed node nothing can reach is freed at once.
//
// Cost. Cursors and selections are small: no operation copies the document or
// a selection. Next and GetValue of a plain child name ("idNVO") or "@name"
// take no query; other paths are compiled once and cached. A query over the
// whole document (DataVO[idNVO=123]) costs a walk of the document each time:
// never run one per row of a large table. Instead keep an index: while walking
// the rows, Select(".") gives a new cursor on just the current node, in
// constant time and memory, to be stored in a hash map and used later like
// any cursor (GetValue, SetValue, AppendChild...).
//
// Selections. A selection made by an XPath query is a snapshot: later edits do
// not change it, except that Delete drops the deleted node from the deleting
// cursor's own selection. A selection of child nodes (Select("*"), RootCursor,
// AppendChild's result) is live: it always lists the node's current children.
//
// White space: kept. Whitespace-only text between elements is part of the
// document as it was read: Select("*") lists it as text nodes and XML writes
// it back unchanged (so mixed content such as "<b>x</b> <i>y</i>" keeps its
// blank). PrettyXML alone re-indents.
//
// Text. XML of a document read with an XML declaration begins exactly with
// "<?xml version=\"1.0\"?>" (version only; none when it had none); an
// element without children is written "<a></a>", never "<a/>"; attributes
// keep their order, in double quotes. LoadXML takes its text as the UTF-8
// text it is, whatever encoding its declaration names; Save writes the bytes
// of the declared encoding (UTF-8 without one), and a character that encoding
// cannot hold as a character reference. SetValue and SetAttribute store
// values literally ("&amp;" stays those five characters); a value that is not
// valid UTF-8 is refused.
//
// Safe parsing: no network access, no external entity or DTD is loaded, and a
// document declaring entities (internal or external) is refused as a parse
// error, which closes both the file-disclosure and the expansion-bomb holes;
// data exports declare none. libxml2 prints nothing: its errors become
// messages.
//
// Queries: the document element's prefixed declarations (xmlns:p="...") are
// bound for queries after a load. A default declaration (xmlns="...") binds
// nothing: as in XPath 1.0, an unprefixed name in a path matches only
// elements in no namespace.
//
// Failures: EXMLCursorError with the system's exact texts ("TXMLCursor.MoveTo
// - Index out of range: 3/3", the parse-error text "Error %d on line %d, char
// %d in \"%s\"\r\n%s\r\n%s", the Load and Save prefixes); a path that cannot
// be evaluated fails as "TXMLCursor.<operation> - Invalid path ...". An empty
// text or file is a parse error, never an empty document. A failed load leaves
// the cursor's selection, position and document content as they were.
// Operations needing a current node do nothing without one (texts are empty),
// except AppendChild / AddChild ("TXMLCursor.AppendChild - EOF").
//
// Not provided: the late-bound (automation) face and its type library
// StdXML.tlb; the program calls the cursor directly, so creating a cursor
// never fails. EOF is spelt Eof, since EOF is a macro of the C library.
//
// One thread at a time per document (shared caches take no locks).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// libxml2's tree types, for the DOM access operations; only code of this
// folder that wraps libxml2 looks inside them.
struct _xmlDoc;
struct _xmlNode;

namespace xmldoc {

class EXMLCursorError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class IXMLCursor;
using IXMLCursorPtr = std::shared_ptr<IXMLCursor>;

// A selection: the nodes a cursor walks. Items stay valid while the list lives.
class TXMLNodeList {
public:
  virtual ~TXMLNodeList() = default;
  virtual std::int32_t Length() const = 0;
  virtual _xmlNode* Item(std::int32_t index) const = 0;  // nullptr outside 0..Length-1
};

// The cursor's operations, in their fixed order. Operations returning a cursor
// return nullptr for an "empty reference".
class IXMLCursor {
public:
  virtual ~IXMLCursor() = default;

  // Appends element Name (with text Value when not empty) under the current
  // node; on a cursor without document it becomes the root of a new one.
  // Returns a cursor on the new element among its siblings.
  virtual IXMLCursorPtr AppendChild(const std::string& Name, const std::string& Value) = 0;
  // Appends deep copies of Source's selection under the current node.
  virtual void AppendXMLCursor(const IXMLCursorPtr& Source) = 0;
  virtual std::string ParentXML() const = 0;
  virtual std::int32_t Count() const = 0;
  // Removes the current node from the document.
  virtual void Delete() = 0;
  // A cursor over the document node's children (prolog included).
  virtual IXMLCursorPtr RootCursor() const = 0;
  virtual bool Eof() const = 0;
  virtual void First() = 0;
  virtual std::string NodeName() const = 0;
  // Text content of the current node ("."), or of the first node that path
  // Name selects from it (a child name, "@attribute", any XPath).
  virtual std::string GetValue(const std::string& Name) const = 0;
  virtual IXMLCursorPtr InsertBefore(const std::string& Name, const std::string& Value) = 0;
  virtual IXMLCursorPtr InsertAfter(const std::string& Name, const std::string& Value) = 0;
  virtual void Last() = 0;
  virtual void Load(const std::string& FileName) = 0;
  virtual void LoadXML(const std::string& Text) = 0;
  virtual void MoveTo(std::int32_t Index) = 0;
  // At the last node, sets Eof and stays on that node.
  virtual void Next() = 0;
  virtual std::int32_t CurrentIndex() const = 0;
  // Replaces the current node by deep copies of Source's selection.
  virtual void ReplaceWithXMLCursor(const IXMLCursorPtr& Source) = 0;
  // Writes the document, creating the folders first; nothing without document.
  virtual void Save(const std::string& FileName) = 0;
  // A new cursor over what Path selects from the current node; "*" gives all
  // its child nodes of every kind, "." the current node alone.
  virtual IXMLCursorPtr Select(const std::string& Path) const = 0;
  virtual void SetAttribute(const std::string& Name, const std::string& Value) = 0;
  // Sets the text of the first node Name selects ("@x": attribute x); a
  // missing child named Name is created as the last child.
  virtual void SetValue(const std::string& Name, const std::string& Value) = 0;
  virtual void SetCDATA(const std::string& Name, const std::string& Value) = 0;
  // The current node's markup when it has a parent and a grandparent, else
  // the whole document's.
  virtual std::string XML() const = 0;
  virtual std::shared_ptr<_xmlDoc> DOMDocument() const = 0;
  virtual std::shared_ptr<_xmlNode> DOMNode() const = 0;
  virtual std::string Get_Values(const std::string& Name) const = 0;
  virtual void Set_Values(const std::string& Name, const std::string& Value) = 0;
  // Indented markup of the current node (or of the whole document).
  virtual std::string PrettyXML() const = 0;
  virtual IXMLCursorPtr PrependChild(const std::string& Name, const std::string& Value) = 0;
  virtual void AddChild(const std::string& Name, const std::string& Value) = 0;
  // LoadXML for text the program has just written itself (XML, then edited
  // as text): the old content is let go before the new is read, so that the
  // two are not in memory together unless another cursor still holds the
  // old one. Text that does not parse leaves an empty document.
  virtual void ReloadXML(const std::string& Text) = 0;
  // Lets the content go, as ReloadXML does before it reads: for a builder
  // that has taken the text (XML) and edits it as text before the next
  // ReloadXML, so that the document does not stay in memory meanwhile. The
  // document is then empty for every cursor sharing it; cursors still on
  // the old content keep it, as after a load.
  virtual void Unload() = 0;
};

// The nodes behind a cursor, for other cursors and the XSL processor. An
// IXMLCursor that does not offer this face is ignored by those operations.
class IXMLCursorNodes {
public:
  virtual ~IXMLCursorNodes() = default;
  virtual std::shared_ptr<const TXMLNodeList> Selection() const = 0;
  virtual std::shared_ptr<_xmlNode> CurrentNode() const = 0;
};

namespace detail {
class TSharedDocument;
class TNodeList;
class TTree;
}  // namespace detail

class TXMLCursor final : public IXMLCursor, public IXMLCursorNodes {
public:
  // An empty cursor: no document, no selection, at Eof.
  static IXMLCursorPtr Create();
  TXMLCursor();
  ~TXMLCursor() override;
  TXMLCursor(const TXMLCursor&) = delete;
  TXMLCursor& operator=(const TXMLCursor&) = delete;

  IXMLCursorPtr AppendChild(const std::string& Name, const std::string& Value) override;
  void AppendXMLCursor(const IXMLCursorPtr& Source) override;
  std::string ParentXML() const override;
  std::int32_t Count() const override;
  void Delete() override;
  IXMLCursorPtr RootCursor() const override;
  bool Eof() const override;
  void First() override;
  std::string NodeName() const override;
  std::string GetValue(const std::string& Name) const override;
  IXMLCursorPtr InsertBefore(const std::string& Name, const std::string& Value) override;
  IXMLCursorPtr InsertAfter(const std::string& Name, const std::string& Value) override;
  void Last() override;
  void Load(const std::string& FileName) override;
  void LoadXML(const std::string& Text) override;
  void ReloadXML(const std::string& Text) override;
  void Unload() override;
  void MoveTo(std::int32_t Index) override;
  void Next() override;
  std::int32_t CurrentIndex() const override;
  void ReplaceWithXMLCursor(const IXMLCursorPtr& Source) override;
  void Save(const std::string& FileName) override;
  IXMLCursorPtr Select(const std::string& Path) const override;
  void SetAttribute(const std::string& Name, const std::string& Value) override;
  void SetValue(const std::string& Name, const std::string& Value) override;
  void SetCDATA(const std::string& Name, const std::string& Value) override;
  std::string XML() const override;
  std::shared_ptr<_xmlDoc> DOMDocument() const override;
  std::shared_ptr<_xmlNode> DOMNode() const override;
  std::string Get_Values(const std::string& Name) const override;
  void Set_Values(const std::string& Name, const std::string& Value) override;
  std::string PrettyXML() const override;
  IXMLCursorPtr PrependChild(const std::string& Name, const std::string& Value) override;
  void AddChild(const std::string& Name, const std::string& Value) override;

  std::shared_ptr<const TXMLNodeList> Selection() const override;
  std::shared_ptr<_xmlNode> CurrentNode() const override;

private:
  static std::shared_ptr<TXMLCursor> Over(std::shared_ptr<detail::TSharedDocument> document,
                                          std::shared_ptr<detail::TNodeList> selection);
  // Makes a freshly parsed tree the document's content and selects its root.
  void TakeLoadedTree(std::shared_ptr<detail::TTree> tree);
  void EnsureDocument();

  std::shared_ptr<detail::TSharedDocument> document_;
  std::shared_ptr<detail::TNodeList> selection_;
  bool eofFlag_ = true;
  std::int32_t index_ = -1;
  _xmlNode* current_ = nullptr;  // kept alive by selection_'s tree
};

}  // namespace xmldoc
