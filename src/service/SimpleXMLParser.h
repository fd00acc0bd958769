#pragma once
// The event-driven reader of the program's XML reports, and the escaping of attribute
// values. It understands exactly the markup the program writes: a declaration, comments,
// elements with attributes in double quotes, self-closing elements, no character data.
// Portable C++: report files arrive from other machines, so this is fuzzed natively.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/NameValueList.h"

namespace ornpm {

// An event handler together with the object it is bound to, so that a handler chain can
// tell whether the handler installed on a reader is still a given object's.
template <typename... Args>
struct TBoundEvent {
  const void* Owner = nullptr;
  std::function<void(Args...)> Handler;

  explicit operator bool() const { return static_cast<bool>(Handler); }
  void operator()(Args... args) const {
    if (Handler) Handler(args...);
  }
};

using TXMLNodeEvent = TBoundEvent<const std::wstring&>;
using TXMLAttributeEvent = TBoundEvent<const std::wstring&, const std::wstring&>;
using TXMLCommentEvent = TBoundEvent<const std::wstring&>;

class TSimpleXMLParser {
 public:
  // Parses the whole text, raising the events in document order. True when the end of
  // the text was reached; false on a mismatched end tag, an end with no element open, an
  // attribute without "=", or input outside the accepted language. Never throws for
  // malformed input.
  bool Parse(std::wstring_view xmlText);

  // Name of the tag read last (start tag, end tag or declaration); kept after the parse.
  const std::wstring& CurrentNode() const { return FCurrNode; }
  // Attributes of the tag read last; valid only while Parse runs (empty otherwise).
  const TNameValueList& NodeAttributes() const { return FNodeAttrs; }
  // Whether the tag read last carries the attribute, also with an empty value, which
  // NodeAttributes does not keep; valid only while Parse runs.
  bool HasAttribute(std::wstring_view name) const { return FNodeAttrs.Contains(name) || FEmptyAttrs.Contains(name); }
  // The elements open while Parse runs; during OnBeginNode, those around the one begun.
  size_t Depth() const { return FNodeStack.size(); }
  // After a parse that ran into the end of the text with an element still open, as a file
  // cut off does, whatever Parse returned: the innermost element whose start tag was read
  // whole. Nothing when every such element was closed, or when the parse stopped on a
  // fault before the end.
  const std::optional<std::wstring>& CutOffInside() const { return FCutOffInside; }

  TXMLCommentEvent OnComment;
  TXMLAttributeEvent OnReadAttribute;
  TXMLNodeEvent OnBeginHeader;
  TXMLNodeEvent OnEndHeader;
  TXMLNodeEvent OnBeginNode;
  TXMLNodeEvent OnEndNode;

 private:
  enum class TTagKind { Start, End, Header };

  bool ReadTag();
  bool ReadComment();
  bool ReadTagName(TTagKind kind);
  bool ReadAttributes(TTagKind kind);
  bool ReadAttribute();
  void ReadQuotedValue();
  bool CloseElement(const std::wstring& name);
  void NoteCutOff();
  void SkipBlanks();
  std::wstring_view ReadName();
  void Release();

  bool AtEnd() const { return FPos >= FText.size(); }
  // Whether another character follows the one at the current position.
  bool HasNext() const { return FPos + 1 < FText.size(); }

  std::wstring FCurrNode;
  TNameValueList FNodeAttrs;
  // The names of the tag's attributes read with an empty value. The list keeps no empty
  // value, so each name is kept with a mark.
  TNameValueList FEmptyAttrs;
  std::vector<std::wstring> FNodeStack;  // open elements, innermost last
  std::wstring_view FText;               // the text being parsed
  size_t FPos = 0;                       // index of the next character to look at
  bool FInStartTag = false;              // the innermost element's start tag is not read whole yet
  std::optional<std::wstring> FCutOffInside;
  // The name and the value being read, kept from tag to tag so that their storage serves
  // all the thousands of elements of a report.
  std::wstring FName;
  std::wstring FValue;
};

// Escapes "&", "<", ">" and the double quote, in that order.
std::wstring TextToXML(std::wstring_view text);
// The same, appended to the XML text being written.
void AppendTextToXML(std::wstring& xml, std::wstring_view text);
// Undoes TextToXML: "&quot;", "&gt;", "&lt;", and "&amp;" last; no other entity.
std::wstring XMLToText(std::wstring_view text);

}  // namespace ornpm
