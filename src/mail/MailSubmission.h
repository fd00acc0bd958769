#pragma once
// One e-mail submission over SMTP with implicit TLS, and the settings remembered after a
// successful one.

#include <string>
#include <vector>

#include "mail/TlsConnection.h"

namespace ornpm {

inline constexpr wchar_t DefaultEMailSubject[] = L"ORNPluginVLX Logs";
inline constexpr wchar_t DefaultEMailRecipient[] = L"support@orn.example";

struct TMailSettings {
  std::wstring Host;
  std::wstring Port;      // as typed; 25 means the implicit-TLS port 465
  std::wstring UserName;  // the mailbox: sender address and login
  std::wstring Password;
  TTimeLimits Limits;
};

struct TMailContent {
  std::wstring Recipients;  // an address list in header syntax
  std::wstring Subject;
  std::wstring HtmlBody;
  std::vector<std::wstring> Attachments;  // full paths, in the order they are attached
};

// The port actually dialled: implicit TLS replaces the standard SMTP port by its own.
uint16_t SubmissionPort(const std::wstring& portText);

// Opens every attachment, connects, authenticates when the server offers LOGIN and sends
// the message. Any failure raises an exception whose message is meant for the user. With
// progress, the message data's progress is reported there, and a stop asked there ends
// the submission with ESendCancelled, the connection closed without QUIT, unless the end
// of the message had gone out.
void SubmitMessage(const TMailSettings& settings, const TMailContent& content, TSendProgress* progress = nullptr);

// What the send dialog starts with; empty fields where nothing was remembered.
struct TRememberedMailSettings {
  std::wstring Host;
  std::wstring Port;
  std::wstring UserName;
  std::wstring Subject;
};

TRememberedMailSettings LoadMailSettings();
// After a successful submission only; the password is never stored. The default subject
// does not replace a remembered one. Throws when the settings cannot be written.
void RememberMailSettings(const TMailSettings& settings, const std::wstring& subject);

}  // namespace ornpm
