#pragma once
// Building blocks of the report writers: whole lines with the caller's indent plus two
// blanks per level, XML attributes and HTML table rows. A large workstation's report has
// tens of thousands of lines, so lines are written piece by piece into one buffer rather
// than put together from temporary strings.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "service/SimpleXMLParser.h"

namespace ornpm {

// HTML cells. Values are escaped: they may come from a report of another workstation, and
// the page travels by mail.
inline std::wstring Th(std::wstring_view value) {
  return L"<th>" + TextToXML(value) + L"</th>";
}
inline std::wstring Td(std::wstring_view value) {
  return L"<td>" + TextToXML(value) + L"</td>";
}

// Shown for a value that a report does not hold (it was cut off before it, or left it out):
// what was not read is unknown, never a default.
inline constexpr wchar_t NotInReportText[] = L"нет в отчёте";
// A value as the pages and the views show it: the value when known, else NotInReportText.
inline std::wstring KnownOr(bool known, std::wstring_view value) {
  return std::wstring(known ? value : NotInReportText);
}

inline const wchar_t* BoolText(bool value) {
  return value ? L"True" : L"False";
}

// A number in decimal, as std::to_wstring writes it, without the C library's formatting
// or a string of its own.
class TDecimalText {
 public:
  explicit TDecimalText(long long value) {
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0) magnitude = 0 - magnitude;
    do {
      FDigits[--FStart] = static_cast<wchar_t>(L'0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) FDigits[--FStart] = L'-';
  }
  operator std::wstring_view() const { return {FDigits + FStart, Size - FStart}; }

 private:
  static constexpr size_t Size = 20;  // the sign and the 19 digits of the largest magnitude
  wchar_t FDigits[Size];
  size_t FStart = Size;
};

// Takes a long text in pieces as it is written, each ending with a whole line.
using TTextSink = std::function<void(std::wstring_view)>;

class TReportLines {
 public:
  // With a sink the text goes to it in pieces, and is never held whole: Flush hands over
  // the last piece.
  explicit TReportLines(std::wstring indent, TTextSink sink = {}) : FIndent(std::move(indent)), FSink(std::move(sink)) {
    if (FSink) FText.reserve(PieceSize + PieceSize / 4);
  }

  // Room for the whole text, so that a large report is not copied again and again as it grows.
  void Reserve(size_t size) { FText.reserve(size); }

  void Add(int level, std::wstring_view text) { Begin(level).Append(text).End(); }
  // A line in pieces: Begin, the text and the attributes, End.
  TReportLines& Begin(int level) {
    FText.append(FIndent).append(static_cast<size_t>(level) * 2, L' ');
    return *this;
  }
  TReportLines& Append(std::wstring_view text) {
    FText.append(text);
    return *this;
  }
  void End() {
    FText.append(L"\r\n", 2);
    if (FSink && FText.size() >= PieceSize) Flush();
  }
  void Flush() {
    if (!FSink) return;
    if (!FText.empty()) FSink(FText);
    FText.clear();
  }

  // ` name="value"`, the value as it is: some values of the report are written unescaped.
  TReportLines& Attribute(std::wstring_view name, std::wstring_view value) {
    AttributeStart(name).append(value) += L'"';
    return *this;
  }
  TReportLines& EscapedAttribute(std::wstring_view name, std::wstring_view value) {
    AppendTextToXML(AttributeStart(name), value);
    FText += L'"';
    return *this;
  }

  // A table row one level in, its cells (made with Th and Td) two levels in.
  void AddRow(std::initializer_list<std::wstring> cells) {
    Add(1, L"<tr>");
    for (const std::wstring& cell : cells) Add(2, cell);
    Add(1, L"</tr>");
  }
  const std::wstring& Text() const { return FText; }
  std::wstring TakeText() { return std::move(FText); }

 private:
  std::wstring& AttributeStart(std::wstring_view name) {
    FText += L' ';
    return FText.append(name).append(L"=\"", 2);
  }

  // Small enough to stay in the processor's cache on its way to the file.
  static constexpr size_t PieceSize = 32768;

  std::wstring FIndent;
  TTextSink FSink;
  std::wstring FText;
};

}  // namespace ornpm
