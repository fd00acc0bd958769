#pragma once
// Whom the mail connection trusts: a server chain that OpenSSL's default locations
// (SSL_CERT_FILE, SSL_CERT_DIR) vouch for, or else one that the Windows chain engine
// accepts for the server's name. The engine fetches roots the workstation has not seen yet
// and follows the enterprise's policy, which a copy of the root store taken once cannot.

#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace ornpm {

// Makes the context verify every server chain this way for the given host. The host text
// must outlive the context.
void VerifyServersWithWindows(SSL_CTX* context, const std::wstring& host);

}  // namespace ornpm
