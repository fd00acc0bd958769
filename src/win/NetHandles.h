#pragma once
// Move-only owners for the network and certificate resources: sockets, resolved addresses,
// certificate stores, certificates, chains and chain engines, released exactly once like
// every other handle.

#include <windows.h>

#include <wincrypt.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "win/Handles.h"

namespace ornpm {

struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() noexcept { return INVALID_SOCKET; }
  static void Close(Type h) noexcept { ::closesocket(h); }
};

struct CertStoreTraits {
  using Type = HCERTSTORE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CertCloseStore(h, 0); }
};

struct AddrInfoTraits {
  using Type = ADDRINFOW*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::FreeAddrInfoW(h); }
};

struct CertContextTraits {
  using Type = PCCERT_CONTEXT;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CertFreeCertificateContext(h); }
};

struct CertChainTraits {
  using Type = PCCERT_CHAIN_CONTEXT;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CertFreeCertificateChain(h); }
};

struct CertChainEngineTraits {
  using Type = HCERTCHAINENGINE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CertFreeCertificateChainEngine(h); }
};

using UniqueSocket = UniqueResource<SocketTraits>;
using UniqueAddrInfo = UniqueResource<AddrInfoTraits>;
using UniqueCertStore = UniqueResource<CertStoreTraits>;
using UniqueCertContext = UniqueResource<CertContextTraits>;
using UniqueCertChain = UniqueResource<CertChainTraits>;
using UniqueCertChainEngine = UniqueResource<CertChainEngineTraits>;

}  // namespace ornpm
