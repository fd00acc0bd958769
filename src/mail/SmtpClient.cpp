#include "mail/SmtpClient.h"

#include <algorithm>

#include "mail/MimeEncoding.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// Message data goes to the connection in whole TLS records (16 KB of data each): a piece
// a few bytes over would cost a record and a send of its own for those few bytes.
constexpr size_t TlsRecordBytes = 16 * 1024;
constexpr size_t DataPieceBytes = 4 * TlsRecordBytes;

// A reply is read whole before it is looked at: these bound what a server can make us hold.
constexpr size_t MaxReplyLineBytes = 64 * 1024;
constexpr size_t MaxReplyBytes = 1024 * 1024;

// A message line on the wire: its CR LF, and the period that transparency adds.
uint64_t SentSize(std::string_view line) {
  return line.size() + 2 + (line.starts_with('.') ? 1 : 0);
}

bool Expected(const TSmtpReply& reply, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), reply.Code) != codes.end();
}

}  // namespace

void RaiseReply(const TSmtpReply& reply) {
  std::string text;
  for (const std::string& line : reply.Lines) text += (text.empty() ? "" : "\r\n") + line;
  if (text.empty()) text = std::to_string(reply.Code);
  throw ESMTPReplyError(reply.Code, BytesToWide(text, CP_UTF8));
}

TSmtpReply TSmtpClient::ReadReply() {
  TSmtpReply reply;
  for (size_t total = 0;;) {
    std::string line = FConnection.ReadLine(MaxReplyLineBytes);
    total += line.size() + 2;
    if (total > MaxReplyBytes)
      throw ESocketError(Format(L"Ответ сервера длиннее %s байт", {std::to_wstring(MaxReplyBytes)}));
    bool valid = line.size() >= 3 &&
                 std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) &&
                 (line.size() == 3 || line[3] == ' ' || line[3] == '-');
    if (!valid) throw ESMTPReplyError(0, L"Неверный ответ сервера: " + BytesToWide(line, CP_UTF8));
    reply.Code = std::stoi(line.substr(0, 3));
    reply.Lines.push_back(line.size() > 4 ? line.substr(4) : "");
    if (line.size() == 3 || line[3] == ' ') return reply;
  }
}

TSmtpReply TSmtpClient::Command(const std::string& line) {
  FConnection.Write(line + "\r\n");
  return ReadReply();
}

void TSmtpClient::Open(const std::wstring& hostName) {
  TSmtpReply greeting = ReadReply();
  if (greeting.Code != 220) RaiseReply(greeting);
  std::string name = WideToBytes(hostName);
  TSmtpReply reply = Command("EHLO " + name);
  if (reply.Code == 250) {
    FExtensions.assign(reply.Lines.begin() + 1, reply.Lines.end());
    return;
  }
  reply = Command("HELO " + name);
  if (reply.Code != 250) RaiseReply(reply);
}

bool TSmtpClient::OffersLogin() const {
  for (const std::string& extension : FExtensions) {
    if (extension.size() < 5 || !StartsText(L"AUTH", BytesToWide(extension.substr(0, 4))) ||
        (extension[4] != ' ' && extension[4] != '='))
      continue;
    std::wstring mechanisms = BytesToWide(extension.substr(5)) + L" ";
    for (size_t start = 0, end; (end = mechanisms.find(L' ', start)) != std::wstring::npos; start = end + 1)
      if (SameText(mechanisms.substr(start, end - start), L"LOGIN")) return true;
  }
  return false;
}

void TSmtpClient::Authenticate(const std::wstring& userName, const std::wstring& password) {
  if (!OffersLogin()) return;
  TSmtpReply reply = Command("AUTH LOGIN");
  if (reply.Code != 334) RaiseReply(reply);
  reply = Command(Base64(WideToBytes(userName, CP_UTF8)));
  if (reply.Code == 235) return;
  if (reply.Code != 334) RaiseReply(reply);
  reply = Command(Base64(WideToBytes(password, CP_UTF8)));
  if (reply.Code != 235) RaiseReply(reply);
}

void TSmtpClient::Transaction(const std::string& line, std::initializer_list<int> expected) {
  TSmtpReply reply = Command(line);
  if (Expected(reply, expected)) return;
  ResetAfter(reply);
}

void TSmtpClient::ResetAfter(const TSmtpReply& refusal) {
  // The refusal is what the user needs to read, even when the server hangs up on RSET.
  try {
    Command("RSET");
  } catch (const Exception&) {
  }
  RaiseReply(refusal);
}

void TSmtpClient::Send(const TMimeMessage& message) {
  Transaction(std::string("MAIL FROM:<").append(WideToBytes(Trim(message.From.Address))).append(">"), {250});
  for (const TMailAddress& recipient : message.To)
    Transaction(std::string("RCPT TO:<").append(WideToBytes(recipient.Address)).append(">"), {250, 251});
  Transaction("DATA", {354});
  FConnection.BeginData();
  SendData(message);
  FConnection.EndData();
  // The end of the message makes it the server's to deliver: no stop after this.
  if (FProgress) FProgress->Commit();
  FConnection.Write(".\r\n");
  TSmtpReply reply = ReadReply();
  if (!Expected(reply, {250})) ResetAfter(reply);
}

void TSmtpClient::SendData(const TMimeMessage& message) {
  if (FProgress) {
    uint64_t lines = 0;
    const uint64_t base64 = WriteMimeMessageOutline(message, [&](std::string_view line) { lines += SentSize(line); });
    FProgress->BeginData(lines + base64);
  }
  std::string piece;
  auto send = [&](size_t count) {
    FConnection.Write(std::string_view(piece).substr(0, count));
    piece.erase(0, count);
    if (!FProgress) return;
    FProgress->Advance(count);
    FProgress->CheckCancelled();
  };
  WriteMimeMessage(message, [&](std::string_view line) {
    if (line.starts_with('.')) piece += '.';  // transparency: the server removes it again
    piece.append(line);
    piece += "\r\n";
    if (piece.size() >= DataPieceBytes) send(DataPieceBytes);
  });
  send(piece.size());
}

void TSmtpClient::Quit() {
  Command("QUIT");
}

}  // namespace ornpm
