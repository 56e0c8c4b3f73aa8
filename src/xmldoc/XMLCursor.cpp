#include "xmldoc/XMLCursor.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Ansi.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/ReplacingFile.h"
#include "xmldoc/XMLCursorLibXml.h"
#include "xmldoc/XSLProc.h"

namespace xmldoc {

using libxml::DomParent;
using libxml::TDocPtr;

namespace {

const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

[[noreturn]] void Fail(const char* operation, const std::string& reason) {
  throw EXMLCursorError(std::string("TXMLCursor.") + operation + " - " + reason);
}

// Each node's child list carries a change counter in its _private field
// (libxml2 leaves that field to the application), so live child lists know
// when their cached length and position went stale.
std::uintptr_t Generation(const xmlNode* parent) { return reinterpret_cast<std::uintptr_t>(parent->_private); }
void Touch(xmlNode* parent) { parent->_private = reinterpret_cast<void*>(Generation(parent) + 1); }

bool HoldsChildren(const xmlNode* node) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_ATTRIBUTE_NODE:
      return true;
    default:
      return false;  // entity references and the DTD show no children
  }
}
xmlNode* FirstChild(const xmlNode* node) { return HoldsChildren(node) ? node->children : nullptr; }
xmlNode* LastChild(const xmlNode* node) { return HoldsChildren(node) ? node->last : nullptr; }

std::string QualifiedName(const xmlNode* node) {
  const std::string name = libxml::ToString(node->name);
  if (node->ns != nullptr && node->ns->prefix != nullptr) return libxml::ToString(node->ns->prefix) + ":" + name;
  return name;
}

std::string TextContent(const xmlNode* node) {
  const xmlNode* only = node->children;
  if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && only != nullptr &&
      only->next == nullptr && only->type == XML_TEXT_NODE)
    return libxml::ToString(only->content);
  const libxml::TXmlText<xmlChar> content(xmlNodeGetContent(node));
  return libxml::ToString(content.get());
}

bool IsNCName(const std::string& name) {
  return !name.empty() && xmlValidateNCName(X(name), 0) == 0;
}

struct TXPathContextFree {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct TXPathObjectFree {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct TCompiledPathFree {
  void operator()(xmlXPathCompExpr* compiled) const { xmlXPathFreeCompExpr(compiled); }
};

// Compiled paths, kept per thread: builders run the same few paths per row.
xmlXPathCompExpr* CompiledPath(const std::string& path) {
  thread_local std::unordered_map<std::string, std::unique_ptr<xmlXPathCompExpr, TCompiledPathFree>> cache;
  if (auto found = cache.find(path); found != cache.end()) return found->second.get();
  xmlXPathCompExpr* compiled = xmlXPathCompile(X(path));
  if (compiled == nullptr) return nullptr;
  if (cache.size() >= 256) cache.clear();  // row keys spliced into paths never repeat
  cache.emplace(path, compiled);
  return compiled;
}

}  // namespace

namespace detail {

class TNodeList;

// One libxml2 tree and what must die with it. A node the cursor unlinks is
// freed at once when nothing can stand on it any more: no selection lists
// it or a node inside it, no child list is of its old parent or of a node
// inside it, and no node handle (DOMNode, DOMDocument) is out. Otherwise it
// is kept until the tree dies, since another cursor may still stand on it.
// A deleted lookup section of a large export is so freed before the whole
// text is written, instead of being carried to the end of the run.
class TTree : public std::enable_shared_from_this<TTree> {
public:
  explicit TTree(TDocPtr doc) : doc_(std::move(doc)) {}
  ~TTree() {
    xpath_.reset();
    for (xmlNode* node : buried_) xmlFreeNode(node);
    buried_.clear();
    doc_.reset();
  }
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;

  xmlDoc* Doc() const { return doc_.get(); }
  // The size of the tree's last whole text (read or written): what the next
  // one reserves, untouched pages costing no memory.
  std::size_t TextSize = 0;
  xmlNode* DocNode() const { return reinterpret_cast<xmlNode*>(doc_.get()); }

  // Links an unlinked node of this tree under parent, before `before` (last
  // when null). libxml2's own insertion calls merge adjacent text nodes and
  // free one of them, which would leave other cursors on freed memory.
  void Link(xmlNode* parent, xmlNode* node, xmlNode* before) {
    const bool counted = Counted(parent);
    node->parent = parent;
    node->next = before;
    node->prev = before != nullptr ? before->prev : parent->last;
    if (node->prev != nullptr) node->prev->next = node;
    else parent->children = node;
    if (before != nullptr) before->prev = node;
    else parent->last = node;
    Touch(parent);
    if (counted) NoteChildCount(parent, countedChildren_ + 1);
  }

  // Takes a node out of the tree, freeing it when nothing can reach it.
  // leaving: the child list whose own cursor moves off the node (it is not
  // counted as standing on it); null when none.
  void Unlink(xmlNode* node, const TNodeList* leaving = nullptr);

  xmlXPathContext* XPath() {
    if (!xpath_) {
      xpath_.reset(xmlXPathNewContext(doc_.get()));
      if (!xpath_) throw std::bad_alloc();
      // The document element's prefixed declarations serve as the query
      // bindings; a default declaration binds nothing, as in XPath 1.0.
      if (const xmlNode* root = xmlDocGetRootElement(doc_.get()))
        for (const xmlNs* ns = root->nsDef; ns; ns = ns->next)
          if (ns->prefix != nullptr) xmlXPathRegisterNs(xpath_.get(), ns->prefix, ns->href);
    }
    return xpath_.get();
  }

