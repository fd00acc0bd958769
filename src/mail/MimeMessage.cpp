#include "mail/MimeMessage.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <openssl/evp.h>

#include "mail/MimeEncoding.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr UINT HtmlCodePage = 1251;
// 57 bytes make one Base64 line of 76 characters; a piece holds whole lines.
constexpr DWORD Base64LineBytes = 57;
constexpr DWORD AttachmentPieceBytes = Base64LineBytes * 256;

// "=_" never occurs in quoted-printable or Base64 text, so no part can contain a boundary.
// Numbers of fixed width: a message measured up front keeps its size when written.
std::string NewBoundary(const char* kind) {
  static std::atomic<unsigned> counter{0};
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  char numbers[32];
  snprintf(numbers, sizeof numbers, "_%016llx_%08x", static_cast<unsigned long long>(now.QuadPart), ++counter);
  return std::string("=_ornpm_").append(kind) + numbers;
}

std::string FormatAddress(const TMailAddress& address) {
  if (address.Name.empty()) return WideToBytes(address.Address);
  return EncodePhrase(address.Name).append(" <").append(WideToBytes(address.Address)).append(">");
}

// Header lines that carry text of any length are folded.
void WriteHeader(const TLineSink& sink, std::string_view field) {
  for (const std::string& line : FoldHeaderLine(field)) sink(line);
}

std::string DateHeader() {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  TIME_ZONE_INFORMATION zone;
  DWORD zoneId = ::GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias + (zoneId == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  LONG offset = -bias;
  char text[64];
  snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[local.wDayOfWeek], local.wDay,
           months[local.wMonth - 1], local.wYear, local.wHour, local.wMinute, local.wSecond, offset < 0 ? '-' : '+',
           labs(offset) / 60, labs(offset) % 60);
  return text;
}

void WriteQuotedPrintable(const TLineSink& sink, std::wstring_view text, UINT codePage) {
  ForEachLine(text, [&](std::wstring_view line) {
    for (const std::string& piece : QuotedPrintableLine(WideToBytes(line, codePage))) sink(piece);
  });
}

void WriteTextPart(const TLineSink& sink, const std::string& contentType, std::wstring_view text, UINT codePage) {
  sink("Content-Type: " + contentType);
  sink("Content-Transfer-Encoding: quoted-printable");
  sink("Content-Disposition: inline");
  sink("");
  WriteQuotedPrintable(sink, text, codePage);
}

void WriteAlternative(const TLineSink& sink, const std::wstring& html) {
  std::string boundary = NewBoundary("alt");
  sink("Content-Type: multipart/alternative;");
  sink("\tboundary=\"" + boundary + "\"");
  sink("");
  sink("--" + boundary);
  WriteTextPart(sink, "text/plain", L"An HTML viewer is required to see this message", CP_ACP);
  sink("--" + boundary);
  WriteTextPart(sink, "text/html; charset=\"windows-1251\"", html, HtmlCodePage);
  sink("--" + boundary + "--");
}

void WriteBase64(const TLineSink& sink, const TFileStream& stream) {
  std::string buffer;
  unsigned char line[Base64LineBytes / 3 * 4 + 1];  // a line per 57 bytes: no allocation per line
  for (uint64_t left = stream.Size(); left > 0;) {
    DWORD count = static_cast<DWORD>(std::min<uint64_t>(left, AttachmentPieceBytes));
    buffer.resize(count);
    stream.ReadExactly(buffer.data(), count);
    for (DWORD at = 0; at < count; at += Base64LineBytes) {
      int length = EVP_EncodeBlock(line, reinterpret_cast<const unsigned char*>(buffer.data()) + at,
                                   static_cast<int>(std::min(Base64LineBytes, count - at)));
      sink(std::string_view(reinterpret_cast<const char*>(line), static_cast<size_t>(length)));
    }
    left -= count;
  }
}

// Base64 in lines of 76 characters, each with its CR LF.
uint64_t Base64LinesSize(uint64_t size) {
  const uint64_t rest = size % Base64LineBytes;
  return size / Base64LineBytes * (Base64LineBytes / 3 * 4 + 2) + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
}

// Without encode, the Base64 lines are only counted: their size is the result.
uint64_t WriteAttachment(const TLineSink& sink, const TOpenAttachment& attachment, bool encode) {
  std::string name = QuotedString(EncodeHeaderText(attachment.FileName));
  sink(std::string("Content-Type: ").append(MediaTypeOf(attachment.FileName)).append(";"));
  WriteHeader(sink, "\tname=" + name);
  sink("Content-Transfer-Encoding: base64");
  sink("Content-Disposition: attachment;");
  WriteHeader(sink, "\tfilename=" + name);
  sink("");
  if (!encode) return Base64LinesSize(attachment.Stream->Size());
  WriteBase64(sink, *attachment.Stream);
  return 0;
}

uint64_t WriteMessage(const TMimeMessage& message, const TLineSink& sink, bool encode) {
  std::string boundary = NewBoundary("mixed");
  std::string to;
  for (const TMailAddress& address : message.To) to += (to.empty() ? "" : ", ") + FormatAddress(address);
  WriteHeader(sink, std::string("From: ").append(FormatAddress(message.From)));
  WriteHeader(sink, std::string("Subject: ").append(EncodeHeaderText(message.Subject)));
  WriteHeader(sink, "To: " + to);
  sink("Content-Type: multipart/mixed;");
  sink("\tboundary=\"" + boundary + "\"");
  sink("MIME-Version: 1.0");
  sink(std::string("Date: ").append(DateHeader()));
  sink("");
  sink("This is a multi-part message in MIME format");
  sink("");
  sink("--" + boundary);
  WriteAlternative(sink, message.HtmlBody);
  uint64_t counted = 0;
  for (const TOpenAttachment& attachment : message.Attachments) {
    sink("");
    sink("--" + boundary);
    counted += WriteAttachment(sink, attachment, encode);
  }
  sink("--" + boundary + "--");
  return counted;
}

}  // namespace

TOpenAttachment OpenAttachment(const std::wstring& path) {
  return {ExtractFileName(path), std::make_unique<TFileStream>(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE)};
}

std::string MediaTypeOf(const std::wstring& fileName) {
  std::wstring extension = ExtractFileExt(fileName);
  if (!extension.empty()) {
    auto key = TRegistryKey::OpenReadOnly(HKEY_CLASSES_ROOT, extension);
    if (key && key->ValueType(L"Content Type") == REG_SZ) {
      std::wstring type = Trim(key->ReadString(L"Content Type"));
      if (!type.empty()) return WideToBytes(type);
    }
  }
  return "application/octet-stream";
}

void WriteMimeMessage(const TMimeMessage& message, const TLineSink& sink) {
  WriteMessage(message, sink, true);
}

uint64_t WriteMimeMessageOutline(const TMimeMessage& message, const TLineSink& sink) {
  return WriteMessage(message, sink, false);
}

}  // namespace ornpm
