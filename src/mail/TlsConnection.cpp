#include "mail/TlsConnection.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "mail/ServerTrust.h"
#include "win/NetHandles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

class TWinsock {
 public:
  TWinsock() {
    WSADATA data;
    if (int error = ::WSAStartup(MAKEWORD(2, 2), &data)) throw ESocketError(SysErrorMessage(error));
  }
  ~TWinsock() { ::WSACleanup(); }
};

std::wstring OpenSslErrors() {
  std::wstring text;
  while (unsigned long error = ERR_get_error()) {
    char buffer[256];
    ERR_error_string_n(error, buffer, sizeof buffer);
    text += (text.empty() ? L"" : L"; ") + BytesToWide(buffer, CP_UTF8);
  }
  return text;
}

// What the TLS layer writes is gathered into sends of this size: under Wine each send is a
// round trip to the Wine server, and one per 16 KB record costs a fifth of the throughput.
constexpr int SendBufferBytes = 256 * 1024;

// Reads straight from the socket; writes through a buffer in front of it, which the
// handshake flushes itself and Flush empties before every wait for the server.
bool AttachSocket(SSL* ssl, SOCKET socket) {
  BIO* direct = BIO_new_socket(static_cast<int>(socket), BIO_NOCLOSE);
  BIO* buffered = BIO_new(BIO_f_buffer());
  if (!direct || !buffered || BIO_set_write_buffer_size(buffered, SendBufferBytes) != 1) {
    BIO_free(direct);
    BIO_free(buffered);
    return false;
  }
  BIO_push(buffered, direct);
  BIO_up_ref(direct);  // one reference for each direction; the connection frees both
  SSL_set_bio(ssl, direct, buffered);
  return true;
}

}  // namespace

TTlsConnection::TTlsConnection(const std::wstring& host, uint16_t port, const TTimeLimits& limits,
                               TSendProgress* progress)
    : FHost(host), FLimits(limits), FDeadline(::GetTickCount64() + limits.DialogueMs), FProgress(progress) {
  static TWinsock winsock;
  Connect(host, port);
  if (FProgress) FProgress->AttachSocket(FSocket.Get());
  Handshake(host);
}

TTlsConnection::~TTlsConnection() {
  if (FProgress) FProgress->DetachSocket();
}

// Connects without blocking and waits at most what the time limits leave; 0 or the error.
int TTlsConnection::ConnectWithin(SOCKET socket, const sockaddr* address, int length) {
  u_long nonBlocking = 1;
  if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) return ::WSAGetLastError();
  if (::connect(socket, address, length) != 0) {
    int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return error;
    // In short steps, so that a stop asked meanwhile is seen.
    constexpr DWORD StepMs = 100;
    for (const ULONGLONG end = ::GetTickCount64() + WaitLeftMs();;) {
      if (FProgress && FProgress->Cancelled()) return WSAECONNABORTED;
      const ULONGLONG now = ::GetTickCount64();
      if (now >= end) return WSAETIMEDOUT;
      const DWORD step = static_cast<DWORD>(std::min<ULONGLONG>(end - now, StepMs));
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(socket, &writable);
      FD_SET(socket, &failed);
      timeval limit{0, static_cast<long>(step * 1000)};
      const int ready = ::select(0, nullptr, &writable, &failed, &limit);
      if (ready == SOCKET_ERROR) return ::WSAGetLastError();
      if (ready > 0) break;
    }
    int socketError = 0;
    int size = sizeof socketError;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &size) != 0)
      return ::WSAGetLastError();
    if (socketError != 0) return socketError;
  }
  u_long blocking = 0;
  return ::ioctlsocket(socket, FIONBIO, &blocking) == 0 ? 0 : ::WSAGetLastError();
}

void TTlsConnection::Connect(const std::wstring& host, uint16_t port) {
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  UniqueAddrInfo found;
  std::wstring service = std::to_wstring(port);
  if (int error = ::GetAddrInfoW(host.c_str(), service.c_str(), &hints, found.Put()))
    throw ESocketError(Format(L"Сервер \"%s\" не найден: %s", {host, SysErrorMessage(error)}));
  int lastError = 0;
  for (ADDRINFOW* entry = found.Get(); entry && !FSocket; entry = entry->ai_next) {
    FSocket.Reset(::socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol));
    if (!FSocket) continue;
    lastError = ConnectWithin(FSocket.Get(), entry->ai_addr, static_cast<int>(entry->ai_addrlen));
    if (lastError == 0) break;
    FSocket.Reset();
  }
  if (FSocket) {
    // A send buffer of the size we send at once, instead of one the system may grow to
    // megabytes: what counts as sent has nearly left, so the time limits and the progress
    // shown follow the wire, and the reply to the message does not wait for a backlog.
    const int sendBuffer = SendBufferBytes;
    ::setsockopt(FSocket.Get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBuffer), sizeof sendBuffer);
  }
  if (!FSocket) {
    std::wstring reason =
        lastError == WSAETIMEDOUT ? std::wstring(L"превышено время ожидания сервера") : SysErrorMessage(lastError);
    throw ESocketError(Format(L"Не удалось подключиться к %s:%s: %s", {host, service, reason}));
  }
}