  // Number of children of parent; repeated appends to one parent stay O(1).
  std::int32_t ChildCount(xmlNode* parent) {
    if (!Counted(parent)) {
      std::int32_t count = 0;
      for (const xmlNode* child = FirstChild(parent); child; child = child->next) ++count;
      NoteChildCount(parent, count);
    }
    return countedChildren_;
  }
  void NoteChildCount(xmlNode* parent, std::int32_t count) {
    countedParent_ = parent;
    countedGeneration_ = Generation(parent);
    countedChildren_ = count;
  }

  // The live selections of this tree, each listed while it exists.
  void Enter(TNodeList* list);
  void Leave(TNodeList* list);

  // How many documents hold the tree as their content.
  std::int32_t DocumentRefs = 0;

private:
  bool Counted(const xmlNode* parent) const {
    return parent == countedParent_ && Generation(parent) == countedGeneration_;
  }
  bool MayBeReached(const xmlNode* node, const xmlNode* oldParent, const TNodeList* leaving) const;

  TDocPtr doc_;
  std::vector<xmlNode*> buried_;
  std::unique_ptr<xmlXPathContext, TXPathContextFree> xpath_;
  xmlNode* countedParent_ = nullptr;
  std::uintptr_t countedGeneration_ = 0;
  std::int32_t countedChildren_ = 0;
  TNodeList* lists_ = nullptr;  // newest first
  std::int64_t listCount_ = 0;
};

// The document that cursors share: a load gives it a new tree for all of them.
class TSharedDocument {
public:
  explicit TSharedDocument(std::shared_ptr<TTree> tree) { Set(std::move(tree)); }
  ~TSharedDocument() { Set(nullptr); }
  TSharedDocument(const TSharedDocument&) = delete;
  TSharedDocument& operator=(const TSharedDocument&) = delete;
  const std::shared_ptr<TTree>& Tree() const { return tree_; }
  void Set(std::shared_ptr<TTree> tree) {
    if (tree_) --tree_->DocumentRefs;
    tree_ = std::move(tree);
    if (tree_) ++tree_->DocumentRefs;
  }

private:
  std::shared_ptr<TTree> tree_;
};

class TNodeList : public TXMLNodeList {
public:
  explicit TNodeList(std::shared_ptr<TTree> tree) : tree_(std::move(tree)) { tree_->Enter(this); }
  ~TNodeList() override { tree_->Leave(this); }
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;
  const std::shared_ptr<TTree>& Tree() const { return tree_; }
  // Removes node, the owning cursor's current node at index, from the
  // document, keeping what the list knows about itself.
  virtual void Remove(xmlNode* node, std::int32_t index) = 0;
  // Whether the list may hand out node or a node inside it (whose top is
  // root), or stand beside it under oldParent. Gives up (true) rather than
  // look at more than budget nodes, which it counts down.
  virtual bool MayReach(const xmlNode* root, const xmlNode* oldParent, std::int64_t& budget) const = 0;

  TNodeList* NextList = nullptr;  // the tree's chain of live lists
  TNodeList* PreviousList = nullptr;

private:
  std::shared_ptr<TTree> tree_;
};

namespace {
// Whether node is root or lies inside it.
bool Within(const xmlNode* node, const xmlNode* root) {
  for (; node != nullptr; node = node->parent)
    if (node == root) return true;
  return false;
}
}  // namespace

// What a query returned, as it was then.
class TSnapshotList final : public TNodeList {
public:
  TSnapshotList(std::shared_ptr<TTree> tree, std::vector<xmlNode*> nodes)
      : TNodeList(std::move(tree)), nodes_(std::move(nodes)) {}
  std::int32_t Length() const override { return static_cast<std::int32_t>(nodes_.size() - begin_); }
  xmlNode* Item(std::int32_t index) const override {
    if (index < 0 || index >= Length()) return nullptr;
    return nodes_[begin_ + static_cast<std::size_t>(index)];
  }
  void Remove(xmlNode* node, std::int32_t index) override {
    // Out of the list first, so that the list itself does not keep it.
    if (Item(index) == node) {
      if (index == 0) ++begin_;  // deleting row after row from the front stays linear
      else nodes_.erase(nodes_.begin() + static_cast<std::ptrdiff_t>(begin_) + index);
    }
    Tree()->Unlink(node);
  }
  bool MayReach(const xmlNode* root, const xmlNode*, std::int64_t& budget) const override {
    const std::size_t length = nodes_.size() - begin_;
    if (static_cast<std::int64_t>(length) > budget) return true;
    budget -= static_cast<std::int64_t>(length);
    const bool leaf = root->children == nullptr && root->type != XML_ELEMENT_NODE;
    for (std::size_t i = begin_; i < nodes_.size(); ++i) {
      if (nodes_[i] == root) return true;
      if (!leaf && Within(nodes_[i], root)) return true;
    }
    return false;
  }

private:
  std::vector<xmlNode*> nodes_;
  std::size_t begin_ = 0;
};

// The current children of a node. Length and the last position reached are
// cached until the child list changes, so walking it with Next is linear.
class TChildList final : public TNodeList {
public:
  TChildList(std::shared_ptr<TTree> tree, xmlNode* parent) : TNodeList(std::move(tree)), parent_(parent) {}

