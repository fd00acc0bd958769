#pragma once
// The diagnosis mail as MIME text: headers, a multipart/alternative body whose HTML part
// is in windows-1251, and the attachments in Base64, read piece by piece.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/AddressList.h"
#include "win/Files.h"

namespace ornpm {

// An attachment opened up front, so that an unreadable file stops the submission before
// anything is sent.
struct TOpenAttachment {
  std::wstring FileName;  // without folder
  std::unique_ptr<TFileStream> Stream;
};

// Opens the file for reading while others may go on reading and writing it.
TOpenAttachment OpenAttachment(const std::wstring& path);

// The media type registered for the file's extension, else "application/octet-stream".
std::string MediaTypeOf(const std::wstring& fileName);

struct TMimeMessage {
  TMailAddress From;
  std::vector<TMailAddress> To;
  std::wstring Subject;
  std::wstring HtmlBody;
  std::vector<TOpenAttachment> Attachments;
};

// Receives the message one line at a time, without the CR LF that ends it.
using TLineSink = std::function<void(std::string_view line)>;

// Writes the whole message; attachments are read and encoded as they are written.
void WriteMimeMessage(const TMimeMessage& message, const TLineSink& sink);
// The message's lines except the attachments' Base64, which is not read, only counted:
// the result is its size, each line's CR LF included. For measuring a message up front.
uint64_t WriteMimeMessageOutline(const TMimeMessage& message, const TLineSink& sink);

}  // namespace ornpm
