#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/SimpleXMLParser.h"

namespace ornpm {
namespace {

// What the reader held at the moment of an event: "@CurrentNode{name=value,...}".
std::wstring ReaderState(const TSimpleXMLParser& parser) {
  std::wstring state = L"@" + parser.CurrentNode();
  const TNameValueList& attrs = parser.NodeAttributes();
  if (attrs.Count() == 0) return state;
  state += L"{";
  for (size_t i = 0; i < attrs.Count(); ++i)
    state.append(i ? L"," : L"").append(attrs.Name(i)).append(L"=").append(attrs.ValueAt(i));
  return state + L"}";
}

struct TTrace {
  bool Result = false;
  std::vector<std::wstring> Events;  // each event with its arguments and the reader's state
};

TTrace Trace(std::wstring_view xml) {
  TSimpleXMLParser parser;
  TTrace trace;
  auto record = [&](const std::wstring& event) { trace.Events.push_back(event + L" " + ReaderState(parser)); };
  parser.OnBeginHeader.Handler = [&](const std::wstring& name) { record(L"header(" + name + L")"); };
  parser.OnEndHeader.Handler = [&](const std::wstring& name) { record(L"/header(" + name + L")"); };
  parser.OnBeginNode.Handler = [&](const std::wstring& name) { record(L"begin(" + name + L")"); };
  parser.OnEndNode.Handler = [&](const std::wstring& name) { record(L"end(" + name + L")"); };
  parser.OnReadAttribute.Handler = [&](const std::wstring& name, const std::wstring& value) {
    record(L"attr(" + name + L"=" + value + L")");
  };
  parser.OnComment.Handler = [&](const std::wstring& text) { record(L"comment(" + text + L")"); };
  trace.Result = parser.Parse(xml);
  return trace;
}

struct TCase {
  std::wstring Xml;
  bool Result;
  std::vector<std::wstring> Events;
};

void ExpectTraces(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "input: " << c.Xml);
    TTrace trace = Trace(c.Xml);
    EXPECT_EQ(trace.Result, c.Result);
    EXPECT_EQ(trace.Events, c.Events);
  }
}

TEST(SimpleXMLParser, EventsSeeTheTagReadLast) {
  ExpectTraces({
      // A report as the program writes it: a start tag's handler still sees the parent with
      // all its attributes; an end tag's handler sees the end of the last child.
      {L"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
       L"<!-- ORN -->\r\n"
       L"<Info>\r\n"
       L"  <PlugIn Path=\"C:\\ORN\\orn.dll\" Version=\"1.2\">\r\n"
       L"    <Process Name=\"host.exe\" PID=\"12\"/>\r\n"
       L"  </PlugIn>\r\n"
       L"</Info>\r\n",
       true,
       {
           L"header(xml) @",
           L"attr(version=1.0) @xml",
           L"attr(encoding=windows-1251) @xml{version=1.0}",
           L"/header(xml) @xml{version=1.0,encoding=windows-1251}",
           L"comment( ORN ) @xml{version=1.0,encoding=windows-1251}",
           L"begin(Info) @xml{version=1.0,encoding=windows-1251}",
           L"begin(PlugIn) @Info",
           L"attr(Path=C:\\ORN\\orn.dll) @PlugIn",
           L"attr(Version=1.2) @PlugIn{Path=C:\\ORN\\orn.dll}",
           L"begin(Process) @PlugIn{Path=C:\\ORN\\orn.dll,Version=1.2}",
           L"attr(Name=host.exe) @Process",
           L"attr(PID=12) @Process{Name=host.exe}",
           L"end(Process) @Process{Name=host.exe,PID=12}",
           L"end(PlugIn) @Process{Name=host.exe,PID=12}",
           L"end(Info) @PlugIn",
       }},
      // Without children the end tag sees its own start tag.
      {L"<a x=\"1\"></a>", true, {L"begin(a) @", L"attr(x=1) @a", L"end(a) @a{x=1}"}},
      // End tags match without regard to letter case.
      {L"<a><b/></A>", true, {L"begin(a) @", L"begin(b) @a", L"end(b) @b", L"end(A) @b"}},
      // "?>" closes any tag but ends only a declaration, which never enters the element stack.
      {L"<?xml?><a?><b/></a>",
       true,
       {L"header(xml) @", L"/header(xml) @xml", L"begin(a) @xml", L"begin(b) @a", L"end(b) @b", L"end(a) @b"}},
  });
}