  std::int32_t Length() const override {
    Refresh();
    return count_;
  }
  xmlNode* Item(std::int32_t index) const override {
    Refresh();
    if (index < 0 || index >= count_) return nullptr;
    std::int32_t at = 0;
    xmlNode* node = FirstChild(parent_);
    auto distance = [index](std::int32_t from) { return from > index ? from - index : index - from; };
    if (distance(count_ - 1) < distance(at)) {
      at = count_ - 1;
      node = LastChild(parent_);
    }
    if (position_ >= 0 && distance(position_) < distance(at)) {
      at = position_;
      node = positionNode_;
    }
    while (node != nullptr && at < index) { node = node->next; ++at; }
    while (node != nullptr && at > index) { node = node->prev; --at; }
    position_ = at;
    positionNode_ = node;
    return node;
  }
  void Remove(xmlNode* node, std::int32_t index) override {
    const bool known = node->parent == parent_ && Item(index) == node;
    xmlNode* next = node->next;
    Tree()->Unlink(node, known ? this : nullptr);
    if (!known) return;  // a list changed behind the cursor's back recounts
    // The next sibling moves up to index; the length drops by one.
    generation_ = Generation(parent_);
    count_ = Tree()->ChildCount(parent_);
    position_ = next != nullptr ? index : -1;
    positionNode_ = next;
  }

  bool MayReach(const xmlNode* root, const xmlNode* oldParent, std::int64_t& budget) const override {
    // Its cursor may still stand on a child that left it.
    if (parent_ == oldParent) return true;
    --budget;
    return Within(parent_, root);
  }

  // Known after an insertion: node stands at index.
  void Seed(std::int32_t index, xmlNode* node) {
    generation_ = Generation(parent_);
    count_ = -1;
    position_ = index;
    positionNode_ = node;
  }

private:
  void Refresh() const {
    if (generation_ != Generation(parent_)) {
      generation_ = Generation(parent_);
      count_ = -1;
      position_ = -1;
    }
    if (count_ < 0) count_ = Tree()->ChildCount(parent_);
  }

  xmlNode* parent_;
  mutable std::uintptr_t generation_ = 0;
  mutable std::int32_t count_ = -1;
  mutable std::int32_t position_ = -1;
  mutable xmlNode* positionNode_ = nullptr;
};

void TTree::Enter(TNodeList* list) {
  ++listCount_;
  list->NextList = lists_;
  if (lists_ != nullptr) lists_->PreviousList = list;
  lists_ = list;
}

void TTree::Leave(TNodeList* list) {
  --listCount_;
  if (list->PreviousList != nullptr) list->PreviousList->NextList = list->NextList;
  else lists_ = list->NextList;
  if (list->NextList != nullptr) list->NextList->PreviousList = list->PreviousList;
}

bool TTree::MayBeReached(const xmlNode* node, const xmlNode* oldParent, const TNodeList* leaving) const {
  // Every holder of the tree is a document or a selection, unless a node
  // handle (DOMNode, DOMDocument) is out, which may point anywhere.
  if (weak_from_this().use_count() > listCount_ + DocumentRefs) return true;
  // Bounded work per unlink: with large selections alive the node waits.
  std::int64_t budget = 4096;
  for (const TNodeList* list = lists_; list != nullptr; list = list->NextList) {
    if (list == leaving) continue;
    if (list->MayReach(node, oldParent, budget) || budget < 0) return true;
  }
  return false;
}

void TTree::Unlink(xmlNode* node, const TNodeList* leaving) {
  xmlNode* parent = node->parent;
  const bool counted = parent != nullptr && Counted(parent);
  xmlUnlinkNode(node);
  if (parent != nullptr) {
    Touch(parent);
    if (counted) NoteChildCount(parent, countedChildren_ - 1);
  }
  if (MayBeReached(node, parent, leaving)) {
    buried_.push_back(node);
    return;
  }
  // The child count cache compares addresses: none may outlive its node.
  if (Within(countedParent_, node)) countedParent_ = nullptr;
  if (xpath_ && Within(xpath_->node, node)) xpath_->node = nullptr;
  xmlFreeNode(node);
}

}  // namespace detail

using detail::TChildList;
using detail::TNodeList;
using detail::TSharedDocument;
using detail::TSnapshotList;
using detail::TTree;

namespace {

bool IsDocumentNode(const xmlNode* node) {
  return node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE;
}

// Whether a node of kind `type` may become a child of parent; `elements` is
// the number of elements about to be added.
void CheckInsertion(const xmlNode* parent, xmlElementType type, const char* operation, int elements = 1,
                    const xmlNode* leaving = nullptr) {
  if (parent->type != XML_ELEMENT_NODE && !IsDocumentNode(parent))
    Fail(operation, "This node cannot have child nodes");
  switch (type) {
    case XML_ELEMENT_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
      if (IsDocumentNode(parent)) Fail(operation, "Text cannot be placed outside the document element");
      break;
    default:
      Fail(operation, "A node of this kind cannot be inserted here");
  }
  if (type == XML_ELEMENT_NODE && IsDocumentNode(parent)) {
    const xmlNode* root = xmlDocGetRootElement(reinterpret_cast<const xmlDoc*>(parent));
    const int present = root != nullptr && root != leaving ? 1 : 0;
    if (present + elements > 1) Fail(operation, "Only one top level element is allowed in an XML document");
  }
}

xmlNode* NewElement(xmlNode* parent, const std::string& name, const char* operation) {
  if (xmlValidateQName(X(name), 0) != 0) Fail(operation, "Invalid element name \"" + name + "\"");
  xmlNs* ns = nullptr;
  std::string local = name;
  if (const std::size_t colon = name.find(':'); colon != std::string::npos) {
    ns = xmlSearchNs(parent->doc, parent, X(name.substr(0, colon)));
    if (ns != nullptr) local = name.substr(colon + 1);
  }
  xmlNode* element = xmlNewDocNode(parent->doc, ns, X(local), nullptr);
  if (element == nullptr) throw std::bad_alloc();
  return element;
}

// Text that is not UTF-8 would come out of a save as blanks: refused.
void CheckText(const std::string& value, const char* operation) {
  if (!platform::IsValidUtf8(value)) Fail(operation, "The text is not valid UTF-8");
}

// A text shorter than two pointers is kept inside its text node, in the
// room of the two fields a text node does not use, as libxml2's parser keeps
// the short texts it reads: no block of its own (the half a million "true"
// and "false" of a large TopAnnonces feed).
constexpr std::size_t kInlineText = 2 * sizeof(void*);

// Sets a text node's content, literally (no entity parsing).
void SetTextContent(xmlNode* text, const std::string& value) {
  if (value.size() >= kInlineText || value.find('\0') != std::string::npos) {
    xmlNodeSetContent(text, X(value));
    return;
  }
  auto* room = reinterpret_cast<xmlChar*>(&text->properties);
  if (text->content != nullptr && text->content != room &&
      !(text->doc != nullptr && text->doc->dict != nullptr && xmlDictOwns(text->doc->dict, text->content)))
    xmlFree(text->content);
  text->properties = nullptr;
  text->nsDef = nullptr;
  std::memcpy(room, value.data(), value.size());
  room[value.size()] = '\0';
  text->content = room;
}

xmlNode* NewText(xmlDoc* doc, const std::string& value) {
  xmlNode* text = xmlNewDocTextLen(doc, nullptr, 0);
  if (text == nullptr) throw std::bad_alloc();
  if (value.size() < kInlineText) {
    SetTextContent(text, value);
    return text;
  }
  text->content = xmlStrndup(X(value), static_cast<int>(value.size()));
  if (text->content == nullptr) {
    xmlFreeNode(text);
    throw std::bad_alloc();
  }
  return text;
}

// Creates element name under parent before `before` (last when null), with
// text value when not empty.
xmlNode* AddElement(TTree& tree, xmlNode* parent, xmlNode* before, const std::string& name,
                    const std::string& value, const char* operation) {
  CheckInsertion(parent, XML_ELEMENT_NODE, operation);
  CheckText(value, operation);
  xmlNode* element = NewElement(parent, name, operation);
  tree.Link(parent, element, before);
  if (!value.empty()) tree.Link(element, NewText(element->doc, value), nullptr);
  return element;
}

// Sets the text of a node: an element or attribute gets one text node in
// place of all its content, other character nodes their content.
void SetText(TTree& tree, xmlNode* node, const std::string& value, const char* operation) {
  CheckText(value, operation);
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
      xmlNode* only = node->children;
      if (!value.empty() && only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE) {
        SetTextContent(only, value);
        return;
      }
      while (xmlNode* child = node->children) tree.Unlink(child);
      if (!value.empty()) tree.Link(node, NewText(node->doc, value), nullptr);
      return;
    }
    case XML_TEXT_NODE:
      SetTextContent(node, value);
      return;
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      xmlNodeSetContent(node, X(value));
      return;
    default:
      Fail(operation, "The text of this node cannot be set");
  }
}

