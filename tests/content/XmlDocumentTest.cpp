#include <gtest/gtest.h>

#include <string>

#include "ContentFiles.h"
#include "content/XmlDocument.h"
#include "base/TextConv.h"

using namespace contenttest;

namespace {

class XmlDocument : public ::testing::Test {
 protected:
  // The document as it would be saved, without its declaration line.
  std::string Saved() {
    auto file = tmp.path() / "saved.xml";
    EXPECT_TRUE(xml.SaveFile(FromUtf8(file.string())));
    std::string text = ReadBytes(file);
    return text.substr(text.find('\n') + 1);
  }
  // Tag names of the current element's children, from the current child on.
  std::u16string ChildNames() {
    std::u16string names;
    while (xml.FindChild()) names += xml.GetChildName() + u" ";
    return names;
  }

  TempDir tmp;
  RecordingUser user;
  CXmlDocument xml;
};

}  // namespace

TEST_F(XmlDocument, FirstChildSearchPositionsOnTheRoot) {
  ASSERT_TRUE(xml.LoadText(u"<?pi x?><!-- c --><Article><Title>t</Title><Description>d</Description></Article>"));
  ASSERT_TRUE(xml.FindChild(u"Description"));
  EXPECT_EQ(xml.GetChildText(), u"d");
  EXPECT_FALSE(xml.FindChild(u"Title"));  // it stands before the one found
  EXPECT_FALSE(xml.FindSibling());        // one top-level element only
}

TEST_F(XmlDocument, SearchesGoForwardOnlyAndIgnoreCase) {
  ASSERT_TRUE(xml.LoadText(u"<r><pubdate>p</pubdate>text<!--c--><title>t</title><RSS/><x:a xmlns:x='urn:x'/></r>"));
  ASSERT_TRUE(xml.FindChild(u"title"));
  EXPECT_FALSE(xml.FindChild(u"pubdate"));
  EXPECT_EQ(xml.GetChildText(), u"t");  // a failed search leaves the cursor alone
  EXPECT_TRUE(xml.FindChild(u"rss"));
  EXPECT_EQ(xml.GetChildName(), u"RSS");
  EXPECT_TRUE(xml.FindChild(u"X:A"));  // the prefix is part of the name

  ASSERT_TRUE(xml.LoadText(u"<r><pubdate>p</pubdate><title>t</title></r>"));
  EXPECT_TRUE(xml.FindChild(u"PUBDATE"));
  EXPECT_TRUE(xml.FindChild(u"Title"));
  ASSERT_TRUE(xml.LoadText(u"<r><a/>x<b/></r>"));
  EXPECT_EQ(ChildNames(), u"a b ");  // empty name: the next element of any name
}

TEST_F(XmlDocument, ChildTextJoinsDescendantText) {
  ASSERT_TRUE(
      xml.LoadText(u"<!DOCTYPE r [<!ENTITY e 'ent'>]>"
                   u"<r><empty/><only>just &lt;this&gt;</only><mixed>a<b>b<c>c</c></b><![CDATA[<d>]]>&e;</mixed></r>"));
  EXPECT_EQ(xml.GetChildText(), u"");  // no current child
  ASSERT_TRUE(xml.FindChild(u"empty"));
  EXPECT_EQ(xml.GetChildText(), u"");
  ASSERT_TRUE(xml.FindChild(u"only"));
  EXPECT_EQ(xml.GetChildText(), u"just <this>");
  ASSERT_TRUE(xml.FindChild(u"mixed"));
  EXPECT_EQ(xml.GetChildText(), u"abc<d>ent");
}

TEST_F(XmlDocument, StepInAndOutMoveTheThreeLevels) {
  ASSERT_TRUE(xml.LoadText(u"<r><a><a1>1</a1><a2>2</a2></a><b>B</b></r>"));
  EXPECT_FALSE(xml.StepIn());   // no current element yet
  EXPECT_FALSE(xml.StepOut());  // already at the top level
  ASSERT_TRUE(xml.FindChild(u"a"));
  ASSERT_TRUE(xml.StepIn());
  ASSERT_TRUE(xml.FindChild(u"a2"));
  EXPECT_EQ(xml.GetChildText(), u"2");
  ASSERT_TRUE(xml.StepOut());  // a becomes the current child again
  EXPECT_EQ(xml.GetChildName(), u"a");
  ASSERT_TRUE(xml.FindChild(u"b"));
  EXPECT_EQ(xml.GetChildText(), u"B");
  EXPECT_FALSE(xml.StepOut());  // the root's parent is the document itself
  EXPECT_EQ(xml.GetChildName(), u"b");

  ASSERT_TRUE(xml.LoadText(u"<r><a/></r>"));  // loading resets the cursor
  EXPECT_EQ(xml.GetChildName(), u"");
  ASSERT_TRUE(xml.FindSibling(u"R"));
  ASSERT_TRUE(xml.StepIn());  // no current child: nothing is current inside
  EXPECT_FALSE(xml.FindChild(u"a"));
}

