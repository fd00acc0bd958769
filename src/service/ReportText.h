#pragma once
// Building blocks of the report writers: whole lines with the caller's indent plus two
// blanks per level, XML attributes and HTML table rows.

#include <initializer_list>
#include <string>

namespace ornpm {

inline std::wstring XMLAttribute(const std::wstring& name, const std::wstring& value) {
  return L" " + name + L"=\"" + value + L"\"";
}

// HTML cells; values go in as they are, unescaped.
inline std::wstring Th(const std::wstring& value) {
  return L"<th>" + value + L"</th>";
}
inline std::wstring Td(const std::wstring& value) {
  return L"<td>" + value + L"</td>";
}

inline const wchar_t* BoolText(bool value) {
  return value ? L"True" : L"False";
}

class TReportLines {
 public:
  explicit TReportLines(std::wstring indent) : FIndent(std::move(indent)) {}

  void Add(int level, const std::wstring& text) {
    FText.append(FIndent).append(static_cast<size_t>(level) * 2, L' ').append(text).append(L"\r\n");
  }
  // A table row one level in, its cells (made with Th and Td) two levels in.
  void AddRow(std::initializer_list<std::wstring> cells) {
    Add(1, L"<tr>");
    for (const std::wstring& cell : cells) Add(2, cell);
    Add(1, L"</tr>");
  }
  const std::wstring& Text() const { return FText; }

 private:
  std::wstring FIndent;
  std::wstring FText;
};

}  // namespace ornpm