void SetAttributeOf(TTree& tree, xmlNode* element, const std::string& name, const std::string& value) {
  if (xmlValidateQName(X(name), 0) != 0) Fail("SetAttribute", "Invalid attribute name \"" + name + "\"");
  CheckText(value, "SetAttribute");
  xmlNs* ns = nullptr;
  std::string local = name;
  if (const std::size_t colon = name.find(':'); colon != std::string::npos) {
    ns = xmlSearchNs(element->doc, element, X(name.substr(0, colon)));
    if (ns != nullptr) local = name.substr(colon + 1);
  }
  for (xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
    const bool sameNamespace = ns == nullptr ? attribute->ns == nullptr
                                             : attribute->ns != nullptr && xmlStrEqual(attribute->ns->href, ns->href);
    if (sameNamespace && xmlStrEqual(attribute->name, X(local))) {
      SetText(tree, reinterpret_cast<xmlNode*>(attribute), value, "SetAttribute");
      return;
    }
  }
  // A new attribute's value is stored as given; a short one inside its
  // text node (a plain name only: xml:id and the like register the value).
  if (ns == nullptr && name.find(':') == std::string::npos && !value.empty() && value.size() < kInlineText) {
    xmlAttr* created = xmlNewProp(element, X(name), nullptr);
    if (created == nullptr) throw std::bad_alloc();
    tree.Link(reinterpret_cast<xmlNode*>(created), NewText(element->doc, value), nullptr);
    return;
  }
  xmlAttr* created = ns != nullptr ? xmlNewNsProp(element, ns, X(local), X(value)) : xmlNewProp(element, X(name), X(value));
  if (created == nullptr) throw std::bad_alloc();
}

