#pragma once
// Whole-file reads and a small owner of an open file for positioned reads and writes.
// Failures raise EFOpenError (open) or EInOutError (read, write, seek) naming the file.

#include <windows.h>

#include <cstdint>
#include <string>

#include "win/Handles.h"

namespace ornpm {

class TFileStream {
 public:
  // CreateFileW with OPEN_EXISTING.
  TFileStream(const std::wstring& fileName, DWORD access, DWORD shareMode);

  uint64_t Size() const;
  void Seek(uint64_t position) const;
  void SeekToEnd() const;
  // Reads exactly count bytes.
  void ReadExactly(void* buffer, DWORD count) const;
  void Write(const void* buffer, DWORD count) const;

 private:
  [[noreturn]] void RaiseInOut(const wchar_t* pattern) const;

  std::wstring FFileName;
  UniqueFileHandle FHandle;
};

// The whole file, opened for reading with read and write sharing.
std::string ReadFileBytes(const std::wstring& fileName);

}  // namespace ornpm
