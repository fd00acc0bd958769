#pragma once
// Whom the mail connection trusts: a server chain that OpenSSL's default locations
// (SSL_CERT_FILE, SSL_CERT_DIR) vouch for, or else one that the Windows chain engine
// accepts for the server's name. The engine fetches roots the workstation has not seen yet
// and follows the enterprise's policy, which a copy of the root store taken once cannot.

#include <exception>
#include <string>
#include <utility>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct x509_store_ctx_st X509_STORE_CTX;

namespace ornpm {

// Whether the server is named by an address, IPv4 in dotted form or IPv6, rather than by a
// host name: the one rule for which name the certificate is checked against.
bool IsIpAddress(const std::string& host);

class TServerTrust {
 public:
  explicit TServerTrust(std::wstring host) : FHost(std::move(host)) {}
  TServerTrust(const TServerTrust&) = delete;
  TServerTrust& operator=(const TServerTrust&) = delete;

  // Makes the context verify every server chain this way for the host; this object must
  // outlive the context.
  void Install(SSL_CTX* context);
  // What broke the check itself, which then rejected the server; empty while nothing did.
  std::exception_ptr Failure() const { return FFailure; }
  // Why the Windows chain engine, asked after OpenSSL, did not vouch for the server: its
  // policy's error and the chain's trust status; empty while it was not asked or agreed.
  const std::wstring& WindowsVerdict() const { return FWindowsVerdict; }

 private:
  // Called from inside OpenSSL: nothing may unwind through its frames.
  static int VerifyChain(X509_STORE_CTX* store, void* argument) noexcept;

  std::wstring FHost;
  std::exception_ptr FFailure;
  std::wstring FWindowsVerdict;
};

}  // namespace ornpm