// The nodes path selects from context, in document order. Plain child
// names, "@name" and "." are answered without a query.
std::vector<xmlNode*> Query(TTree& tree, xmlNode* context, const std::string& path, const char* operation,
                            bool firstOnly) {
  std::vector<xmlNode*> nodes;
  if (path == ".") {
    nodes.push_back(context);
    return nodes;
  }
  if (IsNCName(path)) {
    for (xmlNode* child = FirstChild(context); child; child = child->next) {
      if (child->type == XML_ELEMENT_NODE && child->ns == nullptr && xmlStrEqual(child->name, X(path))) {
        nodes.push_back(child);
        if (firstOnly) break;
      }
    }
    return nodes;
  }
  if (path.size() > 1 && path[0] == '@' && IsNCName(path.substr(1))) {
    if (context->type == XML_ELEMENT_NODE)
      for (xmlAttr* attribute = context->properties; attribute; attribute = attribute->next)
        if (attribute->ns == nullptr && xmlStrEqual(attribute->name, X(path) + 1)) {
          nodes.push_back(reinterpret_cast<xmlNode*>(attribute));
          break;
        }
    return nodes;
  }

  libxml::EnsureLibXml();
  libxml::TErrorCapture capture;
  xmlXPathCompExpr* compiled = CompiledPath(path);
  if (compiled == nullptr)
    Fail(operation, "Invalid path \"" + path + "\": " + capture.FirstMessage("Invalid expression"));
  xmlXPathContext* xpath = tree.XPath();
  xpath->node = context;
  std::unique_ptr<xmlXPathObject, TXPathObjectFree> result(xmlXPathCompiledEval(compiled, xpath));
  if (!result) Fail(operation, "Invalid path \"" + path + "\": " + capture.FirstMessage("Invalid expression"));
  if (result->type != XPATH_NODESET) Fail(operation, "The path \"" + path + "\" does not select nodes");
  if (const xmlNodeSet* set = result->nodesetval) {
    nodes.reserve(static_cast<std::size_t>(set->nodeNr));
    for (int i = 0; i < set->nodeNr; ++i) {
      // Namespace nodes are copies that die with the result: not selectable.
      if (set->nodeTab[i]->type == XML_NAMESPACE_DECL) continue;
      nodes.push_back(set->nodeTab[i]);
      if (firstOnly) break;
    }
  }
  return nodes;
}

std::int32_t IndexAmongSiblings(const xmlNode* node) {
  std::int32_t index = 0;
  for (const xmlNode* sibling = node->prev; sibling; sibling = sibling->prev) ++index;
  return index;
}

struct TNodeFree {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};

// Deep copies of a selection's nodes into doc, all made before any is
// inserted: the selection may list the very children being added to.
std::vector<std::unique_ptr<xmlNode, TNodeFree>> CopyNodes(const TXMLNodeList& nodes, xmlDoc* doc,
                                                           const xmlNode* parent, const char* operation,
                                                           const xmlNode* leaving = nullptr) {
  std::vector<std::unique_ptr<xmlNode, TNodeFree>> copies;
  int elements = 0;
  const std::int32_t length = nodes.Length();
  for (std::int32_t i = 0; i < length; ++i)
    if (const xmlNode* node = nodes.Item(i); node != nullptr && node->type == XML_ELEMENT_NODE) ++elements;
  for (std::int32_t i = 0; i < length; ++i) {
    xmlNode* node = nodes.Item(i);
    if (node == nullptr) continue;
    CheckInsertion(parent, node->type, operation, elements, leaving);
    xmlNode* copy = xmlDocCopyNode(node, doc, 1);
    if (copy == nullptr) throw std::bad_alloc();
    copies.emplace_back(copy);
  }
  return copies;
}

std::shared_ptr<TTree> NewEmptyTree() {
  libxml::EnsureLibXml();
  TDocPtr doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  if (!doc) throw std::bad_alloc();
  return std::make_shared<TTree>(std::move(doc));
}

// Everything up to and including the last separator; "" for a bare name.
std::string FolderPart(const std::string& path) {
  const std::size_t at = path.find_last_of("\\/:");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

// Streams the document to its file under a temporary name, renamed into
// place once complete: a failed or killed save leaves the previous file.
void WriteSaveFile(const std::string& fileName, xmlDoc* doc) {
  std::optional<platform::TReplacingFile> file;
  libxml::WriteDocumentFileBytes(doc, [&](const std::string& bytes) {
    if (!file) file.emplace(fileName);
    file->Write(bytes);
  });
  if (!file) file.emplace(fileName);
  file->Commit();
}

// Creates the missing folders of a chain, parents first. A folder that
// cannot be made is left for the write that follows to report.
void CreateFolderChain(std::string folder) {
  if (folder.empty()) throw EXMLCursorError("Cannot Create Blank Directory");
  if (folder.back() == '\\' || folder.back() == '/') folder.pop_back();
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) return;  // a root or a drive
  if (platform::DirectoryExists(folder)) return;
  const std::string parent = FolderPart(folder);
  if (!parent.empty() && parent != folder) CreateFolderChain(parent);
  (void)platform::CreateDir(folder);  // the write that follows names the folder it could not use
}

const char* const kPrettyPrintStylesheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:output method=\"xml\" indent=\"yes\" omit-xml-declaration=\"yes\"/>"
    // Source white space would stop the engine's indenting: it is redone.
    "<xsl:strip-space elements=\"*\"/>"
    // The namespace attributes let prefixed names through.
    "<xsl:template match=\"@*\">"
    "<xsl:attribute name=\"{name()}\" namespace=\"{namespace-uri()}\"><xsl:value-of select=\".\"/></xsl:attribute>"
    "</xsl:template>"
    "<xsl:template match=\"*\">"
    "<xsl:element name=\"{name()}\" namespace=\"{namespace-uri()}\">"
    "<xsl:apply-templates select=\"@*\"/><xsl:apply-templates/>"
    "</xsl:element>"
    "</xsl:template>"
    "</xsl:stylesheet>";

}  // namespace

