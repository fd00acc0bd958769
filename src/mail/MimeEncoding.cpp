#include "mail/MimeEncoding.h"

#include <algorithm>
#include <openssl/evp.h>

#include "win/Text.h"

namespace ornpm {

namespace {

constexpr size_t MaxLineLength = 76;
// Bytes per encoded-word: 40 Base64 characters keep even a folded filename="..."
// parameter line within 76 characters.
constexpr size_t EncodedWordBytes = 30;

bool IsPrintableAscii(wchar_t c) {
  return c >= 0x20 && c <= 0x7E;
}

// A plain word stays as it is and has a folded line of its own, which may pass 76
// characters; a longer one would not fit the 998 characters a line may hold, after a
// field's name or a parameter's, and is encoded so that it can be split.
constexpr size_t MaxPlainWord = 960;

bool NeedsEncoding(std::wstring_view word) {
  for (wchar_t c : word)
    if (!IsPrintableAscii(c)) return true;
  return word.size() > MaxPlainWord;
}

bool HasLongWord(std::wstring_view text) {
  for (size_t start = 0, end; start <= text.size(); start = end + 1) {
    end = std::min(text.find(L' ', start), text.size());
    if (end - start > MaxPlainWord) return true;
  }
  return false;
}

std::string HexEscape(unsigned char byte) {
  static const char digits[] = "0123456789ABCDEF";
  return {'=', digits[byte >> 4], digits[byte & 15]};
}

std::string QEncode(std::string_view bytes) {
  std::string result;
  for (unsigned char byte : bytes) {
    if (byte == ' ')
      result += '_';
    else if (byte > 0x20 && byte < 0x7F && byte != '=' && byte != '?' && byte != '_')
      result += static_cast<char>(byte);
    else
      result += HexEscape(byte);
  }
  return result;
}

// Splits the text so that no piece breaks a character of a multibyte code page.
std::vector<std::string> SplitForEncodedWords(std::wstring_view text) {
  std::vector<std::string> pieces;
  std::string piece;
  for (wchar_t c : text) {
    std::string bytes = WideToBytes(std::wstring_view(&c, 1));
    if (!piece.empty() && piece.size() + bytes.size() > EncodedWordBytes)
      pieces.push_back(std::move(piece)), piece.clear();
    piece += bytes;
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

std::string EncodedWords(std::wstring_view text) {
  std::string charset = CharsetName(::GetACP());
  bool q = charset == "iso-8859-1";
  std::string result;
  for (const std::string& piece : SplitForEncodedWords(text)) {
    if (!result.empty()) result += ' ';
    result += "=?" + charset + (q ? "?Q?" : "?B?") + (q ? QEncode(piece) : Base64(piece)) + "?=";
  }
  return result;
}

}  // namespace

std::string Base64(std::string_view bytes) {
  std::string result(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(result.data()),
                               reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  result.resize(static_cast<size_t>(length));
  return result;
}

std::vector<std::string> QuotedPrintableLine(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    bool last = i + 1 == bytes.size();
    bool literal = (byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !last);
    std::string piece = literal ? std::string(1, static_cast<char>(byte)) : HexEscape(byte);
    // A soft break "=" takes the last place: a piece fits when the line stays at 75.
    size_t limit = last ? MaxLineLength : MaxLineLength - 1;
    if (line.size() + piece.size() > limit) lines.push_back(line + "="), line.clear();
    line += piece;
  }
  lines.push_back(line);
  return lines;
}

std::string CharsetName(UINT codePage) {
  switch (codePage) {
    case 28591:
      return "iso-8859-1";
    case 20127:
      return "us-ascii";
    case 65001:
      return "utf-8";
    case 932:
      return "shift_jis";
    case 936:
      return "gb2312";
    case 949:
      return "ks_c_5601-1987";
    case 950:
      return "big5";
    case 866:
      return "cp866";
    default:
      return "windows-" + std::to_string(codePage);
  }
}

std::string EncodeHeaderText(std::wstring_view text) {
  std::vector<std::wstring_view> words;
  for (size_t start = 0;;) {
    size_t end = text.find(L' ', start);
    words.push_back(text.substr(start, end == std::wstring_view::npos ? end : end - start));
    if (end == std::wstring_view::npos) break;
    start = end + 1;
  }
  size_t first = words.size(), last = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    if (!NeedsEncoding(words[i])) continue;
    if (first == words.size()) first = i;
    last = i;
  }
  if (first == words.size()) return WideToBytes(text);

  std::string result;
  for (size_t i = 0; i < first; ++i) result.append(WideToBytes(words[i])).append(1, ' ');
  size_t runStart = words[first].data() - text.data();
  size_t runEnd = words[last].data() + words[last].size() - text.data();
  result += EncodedWords(text.substr(runStart, runEnd - runStart));
  for (size_t i = last + 1; i < words.size(); ++i) result.append(1, ' ').append(WideToBytes(words[i]));
  return result;
}

std::string EncodePhrase(std::wstring_view text) {
  bool ascii = true;
  for (wchar_t c : text) ascii = ascii && IsPrintableAscii(c);
  return ascii && !HasLongWord(text) ? QuotedString(WideToBytes(text)) : EncodedWords(text);
}

std::vector<std::string> FoldHeaderLine(std::string_view line) {
  std::vector<std::string> lines;
  size_t end = std::min(line.find(' '), line.size());
  std::string current(line.substr(0, end));
  bool breakable = !current.ends_with(':');  // the field's name alone before a break says nothing
  while (end < line.size()) {
    const size_t start = end + 1;
    end = std::min(line.find(' ', start), line.size());
    const std::string_view word = line.substr(start, end - start);
    if (breakable && current.size() + 1 + word.size() > MaxLineLength) {
      lines.push_back(std::move(current));
      current.clear();
      breakable = false;
    }
    current.append(1, ' ').append(word);
    if (!word.empty()) breakable = true;
  }
  lines.push_back(std::move(current));
  return lines;
}

std::string QuotedString(std::string_view text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  return result + "\"";
}

}  // namespace ornpm