TEST_F(XmlDocument, AddElementPlacesByTheReference) {
  ASSERT_TRUE(xml.LoadText(u"<r><a/><c/></r>"));
  EXPECT_FALSE(xml.AddChild(u"x", u"t"));  // no current element: nothing is created
  ASSERT_TRUE(xml.FindSibling());
  ASSERT_TRUE(xml.FindChild(u"a"));
  ASSERT_TRUE(xml.AddElement(u"b", u"", false, true));      // after the reference
  ASSERT_TRUE(xml.AddElement(u"ab", nullptr, true, true));  // before it
  EXPECT_EQ(Saved(), "<r><a/><ab/><b/><c/></r>\n");

  ASSERT_TRUE(xml.LoadText(u"<r><a/></r>"));
  ASSERT_TRUE(xml.FindSibling());
  ASSERT_TRUE(xml.AddChild(u"one", u"1"));  // no reference: last
  ASSERT_TRUE(xml.AddChild(u"two"));        // then after the one added before
  ASSERT_TRUE(xml.StepIn());                // inside "two", which is empty
  ASSERT_TRUE(xml.AddElement(u"in", u"", true, true));
  ASSERT_TRUE(xml.StepOut());
  ASSERT_TRUE(xml.AddChild(u"three"));
  EXPECT_EQ(Saved(), "<r><a/><one>1</one><two><in/></two><three/></r>\n");

  ASSERT_TRUE(xml.LoadText(u"<r><a/></r>"));
  ASSERT_TRUE(xml.FindSibling());                          // current r, no child
  ASSERT_TRUE(xml.AddElement(u"zero", u"0", true, true));  // no reference: first
  EXPECT_EQ(Saved(), "<r><zero>0</zero><a/></r>\n");
}

TEST_F(XmlDocument, AddElementAsSibling) {
  ASSERT_TRUE(xml.LoadText(u"<r><a/><c/></r>"));
  ASSERT_TRUE(xml.FindChild(u"a"));
  ASSERT_TRUE(xml.StepIn());  // parent r, current a
  ASSERT_TRUE(xml.AddElement(u"b", u"", false, false));
  EXPECT_EQ(xml.GetChildName(), u"");  // the child is dropped, b is current
  ASSERT_TRUE(xml.AddChild(u"b1"));
  ASSERT_TRUE(xml.AddElement(u"first", u"", true, false));
  EXPECT_EQ(Saved(), "<r><a/><first/><b><b1/></b><c/></r>\n");
  // A second top-level element cannot exist.
  ASSERT_TRUE(xml.StepOut());  // back at the top level, r current
  EXPECT_THROW(xml.AddElement(u"other", u"", false, false), _com_error);
  EXPECT_THROW(xml.AddChild(u"bad name"), _com_error);

  CXmlDocument fresh;  // an empty document takes its root as a sibling
  ASSERT_TRUE(fresh.AddElement(u"root", u"x", false, false));
  EXPECT_FALSE(fresh.FindSibling());
  EXPECT_FALSE(fresh.FindChild());  // nothing inside but the text
}