void TTlsConnection::Handshake(const std::wstring& host) {
  std::string name = WideToBytes(host, CP_UTF8);
  FContext.Reset(SSL_CTX_new(TLS_client_method()));
  SSL_CTX* context = FContext.Get();
  if (!context) throw ESocketError(L"Не удалось инициализировать TLS: " + OpenSslErrors());
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_default_verify_paths(context);
  FTrust.Install(context);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  ERR_clear_error();

  FSsl.Reset(SSL_new(context));
  SSL* ssl = FSsl.Get();
  if (!ssl || !AttachSocket(ssl, FSocket.Get()))
    throw ESocketError(L"Не удалось инициализировать TLS: " + OpenSslErrors());
  if (IsIpAddress(name)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, name.c_str());
    SSL_set1_host(ssl, name.c_str());
  }
  ArmTimeout();
  ::WSASetLastError(0);
  int result = SSL_connect(ssl);
  if (result == 1) return;
  CheckTrustFailure();
  long verify = SSL_get_verify_result(ssl);
  if (verify != X509_V_OK) {
    std::wstring reason = BytesToWide(X509_verify_cert_error_string(verify), CP_UTF8);
    if (!FTrust.WindowsVerdict().empty()) reason += L"; " + FTrust.WindowsVerdict();
    throw ESocketError(L"Сертификат сервера не прошёл проверку: " + reason);
  }
  RaiseIoError(result, L"Ошибка установления TLS-соединения");
}

DWORD TTlsConnection::WaitLeftMs() const {
  if (FDataStart) return FLimits.IoMs;
  ULONGLONG now = ::GetTickCount64();
  return now >= FDeadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(FLimits.IoMs, FDeadline - now));
}

void TTlsConnection::ArmTimeout() {
  const DWORD wait = WaitLeftMs();
  if (wait == 0) throw ESocketError(L"Превышено время ожидания сервера");
  // Under Wine every socket option is a round trip to the server; most waits repeat the last.
  if (wait == FArmedMs) return;
  FArmedMs = wait;
  ::setsockopt(FSocket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
  ::setsockopt(FSocket.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
}

void TTlsConnection::CheckTrustFailure() const {
  const std::exception_ptr failure = FTrust.Failure();
  if (!failure) return;
  std::wstring reason = L"Непредвиденная ошибка";
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    reason = ExceptionMessage(error);
  } catch (...) {
  }
  throw ESocketError(L"Не удалось проверить сертификат сервера: " + reason);
}

void TTlsConnection::RaiseIoError(int result, const wchar_t* action) {
  CheckTrustFailure();  // a check in a renegotiation
  int error = SSL_get_error(FSsl.Get(), result);
  int socketError = ::WSAGetLastError();
  std::wstring reasons = OpenSslErrors();
  if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && socketError == 0 && reasons.empty()))
    throw ESocketError(Format(L"%s: сервер закрыл соединение", {action}));
  if (reasons.empty() && !socketError) reasons = L"SSL error " + std::to_wstring(error);
  RaiseSocketError(action, socketError, reasons);
}

void TTlsConnection::RaiseSocketError(const wchar_t* action, int socketError, std::wstring reasons) {
  if (socketError == WSAETIMEDOUT) throw ESocketError(Format(L"%s: превышено время ожидания сервера", {action}));
  if (reasons.empty()) reasons = SysErrorMessage(socketError);
  throw ESocketError(Format(L"%s: %s", {action, reasons}));
}

void TTlsConnection::RaiseOverlong(size_t maxLength) {
  throw ESocketError(Format(L"Строка ответа сервера длиннее %s байт", {std::to_wstring(maxLength)}));
}

void TTlsConnection::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ArmTimeout();
    ::WSASetLastError(0);
    int written = SSL_write(FSsl.Get(), bytes.data(), static_cast<int>(bytes.size()));
    if (written <= 0) RaiseIoError(written, L"Ошибка передачи данных");
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void TTlsConnection::BeginData() {
  FDataStart = ::GetTickCount64();
}

void TTlsConnection::EndData() {
  Flush();
  FDeadline += ::GetTickCount64() - FDataStart;
  FDataStart = 0;
}

void TTlsConnection::Flush() {
  ArmTimeout();
  ::WSASetLastError(0);
  if (BIO_flush(SSL_get_wbio(FSsl.Get())) != 1) {
    const int socketError = ::WSAGetLastError();
    RaiseSocketError(L"Ошибка передачи данных", socketError, OpenSslErrors());
  }
}

std::string TTlsConnection::ReadLine(size_t maxLength) {
  Flush();
  for (size_t scanned = 0;;) {
    size_t end = FBuffer.find('\n', scanned);
    if (end != std::string::npos) {
      std::string line = FBuffer.substr(0, end);
      FBuffer.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > maxLength) RaiseOverlong(maxLength);
      return line;
    }
    scanned = FBuffer.size();
    if (scanned > maxLength + 1) RaiseOverlong(maxLength);  // one more for the CR
    char chunk[4096];
    ArmTimeout();
    ::WSASetLastError(0);
    int received = SSL_read(FSsl.Get(), chunk, sizeof chunk);
    if (received <= 0) RaiseIoError(received, L"Ошибка приёма данных");
    FBuffer.append(chunk, static_cast<size_t>(received));
  }
}

}  // namespace ornpm
