#include "mail/MailSubmission.h"

#include "mail/SmtpClient.h"
#include "service/Registry.h"
#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr wchar_t SettingsKey[] = L"Software\\ORN\\PlugInManagerVLX";
constexpr int StandardSmtpPort = 25;
constexpr uint16_t ImplicitTlsPort = 465;

std::wstring WorkstationHostName() {
  wchar_t name[256];
  DWORD size = ARRAYSIZE(name);
  if (!::GetComputerNameExW(ComputerNameDnsHostname, name, &size)) throw EOSError(::GetLastError());
  return std::wstring(name, size);
}

// After a refusal the dialogue is still in order and ends politely; the mail's fate is
// already decided, so a failing QUIT changes nothing.
void QuitQuietly(TSmtpClient& smtp) {
  try {
    smtp.Quit();
  } catch (const Exception&) {
  }
}

// Addresses go into commands and headers as they are: a line break in one would start a
// command or a header of its own.
void CheckAddress(const std::wstring& address) {
  for (wchar_t c : address)
    if (c < L' ' || c == 0x7F)
      throw Exception(Format(L"Недопустимый адрес электронной почты: \"%s\"", {EscapeControls(address)}));
}

void Submit(const TMailSettings& settings, const TMailContent& content, TSendProgress* progress) {
  TMimeMessage message;
  message.From = {settings.UserName, Trim(settings.UserName)};
  message.To = ParseAddressList(content.Recipients);
  CheckAddress(message.From.Address);
  for (const TMailAddress& recipient : message.To) CheckAddress(recipient.Address);
  message.Subject = content.Subject;
  message.HtmlBody = content.HtmlBody;
  for (const std::wstring& path : content.Attachments) message.Attachments.push_back(OpenAttachment(path));

  TTlsConnection connection(settings.Host, SubmissionPort(settings.Port), settings.Limits, progress);
  TSmtpClient smtp(connection, progress);
  // A refused greeting leaves nothing to end politely: the connection just closes.
  smtp.Open(WorkstationHostName());
  try {
    smtp.Authenticate(settings.UserName, settings.Password);
    smtp.Send(message);
  } catch (const ESMTPReplyError&) {
    if (progress && progress->Cancelled()) throw;
    QuitQuietly(smtp);
    throw;
  }
  // Other failures (a broken connection, a file that failed in the middle of the data)
  // pass by the QUIT: the server would still be reading the message and not hear it.
  QuitQuietly(smtp);
}

}  // namespace

uint16_t SubmissionPort(const std::wstring& portText) {
  int port = StrToIntDef(Trim(portText), StandardSmtpPort);
  return port == StandardSmtpPort ? ImplicitTlsPort : static_cast<uint16_t>(port);
}

void SubmitMessage(const TMailSettings& settings, const TMailContent& content, TSendProgress* progress) {
  try {
    Submit(settings, content, progress);
  } catch (const Exception&) {
    // Whatever broke when the connection was cut, the user asked for it.
    if (progress && progress->Cancelled()) throw ESendCancelled();
    throw;
  }
}

TRememberedMailSettings LoadMailSettings() {
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, SettingsKey);
  if (!key) return {};
  // A string counts, also one stored as expandable (as a policy deploys it), whose text is
  // taken as it stands. A value of another type (a port an administrator wrote as a number)
  // counts as absent: the dialog lets the user type it, and a successful send writes it
  // back as text.
  auto read = [&](const wchar_t* name) {
    const std::optional<DWORD> type = key->ValueType(name);
    return type == REG_SZ || type == REG_EXPAND_SZ ? key->ReadString(name) : std::wstring();
  };
  return {read(L"SMTPHost"), read(L"SMTPPort"), read(L"SMTPUserName"), read(L"EMailSubject")};
}

void RememberMailSettings(const TMailSettings& settings, const std::wstring& subject) {
  // A key there that cannot be written says why; one that cannot be made says so.
  std::optional<TRegistryKey> key = TRegistryKey::OpenForUpdate(HKEY_CURRENT_USER, SettingsKey);
  if (!key) key = TRegistryKey::OpenForWriting(HKEY_CURRENT_USER, SettingsKey, true);
  if (!key) throw ERegistryException(Format(L"Не удалось создать раздел реестра \"%s\"", {SettingsKey}));
  key->WriteString(L"SMTPHost", settings.Host);
  key->WriteString(L"SMTPPort", settings.Port);
  key->WriteString(L"SMTPUserName", settings.UserName);
  if (subject != DefaultEMailSubject) key->WriteString(L"EMailSubject", subject);
}

}  // namespace ornpm
