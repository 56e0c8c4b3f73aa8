// Structural edits, copies between cursors, DOM access and pretty printing.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/TestSupport.h"
#include "xmldoc/XMLCursor.h"
#include "xmldoc/XMLCursorTesting.h"
#include "xmldoc/XSLProc.h"

using xmldoc::EXMLCursorError;
using xmldoc::IXMLCursorPtr;
using xmldoc::TXMLCursor;
using xmldoc::TXSLProc;

namespace {

const auto Loaded = xmldoc::testing::LoadedCursor;
const auto ErrorOf = xmldoc::testing::CursorErrorOf;

// Names of the nodes of a selection, whatever the position.
std::vector<std::string> Names(const IXMLCursorPtr& cursor) {
  std::vector<std::string> names;
  const std::int32_t at = cursor->CurrentIndex();
  for (std::int32_t i = 0; i < cursor->Count(); ++i) {
    cursor->MoveTo(i);
    names.push_back(cursor->NodeName());
  }
  if (at >= 0) cursor->MoveTo(at);
  return names;
}

// An IXMLCursor that does not offer its nodes.
class TForeignCursor final : public xmldoc::IXMLCursor {
public:
  IXMLCursorPtr AppendChild(const std::string&, const std::string&) override { return nullptr; }
  void AppendXMLCursor(const IXMLCursorPtr&) override {}
  std::string ParentXML() const override { return {}; }
  std::int32_t Count() const override { return 1; }
  void Delete() override {}
  IXMLCursorPtr RootCursor() const override { return nullptr; }
  bool Eof() const override { return false; }
  void First() override {}
  std::string NodeName() const override { return "x"; }
  std::string GetValue(const std::string&) const override { return {}; }
  IXMLCursorPtr InsertBefore(const std::string&, const std::string&) override { return nullptr; }
  IXMLCursorPtr InsertAfter(const std::string&, const std::string&) override { return nullptr; }
  void Last() override {}
  void Load(const std::string&) override {}
  void LoadXML(const std::string&) override {}
  void MoveTo(std::int32_t) override {}
  void Next() override {}
  std::int32_t CurrentIndex() const override { return 0; }
  void ReplaceWithXMLCursor(const IXMLCursorPtr&) override {}
  void Save(const std::string&) override {}
  IXMLCursorPtr Select(const std::string&) const override { return nullptr; }
  void SetAttribute(const std::string&, const std::string&) override {}
  void SetValue(const std::string&, const std::string&) override {}
  void SetCDATA(const std::string&, const std::string&) override {}
  std::string XML() const override { return {}; }
  std::shared_ptr<_xmlDoc> DOMDocument() const override { return nullptr; }
  std::shared_ptr<_xmlNode> DOMNode() const override { return nullptr; }
  std::string Get_Values(const std::string&) const override { return {}; }
  void Set_Values(const std::string&, const std::string&) override {}
  std::string PrettyXML() const override { return {}; }
  IXMLCursorPtr PrependChild(const std::string&, const std::string&) override { return nullptr; }
  void AddChild(const std::string&, const std::string&) override {}
  void ReloadXML(const std::string&) override {}
  void Unload() override {}
};

}  // namespace

TEST(XMLCursorInsert, BeforeAfterAndPrependLandOnTheNewElement) {
  IXMLCursorPtr doc = Loaded("<r><a/><b/></r>");
  IXMLCursorPtr children = doc->Select("*");

  IXMLCursorPtr before = children->InsertBefore("x", "1");  // before the first child
  EXPECT_EQ(before->CurrentIndex(), 0);
  EXPECT_EQ(before->NodeName(), "x");

  children->Last();  // b
  IXMLCursorPtr after = children->InsertAfter("y", "");
  EXPECT_EQ(after->CurrentIndex(), 3);
  EXPECT_EQ(after->NodeName(), "y");

  IXMLCursorPtr first = doc->PrependChild("z", "2");
  EXPECT_EQ(first->CurrentIndex(), 0);
  EXPECT_EQ(first->NodeName(), "z");
  EXPECT_EQ(doc->XML(), "<r><z>2</z><x>1</x><a></a><b></b><y></y></r>\n");
  EXPECT_EQ(Names(before), (std::vector<std::string>{"z", "x", "a", "b", "y"}));  // a live list
}

TEST(XMLCursorInsert, WithoutCurrentNodeOrParent) {
  IXMLCursorPtr doc = Loaded("<r/>");
  IXMLCursorPtr none = doc->Select("nothing");
  EXPECT_EQ(none->InsertBefore("x", ""), nullptr);
  EXPECT_EQ(none->InsertAfter("x", ""), nullptr);
  EXPECT_EQ(none->PrependChild("x", ""), nullptr);
  EXPECT_EQ(doc->Select("/")->InsertAfter("x", ""), nullptr);
  EXPECT_EQ(ErrorOf([&] { doc->InsertAfter("x", ""); }),
            "TXMLCursor.InsertAfter - Only one top level element is allowed in an XML document");
  // Without document they append a new root.
  IXMLCursorPtr fresh = TXMLCursor::Create();
  EXPECT_EQ(fresh->InsertBefore("root", "")->NodeName(), "root");
  EXPECT_EQ(fresh->XML(), "<root></root>\n");
}

