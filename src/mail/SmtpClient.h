#pragma once
// The client side of an SMTP dialogue, one command at a time (no pipelining).

#include <initializer_list>
#include <string>
#include <vector>

#include "mail/MimeMessage.h"
#include "mail/TlsConnection.h"

namespace ornpm {

// A reply other than the one expected; the message is the server's reply text.
class ESMTPReplyError : public Exception {
 public:
  ESMTPReplyError(int code, std::wstring text) : Exception(std::move(text)), FCode(code) {}
  const wchar_t* KindName() const noexcept override { return L"ESMTPReplyError"; }
  int Code() const noexcept { return FCode; }

 private:
  int FCode;
};

struct TSmtpReply {
  int Code = 0;
  std::vector<std::string> Lines;  // the text of each line after the code
};

class TSmtpClient {
 public:
  // The message data's progress goes to progress, when given, which may also stop it.
  TSmtpClient(TTlsConnection& connection, TSendProgress* progress) : FConnection(connection), FProgress(progress) {}

  // Greeting, then EHLO, or HELO when EHLO is refused.
  void Open(const std::wstring& hostName);
  // AUTH LOGIN when the server offers it; no authentication otherwise.
  void Authenticate(const std::wstring& userName, const std::wstring& password);
  void Send(const TMimeMessage& message);
  void Quit();

 private:
  TSmtpReply Command(const std::string& line);
  TSmtpReply ReadReply();
  bool OffersLogin() const;
  // Sends the command; a reply outside the expected codes is reset and raised.
  void Transaction(const std::string& line, std::initializer_list<int> expected);
  [[noreturn]] void ResetAfter(const TSmtpReply& refusal);
  void SendData(const TMimeMessage& message);

  TTlsConnection& FConnection;
  TSendProgress* FProgress;
  std::vector<std::string> FExtensions;
};

// The reply as an error; for a refused command this is what the user sees.
[[noreturn]] void RaiseReply(const TSmtpReply& reply);

}  // namespace ornpm
