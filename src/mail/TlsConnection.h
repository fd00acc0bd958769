#pragma once
// A TCP connection with TLS from the first byte (implicit TLS), verified by OpenSSL's
// default locations or the Windows chain engine, with bounded waits.

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "mail/SendProgress.h"
#include "mail/ServerTrust.h"
#include "win/Exceptions.h"
#include "win/NetHandles.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
extern "C" void SSL_free(SSL*);
extern "C" void SSL_CTX_free(SSL_CTX*);

namespace ornpm {

struct SslContextTraits {
  using Type = SSL_CTX*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { SSL_CTX_free(h); }
};

struct SslTraits {
  using Type = SSL*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { SSL_free(h); }
};

// Connection, TLS and time-out failures; the message is what the user is shown.
class ESocketError : public Exception {
 public:
  using Exception::Exception;
  const wchar_t* KindName() const noexcept override { return L"ESocketError"; }
};

struct TTimeLimits {
  DWORD IoMs = 30 * 1000;            // one blocked send or receive
  DWORD DialogueMs = 5 * 60 * 1000;  // the whole submission except the message data
};

class TTlsConnection {
 public:
  // A stop asked through progress ends the connection's waits.
  TTlsConnection(const std::wstring& host, uint16_t port, const TTimeLimits& limits, TSendProgress* progress);
  ~TTlsConnection();
  TTlsConnection(const TTlsConnection&) = delete;
  TTlsConnection& operator=(const TTlsConnection&) = delete;

  // Writes are gathered and go out when enough has collected or at the next ReadLine.
  void Write(std::string_view bytes);
  // The message data runs as long as it keeps moving: between these, only the limit on a
  // single send holds, and the time spent is not charged to the dialogue. EndData sends
  // what is gathered first.
  void BeginData();
  void EndData();
  // One line without its CR LF; a longer line than maxLength fails without being read whole.
  std::string ReadLine(size_t maxLength);

 private:
  void Connect(const std::wstring& host, uint16_t port);
  int ConnectWithin(SOCKET socket, const sockaddr* address, int length);
  void Handshake(const std::wstring& host);
  // The longest a single wait may last now: the per-operation limit or what is left of the
  // dialogue's, 0 once that is used up.
  DWORD WaitLeftMs() const;
  // Applies what is left of the time limits to the socket before each wait.
  void ArmTimeout();
  // Raises why the server check itself broke, when it did.
  void CheckTrustFailure() const;
  [[noreturn]] void RaiseIoError(int result, const wchar_t* action);
  [[noreturn]] static void RaiseOverlong(size_t maxLength);
  [[noreturn]] static void RaiseSocketError(const wchar_t* action, int socketError, std::wstring reasons);
  // Sends what the writes gathered.
  void Flush();

  std::wstring FHost;  // the name the server's certificate must carry
  TTimeLimits FLimits;
  ULONGLONG FDeadline;
  ULONGLONG FDataStart = 0;  // while the message data runs
  TSendProgress* FProgress;
  DWORD FArmedMs = 0;  // the wait the socket has now; 0 before the first
  UniqueSocket FSocket;
  TServerTrust FTrust{FHost};  // outlives the context that calls it
  UniqueResource<SslContextTraits> FContext;
  UniqueResource<SslTraits> FSsl;
  std::string FBuffer;
};

}  // namespace ornpm