TEST(XMLCursorCopy, AppendXMLCursorCopiesTheSourceSelection) {
  IXMLCursorPtr source = Loaded("<s><i>1</i><i>2</i></s>");
  IXMLCursorPtr items = source->Select("i");

  IXMLCursorPtr empty = TXMLCursor::Create();
  EXPECT_EQ(ErrorOf([&] { empty->AppendXMLCursor(items); }),
            "TXMLCursor.AppendXMLCursor - Cannot add XMLCursor to current since it has more than one element.");
  empty->AppendXMLCursor(source->Select("i[2]"));
  EXPECT_EQ(empty->XML(), "<i>2</i>\n");
  EXPECT_EQ(empty->NodeName(), "i");

  IXMLCursorPtr target = Loaded("<t><k/></t>");
  target->AppendXMLCursor(items);
  target->AppendXMLCursor(nullptr);
  target->AppendXMLCursor(source->Select("nothing"));
  target->AppendXMLCursor(std::make_shared<TForeignCursor>());
  EXPECT_EQ(target->XML(), "<t><k></k><i>1</i><i>2</i></t>\n");
  items->SetValue(".", "changed");  // copies, not moves
  EXPECT_EQ(target->GetValue("i"), "1");

  IXMLCursorPtr own = target->Select("*");
  target->AppendXMLCursor(own);  // its own children: copied once
  EXPECT_EQ(target->XML(), "<t><k></k><i>1</i><i>2</i><k></k><i>1</i><i>2</i></t>\n");
  EXPECT_EQ(ErrorOf([&] { target->AppendXMLCursor(source->Select("/")); }),
            "TXMLCursor.AppendXMLCursor - A node of this kind cannot be inserted here");
}

TEST(XMLCursorCopy, ReplaceWithXMLCursorLeavesTheCursorOnTheFirstChild) {
  IXMLCursorPtr doc = Loaded("<r><a/><old>x</old><b/></r>");
  IXMLCursorPtr old = doc->Select("old");
  old->ReplaceWithXMLCursor(Loaded("<s><n1/><n2/></s>")->Select("*"));
  EXPECT_EQ(doc->XML(), "<r><a></a><n1></n1><n2></n2><b></b></r>\n");
  EXPECT_EQ(old->CurrentIndex(), 0);
  EXPECT_EQ(old->NodeName(), "a");
  EXPECT_EQ(old->Count(), 4);

  EXPECT_EQ(ErrorOf([] { TXMLCursor::Create()->ReplaceWithXMLCursor(nullptr); }),
            "TXMLCursor.ReplaceWithXMLCursor - FXMLDOMDocument = nil");
  IXMLCursorPtr root = doc->Select("/r");
  root->ReplaceWithXMLCursor(std::make_shared<TForeignCursor>());  // ignored
  root->ReplaceWithXMLCursor(Loaded("<new/>"));  // the root itself may be replaced
  EXPECT_EQ(doc->XML(), "<new></new>\n");
}

TEST(XMLCursorCDATA, CreatesTheSectionThenReplacesItsText) {
  IXMLCursorPtr doc = Loaded("<r><t>old</t></r>");
  doc->SetCDATA("c", "a <b> & ]]> c");
  EXPECT_EQ(doc->XML(), "<r><t>old</t><c><![CDATA[a <b> & ]]]]><![CDATA[> c]]></c></r>\n");
  EXPECT_EQ(doc->GetValue("c"), "a <b> & ]]> c");
  doc->SetCDATA("c", "second");
  doc->SetCDATA("t", "first child");
  EXPECT_EQ(doc->XML(), "<r><t>first child</t><c><![CDATA[second]]></c></r>\n");
  doc->Select("nothing")->SetCDATA("c", "x");
}

TEST(XMLCursorRoot, RootCursorListsThePrologAndParentXMLThePArent) {
  IXMLCursorPtr doc = Loaded("<?xml version=\"1.0\"?><!--c--><?pi x?><r><a><b>t</b></a></r>");
  IXMLCursorPtr top = doc->Select("a")->RootCursor();
  EXPECT_EQ(Names(top), (std::vector<std::string>{"#comment", "pi", "r"}));
  EXPECT_EQ(top->NodeName(), "#comment");
  EXPECT_EQ(TXMLCursor::Create()->RootCursor(), nullptr);

  EXPECT_EQ(doc->Select("a/b")->ParentXML(), "<a><b>t</b></a>");
  EXPECT_EQ(doc->Select("a")->ParentXML(), "<r><a><b>t</b></a></r>");
  EXPECT_EQ(doc->ParentXML(), doc->XML());
  EXPECT_EQ(doc->Select("nothing")->ParentXML(), "");
}

