#pragma once
// What a submission running on a worker thread shares with the window that shows it: how
// much of the message has gone out, and the request to stop it.

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "win/Exceptions.h"

namespace ornpm {

// The submission stopped because the user asked; nothing was delivered.
class ESendCancelled : public Exception {
 public:
  ESendCancelled() : Exception(L"Отправка отменена") {}
  const wchar_t* KindName() const noexcept override { return L"ESendCancelled"; }
};

class TSendProgress {
 public:
  // The message data begins; total is its size in bytes as sent.
  void BeginData(uint64_t total) { FTotal.store(total, std::memory_order_relaxed); }
  void Advance(uint64_t bytes) { FSent.fetch_add(bytes, std::memory_order_relaxed); }
  uint64_t Sent() const { return FSent.load(std::memory_order_relaxed); }
  uint64_t Total() const { return FTotal.load(std::memory_order_relaxed); }

  // From any thread: asks the submission to stop, closing its connection under any wait.
  // False once the end of the message has gone out: the server decides from then on.
  bool Cancel();
  bool Cancelled() const;
  // Raises ESendCancelled when a stop was asked.
  void CheckCancelled() const;
  // The end of the message goes out next: no stop from now on (raises when one came first).
  void Commit();

  // The socket whose waits a stop ends; detached before the socket is closed.
  void AttachSocket(SOCKET socket);
  void DetachSocket();

 private:
  std::atomic<uint64_t> FSent{0}, FTotal{0};
  mutable std::mutex FLock;
  SOCKET FSocket = INVALID_SOCKET;
  bool FCancelled = false;
  bool FCommitted = false;
};

}  // namespace ornpm
