#include "mail/ServerTrust.h"

#include <windows.h>

#include <wincrypt.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <vector>

#include "win/Exceptions.h"
#include "win/NetHandles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

std::vector<unsigned char> Der(X509* certificate) {
  const int length = i2d_X509(certificate, nullptr);
  if (length <= 0) return {};
  std::vector<unsigned char> der(static_cast<size_t>(length));
  unsigned char* out = der.data();
  i2d_X509(certificate, &out);
  return der;
}

// The Windows verdict on the chain the server presented: 0 when it is trusted for the
// host, else the policy's error; chainStatus gets the chain's own trust status.
DWORD WindowsChainError(X509_STORE_CTX* store, const std::wstring& host, DWORD& chainStatus) {
  UniqueCertStore presented(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!presented) return ::GetLastError();
  STACK_OF(X509)* untrusted = X509_STORE_CTX_get0_untrusted(store);
  for (int i = 0; i < sk_X509_num(untrusted); ++i) {
    std::vector<unsigned char> der = Der(sk_X509_value(untrusted, i));
    ::CertAddEncodedCertificateToStore(presented.Get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                       CERT_STORE_ADD_ALWAYS, nullptr);
  }
  std::vector<unsigned char> leafDer = Der(X509_STORE_CTX_get0_cert(store));
  UniqueCertContext leaf(
      ::CertCreateCertificateContext(X509_ASN_ENCODING, leafDer.data(), static_cast<DWORD>(leafDer.size())));
  if (!leaf) return ::GetLastError();

  // An engine of its own reads the root stores as they are now, not as they were when
  // the process first asked.
  CERT_CHAIN_ENGINE_CONFIG config{};
  config.cbSize = sizeof config;
  UniqueCertChainEngine engine;
  if (!::CertCreateCertificateChainEngine(&config, engine.Put())) return ::GetLastError();

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  UniqueCertChain chain;
  if (!::CertGetCertificateChain(engine.Get(), leaf.Get(), nullptr, presented.Get(), &chainPara, 0, nullptr,
                                 chain.Put()))
    return ::GetLastError();

  std::wstring serverName = host;
  HTTPSPolicyCallbackData ssl{};
  ssl.cbStruct = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = serverName.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  chainStatus = chain.Get()->TrustStatus.dwErrorStatus;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &status))
    return ::GetLastError();
  if (status.dwError != 0) return status.dwError;
  // The policy is the system's word; where it passes a chain the engine itself found
  // faulty (an incomplete one, as Wine's does), the chain's own status still decides.
  const DWORD ignored = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  return chain.Get()->TrustStatus.dwErrorStatus & ~ignored ? static_cast<DWORD>(CERT_E_CHAINING) : 0;
}

std::wstring VerdictText(DWORD verdict, DWORD chainStatus) {
  wchar_t codes[64];
  std::swprintf(codes, 64, L" (0x%08lX, состояние цепочки 0x%08lX)", static_cast<unsigned long>(verdict),
                static_cast<unsigned long>(chainStatus));
  std::wstring text = L"Windows: " + SysErrorMessage(verdict);
  while (!text.empty() && (text.back() == L'.' || static_cast<unsigned>(text.back()) <= L' ')) text.pop_back();
  return text + codes;
}

int CheckChain(X509_STORE_CTX* store, const std::wstring& host, std::wstring& windowsVerdict) {
  windowsVerdict.clear();
  if (X509_verify_cert(store) == 1) return 1;
  const int error = X509_STORE_CTX_get_error(store);
  // A chain OpenSSL trusts but for another name: no store changes that.
  if (error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH) return 0;
  DWORD chainStatus = 0;
  const DWORD verdict = WindowsChainError(store, host, chainStatus);
  if (verdict == 0) {
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  windowsVerdict = VerdictText(verdict, chainStatus);
  // Otherwise the user reads what OpenSSL found, unless Windows trusts the chain and only
  // the name is wrong.
  if (verdict == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
    X509_STORE_CTX_set_error(
        store, IsIpAddress(WideToBytes(host, CP_UTF8)) ? X509_V_ERR_IP_ADDRESS_MISMATCH : X509_V_ERR_HOSTNAME_MISMATCH);
  return 0;
}

}  // namespace

bool IsIpAddress(const std::string& host) {
  in6_addr address;
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1 || ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

// A check that cannot finish rejects the server; the connection reports why.
int TServerTrust::VerifyChain(X509_STORE_CTX* store, void* argument) noexcept {
  auto* trust = static_cast<TServerTrust*>(argument);
  try {
    return CheckChain(store, trust->FHost, trust->FWindowsVerdict);
  } catch (...) {
    trust->FFailure = std::current_exception();
    X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
    return 0;
  }
}

void TServerTrust::Install(SSL_CTX* context) {
  SSL_CTX_set_cert_verify_callback(context, VerifyChain, this);
}

}  // namespace ornpm
