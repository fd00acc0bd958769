#pragma once
// Text helpers: code page conversion, trimming, case-insensitive comparison, formatting.

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace ornpm {

// Files on disk are single-byte text in the ANSI code page unless a caller says otherwise.
std::wstring BytesToWide(std::string_view bytes, UINT codePage = CP_ACP);
std::string WideToBytes(std::wstring_view text, UINT codePage = CP_ACP);
// The same, appended to a text or to bytes being put together.
void AppendWide(std::wstring& text, std::string_view bytes, UINT codePage = CP_ACP);
void AppendBytes(std::string& bytes, std::wstring_view text, UINT codePage = CP_ACP);
// Whether every unit is ASCII, which reads the same in every code page the program uses.
bool IsAscii(std::string_view bytes);
bool IsAscii(std::wstring_view text);

// Trimming removes characters with codes 32 and below, as line-oriented text files expect.
std::wstring Trim(std::wstring_view text);
std::wstring TrimRight(std::wstring_view text);
// Control characters shown as "\r", "\n" or "\xNN", so that a message about foreign text
// shows where they are instead of acting on its layout.
std::wstring EscapeControls(std::wstring_view text);

// Letter case ignored, as Windows compares file names, switches and keys.
bool SameText(std::wstring_view a, std::wstring_view b);
// The text upper-cased by the system's case table, the one SameText compares with: texts
// that differ in letter case only give the same text, for keys of a hash table.
std::wstring FoldCase(std::wstring text);
bool StartsText(std::wstring_view prefix, std::wstring_view text);
bool EndsText(std::wstring_view suffix, std::wstring_view text);
bool ContainsText(std::wstring_view text, std::wstring_view part);

// Calls lineHandler for each line of the text; CR LF, LF and a lone CR end a line.
template <typename LineHandler>
void ForEachLine(std::wstring_view text, LineHandler lineHandler) {
  while (!text.empty()) {
    size_t end = text.find_first_of(L"\r\n");
    lineHandler(text.substr(0, end));
    if (end == std::wstring_view::npos) return;
    if (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ++end;
    text.remove_prefix(end + 1);
  }
}

// A signed 32-bit number written in decimal (or hexadecimal after "$" or "0x"), with an
// optional sign; defaultValue for anything else, including numbers out of range.
int StrToIntDef(std::wstring_view text, int defaultValue);

// Replaces each "%s" of the pattern with the next argument; "%%" stands for "%".
std::wstring Format(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

}  // namespace ornpm
