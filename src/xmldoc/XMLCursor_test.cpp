#include "xmldoc/XMLCursor.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <malloc.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "support/TestSupport.h"
#include "xmldoc/XMLCursorTesting.h"

using testsupport::TTempDir;
using xmldoc::EXMLCursorError;
using xmldoc::IXMLCursorPtr;
using xmldoc::TXMLCursor;

namespace {

// A data export in miniature: single-quoted attributes, an empty element in
// both forms, Latin-9 declared.
const char* const kExport =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n"
    "<document>\n"
    "  <DataVOS EOF='False' Other='x' RecordName='DataVO'>\n"
    "    <DataVO><idNVO>1</idNVO><Marque>Renault</Marque><NOMPHOTO1></NOMPHOTO1></DataVO>\n"
    "    <DataVO><idNVO>2</idNVO><Marque>Peugeot</Marque><NOMPHOTO1/></DataVO>\n"
    "    <DataVO><idNVO>3</idNVO><Marque>Citroën</Marque><NOMPHOTO1/></DataVO>\n"
    "  </DataVOS>\n"
    "  <LiensImagesS><LiensImages><idNVO>2</idNVO><NomImage>p2a</NomImage></LiensImages></LiensImagesS>\n"
    "  <Aliases/>\n"
    "</document>\n";

IXMLCursorPtr Loaded(const std::string& text = kExport) { return xmldoc::testing::LoadedCursor(text); }

const auto ErrorOf = xmldoc::testing::CursorErrorOf;

std::vector<std::string> Walk(const IXMLCursorPtr& cursor, const std::string& name) {
  std::vector<std::string> values;
  while (!cursor->Eof()) {
    values.push_back(name.empty() ? cursor->NodeName() : cursor->GetValue(name));
    cursor->Next();
  }
  return values;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

// --- navigation ------------------------------------------------------------------

TEST(XMLCursorNavigation, NewCursorIsEmptyAndAtEof) {
  IXMLCursorPtr cursor = TXMLCursor::Create();
  EXPECT_TRUE(cursor->Eof());
  EXPECT_EQ(cursor->Count(), 0);
  EXPECT_EQ(cursor->CurrentIndex(), -1);
  EXPECT_EQ(cursor->XML(), "");
  EXPECT_EQ(cursor->GetValue("."), "");
  EXPECT_EQ(cursor->NodeName(), "");
  IXMLCursorPtr selected = cursor->Select("/document");
  EXPECT_TRUE(selected->Eof());
  EXPECT_EQ(selected->DOMDocument(), nullptr);
}

TEST(XMLCursorNavigation, WalkVisitsEveryNodeAndStaysOnTheLast) {
  IXMLCursorPtr vehicles = Loaded()->Select("/document/DataVOS/DataVO");
  EXPECT_EQ(Walk(vehicles, "idNVO"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_TRUE(vehicles->Eof());
  EXPECT_EQ(vehicles->CurrentIndex(), 2);
  EXPECT_EQ(vehicles->GetValue("Marque"), "Citroën");
  vehicles->SetValue("Marque", "Citroen");  // edits act on the last node
  EXPECT_EQ(vehicles->GetValue("Marque"), "Citroen");
  vehicles->First();  // MoveTo is the way back from past the end
  EXPECT_FALSE(vehicles->Eof());
  EXPECT_EQ(vehicles->GetValue("idNVO"), "1");
}

TEST(XMLCursorNavigation, OneNodeSelection) {
  IXMLCursorPtr one = Loaded()->Select("/document/DataVOS/DataVO[idNVO=2]");
  EXPECT_FALSE(one->Eof());
  EXPECT_EQ(one->Count(), 1);
  one->Next();
  EXPECT_TRUE(one->Eof());
  EXPECT_EQ(one->CurrentIndex(), 0);
  EXPECT_EQ(one->GetValue("."), "2Peugeot");
}

TEST(XMLCursorNavigation, EmptySelectionRaisesNothingAndChangesNothing) {
  IXMLCursorPtr doc = Loaded();
  const std::string before = doc->XML();
  IXMLCursorPtr none = doc->Select("/document/Nothing");
  EXPECT_TRUE(none->Eof());
  EXPECT_EQ(none->Count(), 0);
  EXPECT_EQ(none->CurrentIndex(), -1);
  none->Next();
  none->First();
  none->Last();
  none->Delete();
  none->SetValue("x", "y");
  none->SetAttribute("x", "y");
  EXPECT_TRUE(none->Eof());
  EXPECT_EQ(none->GetValue("."), "");
  EXPECT_EQ(none->XML(), "");
  EXPECT_EQ(none->Select("*")->Count(), 0);
  EXPECT_EQ(doc->XML(), before);
  EXPECT_EQ(ErrorOf([&] { none->AppendChild("x", ""); }), "TXMLCursor.AppendChild - EOF");
  EXPECT_EQ(ErrorOf([&] { none->AddChild("x", ""); }), "TXMLCursor.AppendChild - EOF");
}

TEST(XMLCursorNavigation, MoveToOutOfRangeLeavesTheCursorOffList) {
  IXMLCursorPtr vehicles = Loaded()->Select("/document/DataVOS/DataVO");
  struct Case {
    std::int32_t index;
    const char* message;
  };
  for (const Case& c : {Case{3, "TXMLCursor.MoveTo - Index out of range: 3/3"},
                        Case{-1, "TXMLCursor.MoveTo - Index out of range: -1/3"}}) {
    vehicles->MoveTo(1);
    EXPECT_EQ(ErrorOf([&] { vehicles->MoveTo(c.index); }), c.message);
    EXPECT_TRUE(vehicles->Eof());
    EXPECT_EQ(vehicles->CurrentIndex(), -1);
    EXPECT_EQ(vehicles->GetValue("idNVO"), "");
  }
  vehicles->Last();
  EXPECT_EQ(vehicles->GetValue("idNVO"), "3");
}

// --- queries ----------------------------------------------------------------------

TEST(XMLCursorSelect, StarListsEveryKindOfChildAPathOnlyWhatItNames) {
  IXMLCursorPtr q = Loaded("<q>a<b>x</b>c<!--k--><?p d?><b>y</b></q>");
  EXPECT_EQ(Walk(q->Select("*"), ""),
            (std::vector<std::string>{"#text", "b", "#text", "#comment", "p", "b"}));
  EXPECT_EQ(Walk(q->Select("b"), "."), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(Walk(q->Select("/q/b[2]"), "."), (std::vector<std::string>{"y"}));
}

TEST(XMLCursorSelect, WhiteSpaceBetweenElementsIsKept) {
  const std::string text = "<?xml version=\"1.0\"?>\n<r>\n  <a>1</a>\n  <b> </b>\n</r>\n";
  IXMLCursorPtr r = Loaded(text);
  EXPECT_EQ(Walk(r->Select("*"), ""), (std::vector<std::string>{"#text", "a", "#text", "b", "#text"}));
  EXPECT_EQ(r->XML(), text);
  EXPECT_EQ(r->GetValue("b"), " ");
}

TEST(XMLCursorSelect, PathErrorsNameTheOperationAndThePath) {
  IXMLCursorPtr doc = Loaded();
  EXPECT_TRUE(StartsWith(ErrorOf([&] { doc->Select("DataVOS["); }), "TXMLCursor.Select - Invalid path \"DataVOS[\": "));
  EXPECT_TRUE(StartsWith(ErrorOf([&] { doc->GetValue("foo(1)"); }), "TXMLCursor.GetValue - Invalid path"));
  EXPECT_EQ(ErrorOf([&] { doc->Select("count(*)"); }), "TXMLCursor.Select - The path \"count(*)\" does not select nodes");
}

TEST(XMLCursorSelect, PrefixesOfTheRootAreBoundADefaultNamespaceIsNot) {
  IXMLCursorPtr doc = Loaded("<r xmlns:p='urn:p' xmlns='urn:d'><p:a>1</p:a><b>2</b></r>");
  EXPECT_EQ(doc->GetValue("p:a"), "1");
  EXPECT_EQ(doc->Select("p:a")->XML(), "<p:a xmlns:p=\"urn:p\">1</p:a>");  // markup that reads back alone
  EXPECT_EQ(doc->Select("b")->Count(), 0);
  EXPECT_EQ(doc->GetValue("*[local-name()='b']"), "2");
}

TEST(XMLCursorSelect, SelectDotIsACheapCursorOnTheCurrentNodeForAnIndex) {
  IXMLCursorPtr doc = Loaded();
  std::vector<std::pair<std::string, IXMLCursorPtr>> index;
  for (IXMLCursorPtr v = doc->Select("/document/DataVOS/DataVO"); !v->Eof(); v->Next())
    index.emplace_back(v->GetValue("idNVO"), v->Select("."));
  ASSERT_EQ(index.size(), 3u);
  index[1].second->SetValue("NOMPHOTO1", "http://x/p2a.jpg");
  EXPECT_EQ(doc->GetValue("DataVOS/DataVO[idNVO=2]/NOMPHOTO1"), "http://x/p2a.jpg");
  EXPECT_EQ(index[1].second->Count(), 1);
}

TEST(XMLCursorSelect, DerivedCursorsKeepTheDocumentAlive) {
  IXMLCursorPtr vehicles;
  {
    IXMLCursorPtr doc = Loaded();
    vehicles = doc->Select("//DataVO");
  }
  vehicles->Last();
  EXPECT_EQ(vehicles->GetValue("idNVO"), "3");
  EXPECT_TRUE(StartsWith(vehicles->XML(), "<DataVO><idNVO>3</idNVO>"));
}

// --- values -------------------------------------------------------------------------

TEST(XMLCursorValues, GetValueNames) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr records = doc->Select("DataVOS");
  struct Case {
    const char* name;
    const char* value;
  };
  for (const Case& c : {Case{"@RecordName", "DataVO"}, Case{"DataVO/Marque", "Renault"},
                        Case{"DataVO[3]/idNVO", "3"}, Case{"missing", ""}, Case{"@missing", ""},
                        Case{"DataVO/NOMPHOTO1", ""}, Case{"/document/LiensImagesS//NomImage", "p2a"}}) {
    EXPECT_EQ(records->GetValue(c.name), c.value) << c.name;
    EXPECT_EQ(records->Get_Values(c.name), c.value) << c.name;
  }
}

TEST(XMLCursorValues, SetValueCreatesAMissingChildLastThenReplacesIt) {
  IXMLCursorPtr v = Loaded()->Select("//DataVO[idNVO=1]");
  v->SetValue("Prix", "1000");
  EXPECT_EQ(v->XML(), "<DataVO><idNVO>1</idNVO><Marque>Renault</Marque><NOMPHOTO1></NOMPHOTO1><Prix>1000</Prix></DataVO>");
  v->Set_Values("Prix", "2000");
  v->SetValue("NOMPHOTO1", "a.jpg");
  v->SetValue(".", "whole");  // the current node itself: all content replaced
  EXPECT_EQ(v->XML(), "<DataVO>whole</DataVO>");
}

TEST(XMLCursorValues, SetValueReplacesAllContentAndEmptyLeavesNoChild) {
  IXMLCursorPtr q = Loaded("<r><q>a<b>x</b>c</q><e>t</e></r>");
  q->SetValue("q", "new");
  q->SetValue("e", "");
  EXPECT_EQ(q->XML(), "<r><q>new</q><e></e></r>\n");
}

TEST(XMLCursorValues, AttributesAreSetInPlaceOrAddedLast) {
  IXMLCursorPtr records = Loaded()->Select("/document/DataVOS");
  records->SetValue("@Other", "y");
  records->SetAttribute("Added", "z");
  records->SetValue("@EOF", "True");
  EXPECT_NE(records->XML().find("<DataVOS EOF=\"True\" Other=\"y\" RecordName=\"DataVO\" Added=\"z\">"),
            std::string::npos);
}

TEST(XMLCursorValues, ValuesAreStoredLiterally) {
  for (const std::string value : {"a & b", "<x>", "&amp;", "\"q' &#65;", "]]>", "line\r\nfeed\ttab"}) {
    IXMLCursorPtr doc = Loaded("<r><full>old</full><empty/><mixed>a<b/></mixed></r>");
    for (const char* name : {"full", "empty", "mixed", "created", "@attr", "@new"}) doc->SetValue(name, value);
    for (const char* name : {"full", "empty", "mixed", "created", "@attr", "@new"})
      EXPECT_EQ(doc->GetValue(name), value) << name;
    IXMLCursorPtr reread = Loaded(doc->XML());
    for (const char* name : {"full", "empty", "mixed", "created", "@attr", "@new"})
      EXPECT_EQ(reread->GetValue(name), value) << name << " after reload";
  }
}

// Short texts are kept inside their node, longer ones apart: every change
// between the two, on parsed and on created texts, reads back, copies and
// writes whole.
TEST(XMLCursorValues, ShortAndLongTextsReplaceEachOther) {
  const std::vector<std::string> values = {"true", "fifteen chars..", "sixteen chars...", "x",
                                           "a text well over sixteen bytes long", "<&>", "false"};
  IXMLCursorPtr doc = Loaded("<r><short>old</short><long>an old text longer than sixteen</long><none/></r>");
  IXMLCursorPtr text = doc->Select("short/text()");
  for (const std::string& value : values) {
    for (const char* name : {"short", "long", "none", "created", "@attr"}) {
      doc->SetValue(name, value);
      EXPECT_EQ(doc->GetValue(name), value) << name;
    }
    text->SetValue(".", value + "!");
    EXPECT_EQ(doc->GetValue("short"), value + "!");
    IXMLCursorPtr copy = Loaded("<c/>");
    copy->AppendXMLCursor(doc->Select("*"));
    EXPECT_EQ(copy->GetValue("long"), value);
    EXPECT_EQ(Loaded(doc->XML())->GetValue("created"), value);
    EXPECT_EQ(Loaded(doc->XML())->GetValue("@attr"), value);
    IXMLCursorPtr fresh = copy->AppendChild("fresh", "");
    fresh->SetAttribute("type", value);
    EXPECT_EQ(Loaded(copy->XML())->GetValue("fresh/@type"), value);
  }
}

TEST(XMLCursorValues, EditingFailures) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr text = doc->Select("//idNVO/text()");
  struct Case {
    std::function<void()> action;
    const char* message;
  };
  const std::vector<Case> cases = {
      {[&] { doc->SetValue("DataVOS/Nothing", "x"); }, "TXMLCursor.SetValue - Invalid element name \"DataVOS/Nothing\""},
      {[&] { text->SetAttribute("a", "x"); }, "TXMLCursor.SetAttribute - No such interface supported"},
      {[&] { text->SetValue("@a", "x"); }, "TXMLCursor.SetAttribute - No such interface supported"},
      {[&] { doc->SetAttribute("a b", "x"); }, "TXMLCursor.SetAttribute - Invalid attribute name \"a b\""},
      {[&] { doc->AppendChild("1st", ""); }, "TXMLCursor.AppendChild - Invalid element name \"1st\""},
      {[&] { text->AppendChild("x", ""); }, "TXMLCursor.AppendChild - This node cannot have child nodes"},
      {[&] { doc->SetValue("Aliases", "caf\xE9"); }, "TXMLCursor.SetValue - The text is not valid UTF-8"},
      {[&] { doc->AppendChild("x", "caf\xE9"); }, "TXMLCursor.AppendChild - The text is not valid UTF-8"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.action), c.message);
}

// --- structure --------------------------------------------------------------------

TEST(XMLCursorAppendChild, OnAFreshCursorStartsADocument) {
  IXMLCursorPtr cursor = TXMLCursor::Create();
  IXMLCursorPtr root = cursor->AppendChild("root", "");
  EXPECT_EQ(root->NodeName(), "root");
  EXPECT_EQ(cursor->NodeName(), "root");
  IXMLCursorPtr child = cursor->AppendChild("child", "v");
  cursor->AddChild("other", "");
  EXPECT_EQ(child->NodeName(), "child");
  EXPECT_EQ(child->CurrentIndex(), 0);
  EXPECT_EQ(cursor->XML(), "<root><child>v</child><other></other></root>\n");
}

TEST(XMLCursorAppendChild, ReturnsACursorOnTheNewElementAmongItsSiblings) {
  IXMLCursorPtr v = Loaded()->Select("//DataVO[idNVO=1]");
  IXMLCursorPtr added = v->AppendChild("complements", "");
  EXPECT_EQ(added->CurrentIndex(), 3);
  EXPECT_EQ(added->Count(), 4);
  added->AppendChild("complement", "a & b")->SetAttribute("type", "1");
  EXPECT_TRUE(EndsWith(v->XML(), "<complements><complement type=\"1\">a &amp; b</complement></complements></DataVO>"));
}

TEST(XMLCursorAppendChild, ASecondRootElementIsRefused) {
  IXMLCursorPtr top = Loaded()->Select("/");
  EXPECT_EQ(ErrorOf([&] { top->AppendChild("second", ""); }),
            "TXMLCursor.AppendChild - Only one top level element is allowed in an XML document");
}

TEST(XMLCursorDelete, RemovesAnAbsolutelySelectedSection) {
  IXMLCursorPtr doc = Loaded();
  for (const char* path : {"/document/LiensImagesS", "/document/Aliases"}) {
    IXMLCursorPtr section = doc->Select(path);
    section->Delete();
    EXPECT_TRUE(section->Eof());
    EXPECT_EQ(section->Count(), 0);
  }
  EXPECT_EQ(doc->XML().find("LiensImages"), std::string::npos);
  EXPECT_EQ(doc->XML().find("Aliases"), std::string::npos);
  EXPECT_NE(doc->XML().find("<idNVO>3</idNVO>"), std::string::npos);
}

TEST(XMLCursorDelete, MovesOnToTheNextNodeOrTheNewLast) {
  IXMLCursorPtr doc = Loaded("<r><a/><b/><c/></r>");
  IXMLCursorPtr children = doc->Select("*");
  children->MoveTo(1);
  children->Delete();
  EXPECT_EQ(children->NodeName(), "c");
  EXPECT_EQ(children->Count(), 2);
  children->Delete();
  EXPECT_EQ(children->NodeName(), "a");
  EXPECT_EQ(children->CurrentIndex(), 0);

  IXMLCursorPtr rows = Loaded(kExport)->Select("//DataVO");
  int deleted = 0;
  while (!rows->Eof() && deleted < 10) {  // deleting every row ends at Eof
    rows->Delete();
    ++deleted;
  }
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(rows->CurrentIndex(), -1);
}

TEST(XMLCursorDelete, NodesWithoutParentStay) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr attribute = doc->Select("DataVOS/@EOF");
  attribute->Delete();
  EXPECT_EQ(attribute->GetValue("."), "False");
  IXMLCursorPtr top = doc->Select("/");
  top->Delete();
  EXPECT_FALSE(top->Eof());
}

TEST(XMLCursorDelete, OtherCursorsOnTheRemovedNodesStaySafe) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr links = doc->Select("//LiensImages");
  IXMLCursorPtr fields = links->Select("*");
  doc->Select("/document/LiensImagesS")->Delete();
  EXPECT_EQ(links->GetValue("NomImage"), "p2a");
  fields->SetValue(".", "changed");
  EXPECT_EQ(fields->Count(), 2);
  EXPECT_EQ(doc->XML().find("changed"), std::string::npos);
}

// Each way of standing on a node keeps it readable after another cursor
// deleted it (the sanitizer build reads freed memory as a failure).
TEST(XMLCursorDelete, EveryKindOfHolderKeepsTheRemovedNodeReadable) {
  struct Case {
    const char* name;
    std::function<std::function<std::string()>(const IXMLCursorPtr& doc)> hold;
  };
  const std::vector<Case> cases = {
      {"a child list of the old parent standing on it",
       [](const IXMLCursorPtr& doc) {
         IXMLCursorPtr top = doc->Select("*");
         while (!top->Eof() && top->NodeName() != "LiensImagesS") top->Next();
         return std::function<std::string()>([top] { return top->NodeName() + top->GetValue("LiensImages/NomImage"); });
       }},
      {"a node handle inside it",
       [](const IXMLCursorPtr& doc) {
         std::shared_ptr<_xmlNode> node = doc->Select("//NomImage")->DOMNode();
         return std::function<std::string()>(
             [node] { return std::string(reinterpret_cast<const char*>(node->children->content)); });
       }},
      {"a selection of a node deep inside it",
       [](const IXMLCursorPtr& doc) {
         IXMLCursorPtr text = doc->Select("//LiensImages/NomImage/text()");
         return std::function<std::string()>([text] { return text->GetValue("."); });
       }},
      {"a child list of its first row",
       [](const IXMLCursorPtr& doc) {
         IXMLCursorPtr fields = doc->Select("//LiensImages")->Select("*");
         return std::function<std::string()>([fields] { return fields->NodeName() + fields->XML(); });
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IXMLCursorPtr doc = Loaded();
    const std::function<std::string()> read = c.hold(doc);
    const std::string before = read();
    doc->Select("/document/LiensImagesS")->Delete();
    EXPECT_EQ(read(), before);
    EXPECT_EQ(doc->XML().find("LiensImages"), std::string::npos);
  }
  // The same for a text replaced by an empty value while a cursor stands on it.
  IXMLCursorPtr doc = Loaded("<r><a>old</a></r>");
  IXMLCursorPtr text = doc->Select("a/text()");
  doc->Select("a")->SetValue(".", "");
  EXPECT_EQ(text->GetValue("."), "old");
  EXPECT_EQ(doc->XML(), "<r><a></a></r>\n");
}

#ifndef __SANITIZE_ADDRESS__
// A large deleted section that nothing stands on is given back at once,
// not carried to the end of the run beside the document's whole text.
TEST(XMLCursorDelete, ASectionNothingStandsOnIsFreedAtOnce) {
  std::string text = "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS><LiensImagesS>";
  for (int i = 0; i < 20000; ++i) text += "\n  <LiensImages><idNVO>1</idNVO><NomImage>1_" + std::to_string(i) + "</NomImage></LiensImages>";
  text += "</LiensImagesS></document>";
  IXMLCursorPtr doc = Loaded(text);
  const std::size_t before = mallinfo2().uordblks;
  doc->Select("/document/LiensImagesS")->Delete();
  const std::size_t after = mallinfo2().uordblks;
  EXPECT_GT(before, after + 5'000'000) << before << " -> " << after;
  EXPECT_EQ(doc->XML(), "<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS></document>\n");
}
#endif

// --- text -------------------------------------------------------------------------

TEST(XMLCursorXML, WholeDocumentForTopLevelNodesAndAttributes) {
  IXMLCursorPtr doc = Loaded();
  const std::string whole = doc->XML();
  EXPECT_TRUE(StartsWith(whole, "<?xml version=\"1.0\"?>\n<document>\n"));
  EXPECT_NE(whole.find("<DataVOS EOF=\"False\" Other=\"x\" RecordName=\"DataVO\">"), std::string::npos);
  EXPECT_NE(whole.find("<NOMPHOTO1></NOMPHOTO1></DataVO>\n    <DataVO><idNVO>2</idNVO><Marque>Peugeot</Marque><NOMPHOTO1></NOMPHOTO1>"),
            std::string::npos);
  EXPECT_NE(whole.find("<Aliases></Aliases>"), std::string::npos);
  EXPECT_EQ(whole.find("/>"), std::string::npos);
  EXPECT_EQ(doc->Select("DataVOS/@EOF")->XML(), whole);
  EXPECT_EQ(doc->Select("/")->XML(), whole);
  EXPECT_EQ(doc->Select("Aliases")->XML(), "<Aliases></Aliases>");
  EXPECT_EQ(doc->Select("DataVOS/DataVO/idNVO/text()")->XML(), "1");
  EXPECT_EQ(Loaded("<r/>")->XML(), "<r></r>\n");  // no declaration read, none written
}

TEST(XMLCursorLoad, LoadsReplaceTheDocumentForEverySharingCursor) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr vehicles = doc->Select("//DataVO");
  vehicles->LoadXML("<?xml version=\"1.0\"?><feed><a>1</a></feed>");
  EXPECT_EQ(vehicles->NodeName(), "feed");
  EXPECT_EQ(doc->XML(), "<?xml version=\"1.0\"?>\n<feed><a>1</a></feed>\n");
  EXPECT_EQ(doc->NodeName(), "document");  // its selection is not refreshed
  EXPECT_EQ(doc->GetValue("DataVOS/DataVO/idNVO"), "1");
}

TEST(XMLCursorLoad, AFailedLoadKeepsSelectionPositionAndContent) {
  IXMLCursorPtr doc = Loaded();
  IXMLCursorPtr vehicles = doc->Select("//DataVO");
  vehicles->MoveTo(1);
  const std::string before = doc->XML();
  EXPECT_EQ(ErrorOf([&] { vehicles->LoadXML("<?xml version=\"1.0\"?>\n<a>\n<b>\n</a>"); }),
            "Error 76 on line 4, char 5 in \"\"\r\n</a>\r\nOpening and ending tag mismatch: b line 3 and a");
  EXPECT_EQ(vehicles->CurrentIndex(), 1);
  EXPECT_EQ(vehicles->GetValue("idNVO"), "2");
  EXPECT_EQ(doc->XML(), before);
  // Empty text is a parse error too, never an empty success.
  EXPECT_EQ(ErrorOf([&] { vehicles->LoadXML(""); }), "Error 4 on line 1, char 1 in \"\"\r\n\r\nDocument is empty");
  EXPECT_EQ(vehicles->CurrentIndex(), 1);
}

// The program's own text: the old tree goes before the new one is read, so a
// failed reload shows it already gone; a tree another cursor holds stays.
TEST(XMLCursorLoad, ReloadLetsTheOldTreeGoFirst) {
  IXMLCursorPtr doc = Loaded();
  std::weak_ptr<_xmlDoc> old = doc->DOMDocument();
  doc->ReloadXML("<?xml version=\"1.0\"?>\n<feed><a>1</a></feed>");
  EXPECT_TRUE(old.expired());
  EXPECT_EQ(doc->NodeName(), "feed");
  EXPECT_EQ(doc->XML(), "<?xml version=\"1.0\"?>\n<feed><a>1</a></feed>\n");

  old = doc->DOMDocument();
  EXPECT_EQ(ErrorOf([&] { doc->ReloadXML("<a>\n<b>\n</a>"); }),
            "Error 76 on line 3, char 5 in \"\"\r\n</a>\r\nOpening and ending tag mismatch: b line 2 and a");
  EXPECT_TRUE(old.expired());
  EXPECT_TRUE(doc->Eof());
  EXPECT_EQ(doc->XML(), "");

  doc->ReloadXML("<r><v>1</v></r>");
  IXMLCursorPtr held = doc->Select("v");
  doc->ReloadXML("<r><v>2</v></r>");
  EXPECT_EQ(held->GetValue("."), "1");
  EXPECT_EQ(doc->GetValue("v"), "2");

  // Unload is the first half alone: the document empty, the content gone
  // unless a cursor still stands on it.
  old = doc->DOMDocument();
  doc->Unload();
  EXPECT_EQ(held->GetValue("."), "1");
  EXPECT_TRUE(old.expired());
  EXPECT_TRUE(doc->Eof());
  EXPECT_EQ(doc->XML(), "");
  EXPECT_EQ(doc->RootCursor()->Count(), 0);
  doc->ReloadXML("<r><v>3</v></r>");
  EXPECT_EQ(doc->RootCursor()->GetValue("v"), "3");
}

TEST(XMLCursorLoad, FileErrorsCarryThePrefixOfWhetherTheFileExists) {
  TTempDir dir;
  const std::string missing = dir / "ExpDatasNone.xml";
  EXPECT_EQ(ErrorOf([&] { TXMLCursor::Create()->Load(missing); }),
            "TXMLCursor.Load FileName[" + missing + "] does not exists\r\nError 2 on line 0, char 0 in \"" + missing +
                "\"\r\n\r\nFile not found");
  const std::string broken = dir / "broken.xml";
  testsupport::WriteFile(broken, "<a>\n<b x='1' x='2'/></a>");
  EXPECT_EQ(ErrorOf([&] { TXMLCursor::Create()->Load(broken); }),
            "TXMLCursor.Load FileName: \"" + broken + "\"\r\nError 42 on line 2, char 15 in \"" + broken +
                "\"\r\n<b x='1' x='2'/></a>\r\nAttribute x redefined");
}

TEST(XMLCursorLoad, AFileIsReadInItsDeclaredEncoding) {
  TTempDir dir;
  testsupport::WriteFile(dir / "latin9.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><a>\xE9\xA4\xBC</a>");
  IXMLCursorPtr doc = TXMLCursor::Create();
  doc->Load(dir / "latin9.xml");
  EXPECT_EQ(doc->GetValue("."), "é€Œ");
  EXPECT_EQ(doc->XML(), "<?xml version=\"1.0\"?>\n<a>é€Œ</a>\n");
}

TEST(XMLCursorSave, WritesTheBytesOfTheDeclaredEncoding) {
  TTempDir dir;
  IXMLCursorPtr doc = Loaded("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?><a>é€Œł<e/></a>");
  doc->Save(dir / "feed.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "feed.xml"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<a>\xE9\xA4\xBC&#322;<e></e></a>\n");
  doc->LoadXML("<a>é</a>");
  doc->Save(dir / "feed.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "feed.xml"), "<a>\xC3\xA9</a>\n");
  doc->LoadXML("<?xml version=\"1.0\"?><a>é</a>");
  doc->Save(dir / "feed.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "feed.xml"), "<?xml version=\"1.0\"?>\n<a>\xC3\xA9</a>\n");
}

// Save streams: a document of several stretches comes out whole, in order.
TEST(XMLCursorSave, ALargeDocumentIsWrittenWhole) {
  TTempDir dir;
  std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><a>";
  std::string expected = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<a>";
  for (int k = 0; k < 300000; ++k) {
    text += "<v>" + std::to_string(k) + "é€</v>";
    expected += "<v>" + std::to_string(k) + "\xE9\xA4</v>";
  }
  text += "</a>";
  expected += "</a>\n";
  Loaded(text)->Save(dir / "feed.xml");
  EXPECT_TRUE(testsupport::ReadFile(dir / "feed.xml") == expected);
}

TEST(XMLCursorSave, CreatesTheFolderChainFirst) {
  TTempDir dir;
  IXMLCursorPtr doc = Loaded("<a/>");
  doc->Save(dir.Path() + "\\one\\two\\feed.xml");
  EXPECT_EQ(testsupport::ReadFile(dir / "one/two/feed.xml"), "<a></a>\n");
  EXPECT_EQ(ErrorOf([&] { doc->Save("feed.xml"); }), "TXMLCursor.Save FileName: \"feed.xml\"\r\nCannot Create Blank Directory");
  testsupport::WriteFile(dir / "file", "x");
  EXPECT_TRUE(StartsWith(ErrorOf([&] { doc->Save(dir / "file/sub/feed.xml"); }),
                         "TXMLCursor.Save FileName: \"" + (dir / "file/sub/feed.xml") + "\"\r\n"));
}

// An encoding libxml2 has no writer for, or one whose file could not be read
// again (UTF-7 writes the declaration's "<" as "+ADw"), is refused.
TEST(XMLCursorSave, AnEncodingThatCannotBeWrittenFailsBeforeTheFile) {
  TTempDir dir;
  for (const std::string encoding : {"x-unknown", "UTF-7", "utf-7"}) {
    SCOPED_TRACE(encoding);
    IXMLCursorPtr doc = Loaded("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><a>x &amp; y</a>");
    EXPECT_EQ(ErrorOf([&] { doc->Save(dir / "feed.xml"); }),
              "TXMLCursor.Save FileName: \"" + (dir / "feed.xml") + "\"\r\nUnsupported encoding \"" + encoding + "\"");
    EXPECT_FALSE(testsupport::PathExists(dir / "feed.xml"));
  }
  // A file in UTF-7 reads; only writing it back is refused.
  testsupport::WriteFile(dir / "utf7.xml", "<?xml version=\"1.0\" encoding=\"UTF-7\"?><a>caf+AOk-</a>");
  IXMLCursorPtr doc = TXMLCursor::Create();
  doc->Load(dir / "utf7.xml");
  EXPECT_EQ(doc->GetValue("."), "café");
  EXPECT_NE(ErrorOf([&] { doc->Save(dir / "feed.xml"); }), "");
  // Whatever the name, a file either is refused or reads again whole, with
  // references for the characters its encoding cannot hold.
  for (const std::string encoding : {"windows-1252", "windows-.1252", "ISO-8859-15", "latin1", "UTF-16BE"}) {
    SCOPED_TRACE(encoding);
    std::filesystem::remove(dir / "feed.xml");
    IXMLCursorPtr loaded = Loaded("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><d>\xC4\x80 é</d>");
    if (!ErrorOf([&] { loaded->Save(dir / "feed.xml"); }).empty()) continue;
    IXMLCursorPtr again = TXMLCursor::Create();
    again->Load(dir / "feed.xml");
    EXPECT_EQ(again->XML(), "<?xml version=\"1.0\"?>\n<d>\xC4\x80 é</d>\n");
  }
  // Encodings found again from their first bytes are written.
  for (const std::string encoding : {"UTF-16", "UTF-16LE", "ISO-8859-1"}) {
    SCOPED_TRACE(encoding);
    Loaded("<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><a>café</a>")->Save(dir / "feed.xml");
    IXMLCursorPtr again = TXMLCursor::Create();
    again->Load(dir / "feed.xml");
    EXPECT_EQ(again->GetValue("."), "café");
  }
}

TEST(XMLCursorSave, WithoutDocumentWritesNothing) {
  TTempDir dir;
  TXMLCursor::Create()->Save(dir / "sub/feed.xml");
  EXPECT_FALSE(testsupport::PathExists(dir / "sub"));
}

// --- safety -----------------------------------------------------------------------

TEST(XMLCursorSafety, EntityDeclarationsAreRefusedAndNothingIsRead) {
  TTempDir dir;
  testsupport::WriteFile(dir / "secret.txt", "SECRET-CONTENT");
  const std::string external = "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n<!ENTITY x SYSTEM \"file://" +
                               (dir / "secret.txt") + "\">\n]>\n<document><DataVOS>&x;</DataVOS></document>";
  std::string bomb = "<!DOCTYPE d [<!ENTITY a \"" + std::string(1000, 'a') + "\">]><d>";
  for (int i = 0; i < 1000; ++i) bomb += "&a;";
  bomb += "</d>";
  testsupport::WriteFile(dir / "external.xml", external);

  testing::internal::CaptureStderr();
  IXMLCursorPtr doc = TXMLCursor::Create();
  const std::string fromText = ErrorOf([&] { doc->LoadXML(external); });
  const std::string fromFile = ErrorOf([&] { doc->Load(dir / "external.xml"); });
  const std::string fromBomb = ErrorOf([&] { doc->LoadXML(bomb); });
  ErrorOf([&] { doc->LoadXML("<a><b></a>"); });
  ErrorOf([&] { Loaded("<a/>")->GetValue("foo(1)"); });
  ErrorOf([&] { Loaded("<a/>")->Select("a["); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // libxml2 prints nothing itself

  EXPECT_TRUE(StartsWith(fromText, "Error 111 on line 3, char ")) << fromText;
  EXPECT_TRUE(EndsWith(fromText, "Entity declarations are not allowed (entity 'x')")) << fromText;
  EXPECT_NE(fromFile.find("Entity declarations are not allowed"), std::string::npos);
  EXPECT_NE(fromBomb.find("Entity declarations are not allowed"), std::string::npos);
  for (const std::string& message : {fromText, fromFile, fromBomb})
    EXPECT_EQ(message.find("SECRET-CONTENT"), std::string::npos);
  EXPECT_EQ(doc->XML(), "");
}

TEST(XMLCursorSafety, AnExternalDtdIsNotRead) {
  TTempDir dir;
  testsupport::WriteFile(dir / "defs.dtd", "<!ENTITY x \"SECRET-CONTENT\">");
  IXMLCursorPtr doc = Loaded("<!DOCTYPE d SYSTEM \"" + (dir / "defs.dtd") + "\"><d>&x;</d>");
  EXPECT_EQ(doc->GetValue("."), "");
  EXPECT_EQ(doc->XML().find("SECRET-CONTENT"), std::string::npos);
}
