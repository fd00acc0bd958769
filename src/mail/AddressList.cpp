#include "mail/AddressList.h"

#include "win/Text.h"

namespace ornpm {

namespace {

// One entry split into its visible parts: quoted strings lose their quotes and escapes,
// comments are kept apart, and what stands in angle brackets is the address.
struct TEntryParts {
  std::wstring Phrase;
  std::wstring Comment;
  std::wstring Angle;
  bool HasAngle = false;
};

size_t ReadQuoted(std::wstring_view text, size_t i, std::wstring& out) {
  for (++i; i < text.size() && text[i] != L'"'; ++i) {
    if (text[i] == L'\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return i;  // at the closing quote, or the end
}

size_t ReadComment(std::wstring_view text, size_t i, std::wstring& out) {
  int depth = 0;
  for (; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\\' && i + 1 < text.size()) {
      out += text[++i];
      continue;
    }
    if (c == L'(' && depth++ == 0) continue;
    if (c == L')' && --depth == 0) break;
    out += c;
  }
  return i;
}

TEntryParts SplitEntry(std::wstring_view entry) {
  TEntryParts parts;
  for (size_t i = 0; i < entry.size(); ++i) {
    wchar_t c = entry[i];
    std::wstring& target = parts.HasAngle ? parts.Angle : parts.Phrase;
    if (c == L'"') {
      i = ReadQuoted(entry, i, target);
    } else if (c == L'(') {
      if (!parts.Comment.empty()) parts.Comment += L' ';
      i = ReadComment(entry, i, parts.Comment);
    } else if (c == L'<' && !parts.HasAngle) {
      parts.HasAngle = true;
    } else if (c == L'>' && parts.HasAngle) {
      parts.HasAngle = false;
      parts.Phrase += L'\x1';  // marks that an address in brackets was seen
    } else {
      target += c;
    }
  }
  return parts;
}

TMailAddress ToAddress(std::wstring_view entry) {
  TEntryParts parts = SplitEntry(entry);
  size_t mark = parts.Phrase.find(L'\x1');
  if (mark != std::wstring::npos || !parts.Angle.empty()) {
    std::wstring name = parts.Phrase.substr(0, mark);
    if (Trim(name).empty()) name = parts.Comment;
    return {Trim(name), Trim(parts.Angle)};
  }
  return {Trim(parts.Comment), Trim(parts.Phrase)};
}

}  // namespace

std::vector<TMailAddress> ParseAddressList(std::wstring_view text) {
  std::vector<TMailAddress> result;
  auto addEntry = [&](std::wstring_view entry) {
    TMailAddress address = ToAddress(entry);
    if (!address.Address.empty()) result.push_back(std::move(address));
  };
  size_t start = 0;
  int depth = 0;
  bool quoted = false, angle = false;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\\' && (quoted || depth > 0)) {
      ++i;
    } else if (quoted) {
      quoted = c != L'"';
    } else if (c == L'"' && depth == 0) {
      quoted = true;
    } else if (c == L'(') {
      ++depth;
    } else if (c == L')' && depth > 0) {
      --depth;
    } else if (depth == 0 && (c == L'<' || c == L'>')) {
      angle = c == L'<';
    } else if (depth == 0 && !angle && (c == L',' || c == L';')) {
      addEntry(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) addEntry(text.substr(start));
  return result;
}

}  // namespace ornpm
