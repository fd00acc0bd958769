// libFuzzer target for the XML reader and the escaping: report files come from other
// machines, so no input may crash the reader, make it stall or leave state behind, and
// escaping must always be undone exactly.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "service/SimpleXMLParser.h"

namespace {

using namespace ornpm;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}

bool IsName(std::wstring_view name) {
  for (wchar_t c : name)
    if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'))) return false;
  return true;
}

void CheckRoundTrip(const std::wstring& text) {
  std::wstring xml = TextToXML(text);
  Check(xml.find_first_of(L"<>\"") == std::wstring::npos, "escaped text holds no markup character");
  Check(XMLToText(xml) == text, "unescaping the escaped text gives it back");
}

// What one parse did, to compare a second parse of the same text with.
struct TRun {
  bool Result = false;
  size_t Events = 0;
  std::wstring LastNode;
};

void CheckAttributes(const TSimpleXMLParser& parser) {
  const TNameValueList& attrs = parser.NodeAttributes();
  for (size_t i = 0; i < attrs.Count(); ++i) {
    Check(!attrs.Name(i).empty() && IsName(attrs.Name(i)), "stored attribute names are names");
    Check(!attrs.ValueAt(i).empty(), "empty values are not stored");
    Check(attrs.IndexOf(attrs.Name(i)) == i, "attribute names are unique");
  }
}

TRun ParseWithHandlers(TSimpleXMLParser& parser, std::wstring_view text) {
  TRun run;
  auto onNode = [&](const std::wstring& name) {
    ++run.Events;
    Check(IsName(name), "tag names are names");
    CheckAttributes(parser);
  };
  parser.OnBeginHeader.Handler = onNode;
  parser.OnEndHeader.Handler = onNode;
  parser.OnBeginNode.Handler = onNode;
  parser.OnEndNode.Handler = onNode;
  parser.OnComment.Handler = [&](const std::wstring& comment) {
    ++run.Events;
    Check(comment.find(L"-->") == std::wstring::npos, "a comment ends at the first \"-->\"");
  };
  parser.OnReadAttribute.Handler = [&](const std::wstring& name, const std::wstring& value) {
    ++run.Events;
    Check(!name.empty() && IsName(name), "attribute names are names");
    CheckAttributes(parser);
    CheckRoundTrip(value);
  };
  run.Result = parser.Parse(text);
  run.LastNode = parser.CurrentNode();
  Check(parser.NodeAttributes().Count() == 0, "the attribute list is released after the parse");
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One character per byte: the reports are single-byte text, and bytes above 127 stand
  // for the non-ASCII characters of the code page.
  std::wstring text(data, data + size);
  CheckRoundTrip(text);
  // The reader gets a buffer without the string's terminator, so that reading one
  // character past the end is caught too.
  std::vector<wchar_t> exact(text.begin(), text.end());
  std::wstring_view view(exact.data(), exact.size());

  TSimpleXMLParser parser;
  TRun first = ParseWithHandlers(parser, view);
  // A second parse on the same reader must not see anything of the first.
  TRun second = ParseWithHandlers(parser, view);
  Check(first.Result == second.Result && first.Events == second.Events && first.LastNode == second.LastNode,
        "a parse does not depend on the one before");
  return 0;
}
