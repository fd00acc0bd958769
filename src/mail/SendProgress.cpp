#include "mail/SendProgress.h"

namespace ornpm {

bool TSendProgress::Cancel() {
  std::lock_guard lock(FLock);
  if (FCommitted) return false;
  FCancelled = true;
  // Wakes a send or receive blocked on the socket; the socket itself stays the
  // connection's to close.
  if (FSocket != INVALID_SOCKET) ::shutdown(FSocket, SD_BOTH);
  return true;
}

bool TSendProgress::Cancelled() const {
  std::lock_guard lock(FLock);
  return FCancelled;
}

void TSendProgress::CheckCancelled() const {
  if (Cancelled()) throw ESendCancelled();
}

void TSendProgress::Commit() {
  std::lock_guard lock(FLock);
  if (FCancelled) throw ESendCancelled();
  FCommitted = true;
}

void TSendProgress::AttachSocket(SOCKET socket) {
  std::lock_guard lock(FLock);
  FSocket = socket;
  if (FCancelled) ::shutdown(FSocket, SD_BOTH);
}

void TSendProgress::DetachSocket() {
  std::lock_guard lock(FLock);
  FSocket = INVALID_SOCKET;
}

}  // namespace ornpm