TEST(XMLCursorDOM, DocumentAndNodeReferencesAreSharedAndKeptAlive) {
  IXMLCursorPtr doc = Loaded("<r><a/></r>");
  IXMLCursorPtr a = doc->Select("a");
  EXPECT_EQ(a->DOMDocument(), doc->DOMDocument());
  std::shared_ptr<_xmlNode> node = a->DOMNode();
  EXPECT_NE(node, nullptr);
  EXPECT_EQ(node, std::dynamic_pointer_cast<xmldoc::IXMLCursorNodes>(a)->CurrentNode());
  EXPECT_EQ(doc->Select("nothing")->DOMNode(), nullptr);
  EXPECT_EQ(TXMLCursor::Create()->DOMDocument(), nullptr);
  std::shared_ptr<_xmlDoc> document = doc->DOMDocument();
  doc.reset();
  a.reset();
  EXPECT_EQ(document.use_count(), 2);  // node and document hold the tree
}

TEST(XMLCursorPrettyXML, IndentsWithoutDeclaration) {
  IXMLCursorPtr doc = Loaded("<?xml version=\"1.0\"?><!--dropped--><r xmlns:p=\"urn:p\" k=\"v\"><p:a p:x=\"1\">t&amp;</p:a><b><c/></b></r>");
  EXPECT_EQ(doc->PrettyXML(),
            "<r k=\"v\">\n  <p:a xmlns:p=\"urn:p\" p:x=\"1\">t&amp;</p:a>\n  <b>\n    <c/>\n  </b>\n</r>\n");
  EXPECT_EQ(doc->Select("b")->PrettyXML(), "<b>\n  <c/>\n</b>\n");
  EXPECT_EQ(doc->Select("nothing")->PrettyXML(), "");
  // Source white space does not stop the indenting, and the document is untouched.
  IXMLCursorPtr spaced = Loaded("<r>\n<a><b/></a>\n</r>");
  EXPECT_EQ(spaced->PrettyXML(), "<r>\n  <a>\n    <b/>\n  </a>\n</r>\n");
  EXPECT_EQ(spaced->XML(), "<r>\n<a><b></b></a>\n</r>\n");
}

TEST(XSLProc, FailuresCarryTheirPrefixes) {
  IXMLCursorPtr doc = Loaded("<r/>");
  struct Case {
    std::function<void()> action;
    std::string prefix;
  };
  const std::vector<Case> cases = {
      {[] { TXSLProc().LoadXML(""); }, "TXSLProc.LoadXML - XSL document is empty."},
      {[] { TXSLProc().LoadXML("<a"); }, "TXSLProc.LoadXML - Error "},
      {[] { TXSLProc().LoadXML("<notxsl/>"); }, "TXSLProc.LoadXML - "},
      {[&] { TXSLProc().Process(*doc); }, "TXSLProc.Process - XSL processing - \r\nTXSLProc.Load FileName: \"\"\r\n"},
      {[&] {
         TXSLProc processor;
         processor.LoadXML("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                           "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop</xsl:message></xsl:template>"
                           "</xsl:stylesheet>");
         processor.Process(*doc);
       },
       "TXSLProc.Process - XSL processing - \r\n"},
      {[&] { TXSLProc().Process(TForeignCursor()); }, "TXSLProc.Process - XSL processing - \r\n"},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    const std::string message = ErrorOf(c.action);
    EXPECT_EQ(message.substr(0, c.prefix.size()), c.prefix) << message;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // nor does libxslt
}

TEST(XSLProc, FileStylesheetWithImportKnowsWhenItIsOutOfDate) {
  testsupport::TTempDir dir;
  const char* head = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">";
  testsupport::WriteFile(dir / "base.xsl", std::string(head) +
                                               "<xsl:output method=\"text\"/>"
                                               "<xsl:template match=\"/\">base:<xsl:value-of select=\"r\"/></xsl:template>"
                                               "</xsl:stylesheet>");
  testsupport::WriteFile(dir / "main.xsl", std::string(head) + "<xsl:import href=\"base.xsl\"/></xsl:stylesheet>");
  TXSLProc processor;
  EXPECT_FALSE(processor.IsUpToDate());
  processor.Load(dir / "main.xsl");
  EXPECT_TRUE(processor.IsUpToDate());
  EXPECT_EQ(processor.Process(*Loaded("<r>v</r>")), "base:v");
  testsupport::WriteFile(dir / "base.xsl", "changed");
  EXPECT_FALSE(processor.IsUpToDate());
}

TEST(XSLProc, StylesheetsCannotWriteFiles) {
  testsupport::TTempDir dir;
  TXSLProc processor;
  processor.LoadXML("<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                    "<xsl:template match=\"/\"><xsl:document href=\"" + (dir / "out.txt") +
                    "\" method=\"text\">x</xsl:document></xsl:template></xsl:stylesheet>");
  ErrorOf([&] { processor.Process(*Loaded("<r/>")); });
  EXPECT_FALSE(testsupport::PathExists(dir / "out.txt"));
}