TEST(SimpleXMLParser, ReadsBlanksValuesAndComments) {
  ExpectTraces({
      {L"< a  b = \"1\"\r\n\tc=\"x\r\ny\" ></ a >",
       true,
       {L"begin(a) @", L"attr(b=1) @a", L"attr(c=x\r\ny) @a{b=1}", L"end(a) @a{b=1,c=x\r\ny}"}},
      // Values are unescaped one level; an empty value is reported but not kept; a repeated
      // name replaces the value in place; attributes need no blank between them.
      {L"<a v=\"&amp;lt;\" e=\"\" w=\"Плагин &quot;ORN&quot;\" V=\"2\" x=\"1\"y=\"2\"/>",
       true,
       {
           L"begin(a) @",
           L"attr(v=&lt;) @a",
           L"attr(e=) @a{v=&lt;}",
           L"attr(w=Плагин \"ORN\") @a{v=&lt;}",
           L"attr(V=2) @a{v=&lt;,w=Плагин \"ORN\"}",
           L"attr(x=1) @a{v=2,w=Плагин \"ORN\"}",
           L"attr(y=2) @a{v=2,w=Плагин \"ORN\",x=1}",
           L"end(a) @a{v=2,w=Плагин \"ORN\",x=1,y=2}",
       }},
      {L"<a v=\"1\" V=\"\"/>", true, {L"begin(a) @", L"attr(v=1) @a", L"attr(V=) @a{v=1}", L"end(a) @a"}},
      // Removing a value keeps the others in order; the next tag starts with no attributes.
      {L"<a x=\"1\" y=\"2\" z=\"3\" Y=\"\" w=\"4\"/><b v=\"5\"/>",
       true,
       {
           L"begin(a) @",
           L"attr(x=1) @a",
           L"attr(y=2) @a{x=1}",
           L"attr(z=3) @a{x=1,y=2}",
           L"attr(Y=) @a{x=1,y=2,z=3}",
           L"attr(w=4) @a{x=1,z=3}",
           L"end(a) @a{x=1,z=3,w=4}",
           L"begin(b) @a{x=1,z=3,w=4}",
           L"attr(v=5) @b",
           L"end(b) @b{v=5}",
       }},
      // Single and double dashes belong to the comment; only "-->" ends it.
      {L"<a k=\"1\"><!-- a - b -- c --></a><!---->",
       true,
       {L"begin(a) @", L"attr(k=1) @a", L"comment( a - b -- c ) @a{k=1}", L"end(a) @a{k=1}", L"comment() @a"}},
  });
}

TEST(SimpleXMLParser, FailsAfterTheEndEventOnAnEndThatClosesNothingOpen) {
  ExpectTraces({
      {L"<a></b>", false, {L"begin(a) @", L"end(b) @a"}},
      {L"<a><b/></a></a>", false, {L"begin(a) @", L"begin(b) @a", L"end(b) @b", L"end(a) @b", L"end(a) @a"}},
      {L"</a>", false, {L"end(a) @"}},
      {L"<a/></a>", false, {L"begin(a) @", L"end(a) @a", L"end(a) @a"}},
      {L"<a/><b/>", true, {L"begin(a) @", L"end(a) @a", L"begin(b) @a", L"end(b) @b"}},
      {L"<?xml/>", false, {L"header(xml) @", L"end(xml) @xml"}},
      {L"<?xml?></xml>", false, {L"header(xml) @", L"/header(xml) @xml", L"end(xml) @xml"}},
  });
}

TEST(SimpleXMLParser, FailsOnMarkupItNeverWrites) {
  ExpectTraces({
      {L"<a b c=\"1\"/>", false, {L"begin(a) @"}},
      {L"<a b=\"1\" c>", false, {L"begin(a) @", L"attr(b=1) @a"}},
      {L"text", false, {}},
      {L"<a>text</a>", false, {L"begin(a) @"}},
      {L"<a -x=\"1\">", false, {L"begin(a) @"}},
      {L"<a_b/>", false, {L"begin(a) @"}},
      {L"<Плагин/>", false, {L"begin() @"}},
      {L"<a b=c>", false, {L"begin(a) @"}},
      {L"<a b='c'>", false, {L"begin(a) @"}},
      {L"<a b= >", false, {L"begin(a) @"}},
      {L"<!DOCTYPE a><a/>", false, {}},
      {L"<![CDATA[x]]>", false, {}},
  });
}

TEST(SimpleXMLParser, TextEndingInsideMarkup) {
  ExpectTraces({
      // Accepted: open elements, an unfinished tag, an unterminated value or comment.
      {L"<a><b>", true, {L"begin(a) @", L"begin(b) @a"}},
      {L"<a ", true, {L"begin(a) @"}},
      {L"<a /", true, {L"begin(a) @"}},
      {L"<a b=\"c", true, {L"begin(a) @", L"attr(b=c) @a"}},
      {L"<a b= ", true, {L"begin(a) @", L"attr(b=) @a"}},
      {L"<a/><!-- x -", true, {L"begin(a) @", L"end(a) @a"}},
      {L"<!--->", true, {}},
      // The mark after "<" counts only when another character follows it.
      {L"<a></", true, {L"begin(a) @", L"begin() @a"}},
      // Rejected: a "<", "=" or quote as the last character, and "<!--" with nothing after it.
      {L"<a/><", false, {L"begin(a) @", L"end(a) @a"}},
      {L"<a b=", false, {L"begin(a) @"}},
      {L"<a b=\"", false, {L"begin(a) @", L"attr(b=) @a"}},
      {L"<a b=\"c\"", false, {L"begin(a) @", L"attr(b=c) @a"}},
      {L"<!--", false, {}},
  });
}