// ---------------------------------------------------------------------------

IXMLCursorPtr TXMLCursor::Create() { return std::make_shared<TXMLCursor>(); }

TXMLCursor::TXMLCursor() = default;

TXMLCursor::~TXMLCursor() {
  current_ = nullptr;
  selection_.reset();
  document_.reset();
}

std::shared_ptr<TXMLCursor> TXMLCursor::Over(std::shared_ptr<TSharedDocument> document,
                                             std::shared_ptr<TNodeList> selection) {
  auto cursor = std::make_shared<TXMLCursor>();
  cursor->document_ = std::move(document);
  cursor->selection_ = std::move(selection);
  return cursor;
}

void TXMLCursor::EnsureDocument() {
  if (!document_) document_ = std::make_shared<TSharedDocument>(NewEmptyTree());
}

void TXMLCursor::TakeLoadedTree(std::shared_ptr<TTree> tree) {
  std::shared_ptr<TNodeList> selection;
  if (xmlNode* root = xmlDocGetRootElement(tree->Doc()))
    selection = std::make_shared<TSnapshotList>(tree, std::vector<xmlNode*>{root});
  document_->Set(std::move(tree));
  selection_ = std::move(selection);
  First();
}

// --- loading and saving ----------------------------------------------------

void TXMLCursor::Load(const std::string& FileName) {
  try {
    EnsureDocument();
    std::string bytes;
    try {
      bytes = platform::ReadFileBytes(FileName);
    } catch (const platform::EInOutError& error) {
      // The message names the file already.
      throw EXMLCursorError(libxml::ParseErrorMessage(error.ErrorCode, 0, 0, FileName, "",
                                                      platform::InOutErrorMessage(error.ErrorCode)));
    }
    auto tree = std::make_shared<TTree>(libxml::ParseDocument(bytes, FileName, libxml::TSource::FileBytes));
    tree->TextSize = bytes.size();
    TakeLoadedTree(std::move(tree));
  } catch (const std::exception& error) {
    if (platform::FileExists(FileName))
      throw EXMLCursorError("TXMLCursor.Load FileName: \"" + FileName + "\"\r\n" + error.what());
    throw EXMLCursorError("TXMLCursor.Load FileName[" + FileName + "] does not exists\r\n" + error.what());
  }
}

void TXMLCursor::LoadXML(const std::string& Text) {
  EnsureDocument();
  auto tree = std::make_shared<TTree>(libxml::ParseDocument(Text, "", libxml::TSource::Utf8Text));
  tree->TextSize = Text.size();
  TakeLoadedTree(std::move(tree));
}

void TXMLCursor::Unload() {
  if (!document_) return;
  current_ = nullptr;
  index_ = -1;
  eofFlag_ = true;
  selection_.reset();
  document_->Set(NewEmptyTree());
}

void TXMLCursor::ReloadXML(const std::string& Text) {
  EnsureDocument();
  Unload();
  auto tree = std::make_shared<TTree>(libxml::ParseDocument(Text, "", libxml::TSource::Utf8Text));
  tree->TextSize = Text.size();
  TakeLoadedTree(std::move(tree));
}

void TXMLCursor::Save(const std::string& FileName) {
  if (!document_) return;
  try {
    CreateFolderChain(FolderPart(FileName));
    WriteSaveFile(FileName, document_->Tree()->Doc());
  } catch (const std::exception& error) {
    throw EXMLCursorError("TXMLCursor.Save FileName: \"" + FileName + "\"\r\n" + error.what());
  }
}

// --- navigation --------------------------------------------------------------

void TXMLCursor::MoveTo(std::int32_t Index) {
  index_ = -1;
  eofFlag_ = true;
  current_ = nullptr;
  if (!selection_) return;
  const std::int32_t count = selection_->Length();
  if (count <= 0) return;
  if (Index < 0 || Index >= count)
    throw EXMLCursorError("TXMLCursor.MoveTo - Index out of range: " + std::to_string(Index) + "/" +
                          std::to_string(count));
  index_ = Index;
  eofFlag_ = false;
  current_ = selection_->Item(Index);
}

void TXMLCursor::First() { MoveTo(0); }

void TXMLCursor::Last() { MoveTo(Count() - 1); }

void TXMLCursor::Next() {
  // ">=" rather than "=": a live list may have shrunk below the position.
  if (!selection_ || index_ + 1 >= selection_->Length()) {
    eofFlag_ = true;
    return;
  }
  ++index_;
  current_ = selection_->Item(index_);
}

bool TXMLCursor::Eof() const { return eofFlag_ || index_ == -1; }

std::int32_t TXMLCursor::Count() const { return selection_ ? selection_->Length() : 0; }

std::int32_t TXMLCursor::CurrentIndex() const { return index_; }

// --- queries -------------------------------------------------------------------

IXMLCursorPtr TXMLCursor::Select(const std::string& Path) const {
  if (current_ == nullptr) return std::make_shared<TXMLCursor>();
  const std::shared_ptr<TTree>& tree = selection_->Tree();
  std::shared_ptr<TNodeList> selection;
  if (Path == "*") selection = std::make_shared<TChildList>(tree, current_);
  else selection = std::make_shared<TSnapshotList>(tree, Query(*tree, current_, Path, "Select", false));
  auto cursor = Over(document_, std::move(selection));
  cursor->First();
  return cursor;
}

