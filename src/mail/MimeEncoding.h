#pragma once
// The transfer encodings and header encodings a message needs (RFC 2045, 2047).

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

// Base64 of the bytes as one unbroken run.
std::string Base64(std::string_view bytes);

// One text line in quoted-printable: the encoded line, broken by soft line breaks into
// pieces of at most 76 characters each.
std::vector<std::string> QuotedPrintableLine(std::string_view bytes);

// The MIME name of a code page, "windows-1251" for 1251 and so on.
std::string CharsetName(UINT codePage);

// Header text that may contain characters outside printable ASCII: the run of words from
// the first to the last such word becomes encoded-words in the ANSI charset, separated by
// blanks; pure ASCII stays as it is, however long a word (a folded line holds it alone).
// Only a word past what any line may hold (RFC 5322) is encoded, so that it can be split.
std::string EncodeHeaderText(std::wstring_view text);

// A display name: quoted when it is ASCII, else wholly encoded-words, which must not
// stand inside quotes.
std::string EncodePhrase(std::wstring_view text);

// A header line broken into lines of at most 76 characters where blanks allow it (a
// longer word has a line of its own): each break goes in front of a blank, which unfolding
// keeps. The field's name stays with what follows it, and no line is left of blanks only.
std::vector<std::string> FoldHeaderLine(std::string_view line);

// "name" with a backslash before every backslash and double quote inside it.
std::string QuotedString(std::string_view text);

}  // namespace ornpm