TEST_F(XmlDocument, TextsSurviveTheFile) {
  const std::u16string text = u"中文 <b>&amp;\"' ]]> \r\n\ttab \U0001F600";
  ASSERT_TRUE(xml.LoadText(u"<r/>"));
  ASSERT_TRUE(xml.FindSibling());
  ASSERT_TRUE(xml.AddChild(u"t", text));
  // Characters that XML cannot carry become U+FFFD rather than spoil the file.
  ASSERT_TRUE(xml.AddChild(u"bad", std::u16string(u"a\x01"
                                                  u"b\0c",
                                                  5) +
                                       char16_t(0xD800) + u"d\uFFFF"));
  auto file = tmp.path() / "t.xml";
  ASSERT_TRUE(xml.SaveFile(FromUtf8(file.string())));
  std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  EXPECT_NE(bytes.find("中文"), std::string::npos);  // written as UTF-8, not as references
  if (HaveXmllint()) {
    EXPECT_TRUE(XmllintAccepts(file));
  }

  CXmlDocument back;
  ASSERT_TRUE(back.LoadFile(FromUtf8(file.string())));
  ASSERT_TRUE(back.FindChild(u"t"));
  EXPECT_EQ(back.GetChildText(), text);
  ASSERT_TRUE(back.FindChild(u"bad"));
  EXPECT_EQ(back.GetChildText(), u"a\uFFFDb\uFFFDc\uFFFDd\uFFFD");
}

TEST_F(XmlDocument, ForeignEncodingsAreRead) {
  auto file = tmp.path() / "gbk.xml";
  // "中文" in GBK.
  WriteBytes(file, "<?xml version=\"1.0\" encoding=\"GBK\"?><r><t>\xD6\xD0\xCE\xC4</t></r>");
  ASSERT_TRUE(xml.LoadFile(FromUtf8(file.string())));
  ASSERT_TRUE(xml.FindChild(u"t"));
  EXPECT_EQ(xml.GetChildText(), u"中文");
  // Text handed over is already decoded, whatever its declaration says.
  ASSERT_TRUE(xml.LoadText(u"<?xml version=\"1.0\" encoding=\"GB2312\"?><r><t>中文</t></r>"));
  ASSERT_TRUE(xml.FindChild(u"t"));
  EXPECT_EQ(xml.GetChildText(), u"中文");
}

TEST_F(XmlDocument, LoadFailures) {
  ASSERT_TRUE(xml.LoadText(u"<r><a/></r>"));
  EXPECT_FALSE(xml.LoadFile(FromUtf8((tmp.path() / "missing.xml").string())));
  EXPECT_FALSE(xml.LoadFile(tmp.u16()));  // a folder
  EXPECT_TRUE(user.texts.empty());        // files fail silently
  EXPECT_FALSE(xml.FindChild(u"a"));      // the old document is gone

  EXPECT_FALSE(xml.LoadText(u"<r><a></r>"));
  ASSERT_EQ(user.texts.size(), 1u);
  EXPECT_EQ(user.types[0], MB_OK);
  EXPECT_FALSE(user.texts[0].empty());
  EXPECT_NE(user.texts[0].back(), u'\n');
  EXPECT_EQ(user.texts[0], xml.GetLastError());
  EXPECT_NE(user.texts[0].find(u"mismatch"), std::u16string::npos) << ToUtf8(user.texts[0]);
}

TEST_F(XmlDocument, ReleasedDocument) {
  ASSERT_TRUE(xml.LoadText(u"<r><a>1</a></r>"));
  ASSERT_TRUE(xml.FindChild(u"a"));
  xml.ReleaseDocument();
  EXPECT_EQ(xml.GetChildText(), u"");
  EXPECT_FALSE(xml.StepIn());
  try {
    xml.FindSibling();
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
  EXPECT_THROW(xml.FindChild(u"a"), _com_error);
  EXPECT_THROW(xml.SaveFile(FromUtf8((tmp.path() / "x.xml").string())), _com_error);
  EXPECT_THROW(xml.AddChild(u"a"), _com_error);
  ASSERT_TRUE(xml.LoadText(u"<r><a>1</a></r>"));  // a new document
  ASSERT_TRUE(xml.FindChild(u"a"));
  EXPECT_EQ(xml.GetChildText(), u"1");
  EXPECT_FALSE(xml.SaveFile(FromUtf8((tmp.path() / "no" / "x.xml").string())));
}

// The engine puts an encoding fault's bytes on a line of their own; the
// reason people are shown is one line with them.
TEST_F(XmlDocument, AnEncodingFaultIsOneLine) {
  const std::u16string lone{u'<', u'r', u'>', char16_t(0xD800), u'<', u'/', u'r', u'>'};
  EXPECT_FALSE(xml.LoadText(lone));
  ASSERT_EQ(user.texts.size(), 1u);
  EXPECT_EQ(user.texts[0].find(u'\n'), std::u16string::npos) << ToUtf8(user.texts[0]);
  EXPECT_FALSE(user.texts[0].empty());
}