std::string TXMLCursor::GetValue(const std::string& Name) const {
  if (current_ == nullptr) return {};
  if (Name == ".") return TextContent(current_);
  const std::vector<xmlNode*> nodes = Query(*selection_->Tree(), current_, Name, "GetValue", true);
  return nodes.empty() ? std::string() : TextContent(nodes.front());
}

std::string TXMLCursor::Get_Values(const std::string& Name) const { return GetValue(Name); }

std::string TXMLCursor::NodeName() const {
  if (current_ == nullptr) return {};
  switch (current_->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
      return QualifiedName(current_);
    case XML_TEXT_NODE: return "#text";
    case XML_CDATA_SECTION_NODE: return "#cdata-section";
    case XML_COMMENT_NODE: return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: return "#document";
    case XML_DOCUMENT_FRAG_NODE: return "#document-fragment";
    default: return libxml::ToString(current_->name);
  }
}

std::string TXMLCursor::XML() const {
  if (current_ == nullptr) return {};
  if (libxml::HasParentAndGrandparent(current_)) return libxml::NodeMarkup(current_);
  TTree& tree = *document_->Tree();
  std::string text = libxml::DocumentMarkup(tree.Doc(), tree.TextSize + tree.TextSize / 2);
  tree.TextSize = text.size();
  return text;
}

std::string TXMLCursor::ParentXML() const {
  if (current_ == nullptr) return {};
  xmlNode* parent = DomParent(current_);
  if (parent == nullptr) return XML();
  if (IsDocumentNode(parent)) return libxml::DocumentMarkup(reinterpret_cast<xmlDoc*>(parent));
  return libxml::NodeMarkup(parent);
}

std::string TXMLCursor::PrettyXML() const {
  if (current_ == nullptr) return {};
  try {
    TXSLProc processor;
    processor.LoadXML(kPrettyPrintStylesheet);
    return processor.Process(*this);
  } catch (const std::exception& error) {
    throw EXMLCursorError(std::string("TXMLCursor.PrettyXML - ") + error.what());
  }
}

IXMLCursorPtr TXMLCursor::RootCursor() const {
  if (!document_) return nullptr;
  const std::shared_ptr<TTree>& tree = document_->Tree();
  auto cursor = Over(document_, std::make_shared<TChildList>(tree, tree->DocNode()));
  cursor->First();
  return cursor;
}

std::shared_ptr<_xmlDoc> TXMLCursor::DOMDocument() const {
  if (!document_) return nullptr;
  const std::shared_ptr<TTree>& tree = document_->Tree();
  return std::shared_ptr<_xmlDoc>(tree, tree->Doc());
}

std::shared_ptr<_xmlNode> TXMLCursor::DOMNode() const {
  if (current_ == nullptr) return nullptr;
  return std::shared_ptr<_xmlNode>(selection_->Tree(), current_);
}

std::shared_ptr<const TXMLNodeList> TXMLCursor::Selection() const { return selection_; }

std::shared_ptr<_xmlNode> TXMLCursor::CurrentNode() const { return DOMNode(); }

// --- editing ---------------------------------------------------------------------

void TXMLCursor::SetAttribute(const std::string& Name, const std::string& Value) {
  if (current_ == nullptr) return;
  if (current_->type != XML_ELEMENT_NODE) Fail("SetAttribute", "No such interface supported");
  SetAttributeOf(*selection_->Tree(), current_, Name, Value);
}

void TXMLCursor::SetValue(const std::string& Name, const std::string& Value) {
  if (current_ == nullptr) return;
  if (!Name.empty() && Name[0] == '@') {
    SetAttribute(Name.substr(1), Value);
    return;
  }
  TTree& tree = *selection_->Tree();
  const std::vector<xmlNode*> nodes = Query(tree, current_, Name, "SetValue", true);
  xmlNode* target = nodes.empty() ? AddElement(tree, current_, nullptr, Name, "", "SetValue") : nodes.front();
  SetText(tree, target, Value, "SetValue");
}

void TXMLCursor::Set_Values(const std::string& Name, const std::string& Value) { SetValue(Name, Value); }

void TXMLCursor::SetCDATA(const std::string& Name, const std::string& Value) {
  if (current_ == nullptr) return;
  CheckText(Value, "SetCDATA");
  TTree& tree = *selection_->Tree();
  const std::vector<xmlNode*> nodes = Query(tree, current_, Name, "SetCDATA", true);
  xmlNode* target = nodes.empty() ? AddElement(tree, current_, nullptr, Name, "", "SetCDATA") : nodes.front();
  if (target->children != nullptr) {
    SetText(tree, target->children, Value, "SetCDATA");
  } else if (target->type == XML_ELEMENT_NODE) {
    xmlNode* section = xmlNewCDataBlock(target->doc, X(Value), static_cast<int>(Value.size()));
    if (section == nullptr) throw std::bad_alloc();
    tree.Link(target, section, nullptr);
  } else {
    SetText(tree, target, Value, "SetCDATA");
  }
}