// A text that runs out inside an element was cut off there, whatever Parse made of its last
// tag; a fault before the end, or a text whose elements are all closed, was not.
TEST(SimpleXMLParser, TellsWhereACutOffTextEnds) {
  const struct {
    std::wstring Xml;
    std::optional<std::wstring> Inside;  // the innermost element begun by a whole start tag
  } cases[] = {
      {L"<a><b/></a>", std::nullopt},
      {L"<a><b/></a", std::nullopt},
      {L"<a></a>\r\n<b x=\"1", std::nullopt},
      {L"<a><b>\r\n\r\n", L"b"},
      {L"<a><b x=\"1", L"a"},
      {L"<a><b x", L"a"},
      {L"<a><b/", L"a"},
      {L"<a><b/><", L"a"},
      {L"<a></b", L"a"},
      {L"<a><!-- x", L"a"},
      {L"<a></b>\r\n", std::nullopt},
      {L"<a><b></b/>", std::nullopt},
      {L"<a>text", std::nullopt},
  };
  for (const auto& c : cases) {
    TSimpleXMLParser parser;
    parser.Parse(c.Xml);
    EXPECT_EQ(parser.CutOffInside(), c.Inside) << testing::PrintToString(c.Xml);
  }
}

TEST(SimpleXMLParser, KeepsItsListsOnlyDuringParse) {
  TSimpleXMLParser parser;
  EXPECT_TRUE(parser.Parse(L"<a><b x=\"1\"/>"));
  EXPECT_EQ(parser.CurrentNode(), L"b");
  EXPECT_EQ(parser.NodeAttributes().Count(), 0u);
  EXPECT_FALSE(parser.Parse(L"</a>")) << "element a was left open by the previous parse only";

  parser.OnEndNode.Handler = [](const std::wstring&) { throw std::runtime_error("handler failed"); };
  EXPECT_THROW(parser.Parse(L"<c y=\"2\"/>"), std::runtime_error);
  EXPECT_EQ(parser.CurrentNode(), L"c");
  EXPECT_EQ(parser.NodeAttributes().Count(), 0u);
}

// An empty value is not kept among the attributes, but the tag is known to carry it, in
// the same events that see the other attributes.
TEST(SimpleXMLParser, TellsWhichAttributesATagCarriesEmptyOnesIncluded) {
  TSimpleXMLParser parser;
  std::vector<std::wstring> carried;
  parser.OnEndNode.Handler = [&](const std::wstring& name) {
    std::wstring seen = name + L":";
    for (const wchar_t* attribute : {L"v", L"e", L"E", L"r", L"missing"})
      if (parser.HasAttribute(attribute)) seen.append(L" ").append(attribute);
    carried.push_back(seen);
  };
  EXPECT_TRUE(parser.Parse(L"<a v=\"1\" e=\"\" r=\"x\" R=\"\"/><b></b>"));
  EXPECT_EQ(carried, (std::vector<std::wstring>{L"a: v e E r", L"b:"}));
  EXPECT_FALSE(parser.HasAttribute(L"v")) << "only while the parse runs";
}

TEST(XMLEscaping, EscapesAndUnescapesOneLevel) {
  struct Case {
    std::wstring Text;
    std::wstring Xml;
  };
  const Case escapes[] = {
      {L"a&b<c>d\"e'f\r\n", L"a&amp;b&lt;c&gt;d&quot;e'f\r\n"},
      {L"&lt;", L"&amp;lt;"},
      {L"Плагин", L"Плагин"},
  };
  for (const Case& c : escapes) EXPECT_EQ(TextToXML(c.Text), c.Xml) << c.Text;

  const Case unescapes[] = {
      {L"\"><&", L"&quot;&gt;&lt;&amp;"},
      {L"&lt;", L"&amp;lt;"},
      {L"&quot;", L"&amp;quot;"},
      {L"&<;", L"&&lt;;"},
      {L"&apos;&#60;&LT;&lt", L"&apos;&#60;&LT;&lt"},
      {L"&amp;\"<", L"&amp;amp;&quot;&lt;"},
      {L"a&", L"a&amp;"},
  };
  for (const Case& c : unescapes) EXPECT_EQ(XMLToText(c.Xml), c.Text) << c.Xml;
}

TEST(XMLEscaping, ValuesSurviveTheWayThroughAReport) {
  const std::wstring texts[] = {
      L"", L"a&b", L"&lt;", L"&amp;lt;", L"\"<>&'", L"&&amp;amp;;", L"x&&y;;", L"line\r\nbreak", L"Плагин",
  };
  for (const std::wstring& text : texts) {
    SCOPED_TRACE(testing::Message() << "text: " << text);
    EXPECT_EQ(XMLToText(TextToXML(text)), text);
    TSimpleXMLParser parser;
    std::wstring read = L"(not read)";
    parser.OnReadAttribute.Handler = [&](const std::wstring&, const std::wstring& value) { read = value; };
    EXPECT_TRUE(parser.Parse(L"<a v=\"" + TextToXML(text) + L"\"/>"));
    EXPECT_EQ(read, text);
  }
}

}  // namespace
}  // namespace ornpm
