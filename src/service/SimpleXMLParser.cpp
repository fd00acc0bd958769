#include "service/SimpleXMLParser.h"

#include <cstdint>
#include <utility>

namespace ornpm {

namespace {

// Names are ASCII letters and digits only; locale-aware classification would let other
// letters in.
bool IsNameChar(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// One pass does what replacing "&quot;", "&gt;", "&lt;" and then "&amp;" would: the
// entities cannot overlap, as each holds its only "&" in front, and no replacement but the
// last, "&amp;", gives a character that could start one.
void AppendXMLToText(std::wstring& text, std::wstring_view xml) {
  static constexpr std::pair<std::wstring_view, wchar_t> entities[] = {
      {L"&quot;", L'"'}, {L"&gt;", L'>'}, {L"&lt;", L'<'}, {L"&amp;", L'&'}};
  size_t pos = 0;
  for (size_t amp; (amp = xml.find(L'&', pos)) != std::wstring_view::npos;) {
    text.append(xml.substr(pos, amp - pos));
    pos = amp + 1;
    wchar_t replacement = L'&';
    for (const auto& [entity, character] : entities) {
      if (xml.substr(amp).starts_with(entity)) {
        replacement = character;
        pos = amp + entity.size();
        break;
      }
    }
    text += replacement;
  }
  text.append(xml.substr(pos));
}

}  // namespace

bool TSimpleXMLParser::Parse(std::wstring_view xmlText) {
  // The attribute list and the element stack belong to one parse, whatever its outcome,
  // a handler's exception included.
  struct TReleaseOnExit {
    TSimpleXMLParser& Parser;
    ~TReleaseOnExit() { Parser.Release(); }
  } releaseOnExit{*this};
  Release();
  FCutOffInside.reset();
  FText = xmlText;
  while (!AtEnd()) {
    SkipBlanks();
    if (AtEnd()) break;
    if (!ReadTag()) {
      NoteCutOff();
      return false;
    }
  }
  NoteCutOff();
  return true;
}

// A text that runs out with elements open was cut off; so was one whose parse stopped on a
// fault with nothing but blanks after it, as its last tag may have been whole before the
// cut. An element whose start tag was cut short does not count: a text that ends in one
// after every other element closed was cut off after its end.
void TSimpleXMLParser::NoteCutOff() {
  SkipBlanks();
  if (!AtEnd()) return;
  const size_t open = FNodeStack.size() - (FInStartTag ? 1 : 0);
  if (open > 0) FCutOffInside = FNodeStack[open - 1];
}

void TSimpleXMLParser::Release() {
  FNodeAttrs.Clear();
  FEmptyAttrs.Clear();
  FNodeStack.clear();
  FText = {};
  FPos = 0;
  FInStartTag = false;
}

// Character data and a "<" as the last character are not ours. The character after "<"
// marks a declaration, comment or end tag only when yet another character follows it.
bool TSimpleXMLParser::ReadTag() {
  if (FText[FPos] != L'<') return false;
  ++FPos;
  if (AtEnd()) return false;
  TTagKind kind = TTagKind::Start;
  if (HasNext()) {
    if (FText[FPos] == L'!') return ReadComment();
    if (FText[FPos] == L'?') {
      kind = TTagKind::Header;
      ++FPos;
    } else if (FText[FPos] == L'/') {
      kind = TTagKind::End;
      ++FPos;
    }
  }
  return ReadTagName(kind) && ReadAttributes(kind);
}

// "<!" opens only a comment, and only when something follows its "--"; a document type or
// a CDATA section is not ours. A comment cut off by the end of the text is dropped.
bool TSimpleXMLParser::ReadComment() {
  if (!(FPos + 3 < FText.size() && FText[FPos + 1] == L'-' && FText[FPos + 2] == L'-')) return false;
  FPos += 3;
  size_t end = FText.find(L"-->", FPos);
  if (end == std::wstring_view::npos) {
    FPos = FText.size();
    return true;
  }
  OnComment(std::wstring(FText.substr(FPos, end - FPos)));
  FPos = end + 3;
  return true;
}

// The event comes before the current tag changes: handlers of a start tag still see the
// tag before it, which is how the information objects find a child's parent.
bool TSimpleXMLParser::ReadTagName(TTagKind kind) {
  SkipBlanks();
  FName = ReadName();
  switch (kind) {
    case TTagKind::Header:
      OnBeginHeader(FName);
      break;
    case TTagKind::End:
      OnEndNode(FName);
      if (!CloseElement(FName)) return false;
      break;
    case TTagKind::Start:
      OnBeginNode(FName);
      FNodeStack.push_back(FName);
      FInStartTag = true;
      break;
  }
  FCurrNode.swap(FName);
  FNodeAttrs.Clear();
  FEmptyAttrs.Clear();
  return true;
}

// Reads up to the end of the tag. A text that ends inside a tag is accepted, like
// elements still open at the end.
bool TSimpleXMLParser::ReadAttributes(TTagKind kind) {
  while (!AtEnd()) {
    SkipBlanks();
    if (AtEnd()) break;
    wchar_t c = FText[FPos];
    bool beforeClose = HasNext() && FText[FPos + 1] == L'>';
    if (c == L'/' && beforeClose) {
      OnEndNode(FCurrNode);
      // A fault here is not the end of the text, even where the text ends after it.
      if (!CloseElement(FCurrNode)) return false;
      FPos += 2;
      FInStartTag = false;
      return true;
    }
    if (c == L'?' && beforeClose) {
      if (kind == TTagKind::Header) OnEndHeader(FCurrNode);
      FPos += 2;
      FInStartTag = false;
      return true;
    }
    if (c == L'>') {
      ++FPos;
      FInStartTag = false;
      return true;
    }
    if (c == L'/' || c == L'?') ++FPos;
    if (!ReadAttribute()) return false;
  }
  return true;
}

// Handlers see the attribute before it is stored. An empty value is reported, but storing
// it removes the name; that the tag carries it is kept apart.
bool TSimpleXMLParser::ReadAttribute() {
  std::wstring_view name = ReadName();
  // Nothing here starts a name: only the end of the text may follow a stray "/" or "?".
  if (name.empty()) return AtEnd();
  SkipBlanks();
  if (!(HasNext() && FText[FPos] == L'=')) return false;
  ++FPos;
  SkipBlanks();
  FValue.clear();
  if (!AtEnd()) {
    if (FText[FPos] != L'"') return false;  // unquoted values are not ours
    // A quote as the last character opens nothing; it is left to fail as a stray quote.
    if (HasNext()) ReadQuotedValue();
  }
  if (OnReadAttribute) OnReadAttribute(std::wstring(name), FValue);
  FNodeAttrs.SetValue(name, FValue);
  if (FValue.empty()) FEmptyAttrs.SetValue(name, L"+");
  return true;
}

// A value runs to the next quote or to the end of the text. A closing quote that ends the
// text is left in place, so the tag fails on it.
void TSimpleXMLParser::ReadQuotedValue() {
  ++FPos;
  size_t close = FText.find(L'"', FPos);
  if (close == std::wstring_view::npos) close = FText.size();
  AppendXMLToText(FValue, FText.substr(FPos, close - FPos));
  FPos = close;
  if (HasNext()) ++FPos;
}

// Also fails when no element is open. The end event has been raised by then in either
// case, so handlers see every end tag the text holds up to the fault.
bool TSimpleXMLParser::CloseElement(const std::wstring& name) {
  if (FNodeStack.empty() || !SameAsciiText(FNodeStack.back(), name)) return false;
  FNodeStack.pop_back();
  return true;
}

void TSimpleXMLParser::SkipBlanks() {
  while (!AtEnd() && IsBlankOrControl(FText[FPos])) ++FPos;
}

std::wstring_view TSimpleXMLParser::ReadName() {
  size_t start = FPos;
  while (!AtEnd() && IsNameChar(FText[FPos])) ++FPos;
  return FText.substr(start, FPos - start);
}

// One pass does what replacing "&", "<", ">" and the quote in that order would: "&" is
// escaped too, so an entity already in the text is escaped once more.
void AppendTextToXML(std::wstring& xml, std::wstring_view text) {
  size_t start = 0;  // of the characters not appended yet
  for (size_t i = 0; i < text.size(); ++i) {
    std::wstring_view entity;
    switch (text[i]) {
      case L'&':
        entity = L"&amp;";
        break;
      case L'<':
        entity = L"&lt;";
        break;
      case L'>':
        entity = L"&gt;";
        break;
      case L'"':
        entity = L"&quot;";
        break;
      default:
        continue;
    }
    xml.append(text.substr(start, i - start)).append(entity);
    start = i + 1;
  }
  xml.append(text.substr(start));
}

std::wstring TextToXML(std::wstring_view text) {
  std::wstring xml;
  xml.reserve(text.size());
  AppendTextToXML(xml, text);
  return xml;
}

std::wstring XMLToText(std::wstring_view xml) {
  std::wstring text;
  text.reserve(xml.size());
  AppendXMLToText(text, xml);
  return text;
}

}  // namespace ornpm
