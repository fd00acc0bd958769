#pragma once
// Whole-file reads and a small owner of an open file for positioned reads and writes.
// Failures raise EFOpenError (open) or EInOutError (read, write, seek) naming the file.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "win/Handles.h"

namespace ornpm {

class TFileStream {
 public:
  // CreateFileW; CREATE_ALWAYS creates or empties the file, failing with EFCreateError.
  TFileStream(const std::wstring& fileName, DWORD access, DWORD shareMode, DWORD disposition = OPEN_EXISTING);

  uint64_t Size() const;
  void Seek(uint64_t position) const;
  void SeekToEnd() const;
  // Reads exactly count bytes.
  void ReadExactly(void* buffer, DWORD count) const;
  void Write(const void* buffer, DWORD count) const;
  // Cuts the file at the given size; false when the system refused.
  bool TryTruncate(uint64_t size) const noexcept;

 private:
  [[noreturn]] void RaiseInOut(const wchar_t* pattern) const;

  std::wstring FFileName;
  UniqueFileHandle FHandle;
};

// Cuts or extends the open file to the given size; false when the system refused.
bool SetFileEnd(HANDLE file, uint64_t size) noexcept;

// The whole file, opened for reading with read and write sharing.
std::string ReadFileBytes(const std::wstring& fileName);

// Whether the file is missing, or a folder on its path: a file to be created, not one
// that cannot be read.
bool IsMissingFile(const std::wstring& fileName);

// Writes the bytes over the file's content in place, creating the file when it is missing;
// false when the system refused. Opening without truncating means a refused open leaves the
// file as it was; room for a longer content is taken before any old byte is overwritten,
// so a full disk fails with the old content there.
bool TryWriteOver(const std::wstring& fileName, std::string_view bytes) noexcept;

// Creates the file, or empties an existing one, and writes the bytes (EFCreateError when
// it cannot be created).
void WriteFileBytes(const std::wstring& fileName, std::string_view bytes);

// The size of an existing file, without reading it.
uint64_t GetFileSize(const std::wstring& fileName);

// A file's time as the clock showed it there and then: local time with the offset in force
// on that date (winter or summer time of the file's own day, not of today). In the given
// time zone, else the workstation's; empty for a time the system cannot convert.
std::optional<SYSTEMTIME> FileTimeToLocal(const FILETIME& time, const TIME_ZONE_INFORMATION* zone = nullptr);

// A file time as one number of 100-nanosecond steps, which orders as the moments do, and
// back.
constexpr uint64_t FileTimeNumber(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}
constexpr FILETIME FileTimeOf(uint64_t number) {
  return {static_cast<DWORD>(number), static_cast<DWORD>(number >> 32)};
}

// Writes a file whole or not at all: write fills a temporary file in the same folder, which
// then replaces fileName. On any failure the temporary file is removed, a file already
// under the name stays as it was, and the error names fileName, never the temporary file.
void WriteFileReplacing(const std::wstring& fileName, const std::function<void(const std::wstring&)>& write);

// Text written to a new file in the ANSI code page as it comes, piece by piece, through a
// buffer of its own: a text of megabytes is neither held whole nor converted at once.
// Pieces end on whole characters. Close writes what is left; without it the file may lack
// its end (as after an error on the way).
class TTextFileWriter {
 public:
  // Creates the file or empties an existing one (EFCreateError when it cannot be created).
  explicit TTextFileWriter(const std::wstring& fileName);

  void Write(std::wstring_view text);
  void Close();

 private:
  void WriteBuffer();

  TFileStream FFile;
  std::string FBuffer;
};

}  // namespace ornpm