IXMLCursorPtr TXMLCursor::AppendChild(const std::string& Name, const std::string& Value) {
  if (!document_) {
    std::shared_ptr<TTree> tree = NewEmptyTree();
    AddElement(*tree, tree->DocNode(), nullptr, Name, Value, "AppendChild");
    document_ = std::make_shared<TSharedDocument>(tree);
    selection_ = std::make_shared<TChildList>(tree, tree->DocNode());
    First();
    auto cursor = Over(document_, std::make_shared<TChildList>(tree, tree->DocNode()));
    cursor->Last();
    return cursor;
  }
  if (current_ == nullptr) Fail("AppendChild", "EOF");
  const std::shared_ptr<TTree>& tree = selection_->Tree();
  xmlNode* element = AddElement(*tree, current_, nullptr, Name, Value, "AppendChild");
  auto list = std::make_shared<TChildList>(tree, current_);
  list->Seed(tree->ChildCount(current_) - 1, element);
  auto cursor = Over(document_, std::move(list));
  cursor->Last();
  return cursor;
}

void TXMLCursor::AddChild(const std::string& Name, const std::string& Value) { AppendChild(Name, Value); }

IXMLCursorPtr TXMLCursor::PrependChild(const std::string& Name, const std::string& Value) {
  if (!document_) return AppendChild(Name, Value);
  if (current_ == nullptr) return nullptr;
  const std::shared_ptr<TTree>& tree = selection_->Tree();
  xmlNode* element = AddElement(*tree, current_, FirstChild(current_), Name, Value, "PrependChild");
  auto list = std::make_shared<TChildList>(tree, current_);
  list->Seed(0, element);
  auto cursor = Over(document_, std::move(list));
  cursor->First();
  return cursor;
}

IXMLCursorPtr TXMLCursor::InsertBefore(const std::string& Name, const std::string& Value) {
  if (!document_) return AppendChild(Name, Value);
  if (current_ == nullptr) return nullptr;
  xmlNode* parent = DomParent(current_);
  if (parent == nullptr) return nullptr;
  const std::shared_ptr<TTree>& tree = selection_->Tree();
  xmlNode* element = AddElement(*tree, parent, current_, Name, Value, "InsertBefore");
  const std::int32_t position = IndexAmongSiblings(current_) - 1;
  auto list = std::make_shared<TChildList>(tree, parent);
  list->Seed(position, element);
  auto cursor = Over(document_, std::move(list));
  cursor->MoveTo(position);
  return cursor;
}

IXMLCursorPtr TXMLCursor::InsertAfter(const std::string& Name, const std::string& Value) {
  if (!document_) return AppendChild(Name, Value);
  if (current_ == nullptr) return nullptr;
  xmlNode* parent = DomParent(current_);
  if (parent == nullptr) return nullptr;
  const std::shared_ptr<TTree>& tree = selection_->Tree();
  xmlNode* element = AddElement(*tree, parent, current_->next, Name, Value, "InsertAfter");
  const std::int32_t position = IndexAmongSiblings(current_) + 1;
  auto list = std::make_shared<TChildList>(tree, parent);
  list->Seed(position, element);
  auto cursor = Over(document_, std::move(list));
  cursor->MoveTo(position);
  return cursor;
}

void TXMLCursor::Delete() {
  if (current_ == nullptr) return;
  if (DomParent(current_) == nullptr) return;
  selection_->Remove(current_, index_);
  const std::int32_t length = selection_->Length();
  if (index_ >= length) index_ = length - 1;
  current_ = index_ >= 0 ? selection_->Item(index_) : nullptr;
}

void TXMLCursor::AppendXMLCursor(const IXMLCursorPtr& Source) {
  const auto* source = dynamic_cast<const IXMLCursorNodes*>(Source.get());
  if (source == nullptr) return;
  const std::shared_ptr<const TXMLNodeList> nodes = source->Selection();
  if (!nodes || nodes->Length() == 0) return;
  if (!document_) {
    if (nodes->Length() > 1)
      Fail("AppendXMLCursor", "Cannot add XMLCursor to current since it has more than one element.");
    std::shared_ptr<TTree> tree = NewEmptyTree();
    auto copies = CopyNodes(*nodes, tree->Doc(), tree->DocNode(), "AppendXMLCursor");
    for (auto& copy : copies) tree->Link(tree->DocNode(), copy.release(), nullptr);
    document_ = std::make_shared<TSharedDocument>(tree);
    selection_ = std::make_shared<TChildList>(tree, tree->DocNode());
    First();
    return;
  }
  if (current_ == nullptr) return;
  TTree& tree = *selection_->Tree();
  auto copies = CopyNodes(*nodes, current_->doc, current_, "AppendXMLCursor");
  for (auto& copy : copies) tree.Link(current_, copy.release(), nullptr);
}

void TXMLCursor::ReplaceWithXMLCursor(const IXMLCursorPtr& Source) {
  if (!document_) Fail("ReplaceWithXMLCursor", "FXMLDOMDocument = nil");
  if (current_ == nullptr) return;
  xmlNode* parent = DomParent(current_);
  if (parent == nullptr) return;
  const auto* source = dynamic_cast<const IXMLCursorNodes*>(Source.get());
  if (source == nullptr) return;
  const std::shared_ptr<TTree> tree = selection_->Tree();
  if (const std::shared_ptr<const TXMLNodeList> nodes = source->Selection()) {
    auto copies = CopyNodes(*nodes, current_->doc, parent, "ReplaceWithXMLCursor", current_);
    for (auto& copy : copies) tree->Link(parent, copy.release(), current_);
  }
  tree->Unlink(current_);
  selection_ = std::make_shared<TChildList>(tree, parent);
  current_ = nullptr;
  First();
}

}  // namespace xmldoc
