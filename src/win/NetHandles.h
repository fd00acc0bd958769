#pragma once
// Move-only owners for the network resources: sockets and certificate stores, released
// exactly once like every other handle.

#include <windows.h>

#include <wincrypt.h>
#include <winsock2.h>

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

using UniqueSocket = UniqueResource<SocketTraits>;
using UniqueCertStore = UniqueResource<CertStoreTraits>;

}  // namespace ornpm
