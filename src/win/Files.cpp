#include "win/Files.h"

#include <limits>
#include <stdexcept>

#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {

TFileStream::TFileStream(const std::wstring& fileName, DWORD access, DWORD shareMode, DWORD disposition)
    : FFileName(fileName),
      FHandle(
          ::CreateFileW(fileName.c_str(), access, shareMode, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (FHandle) return;
  std::wstring reason = SysErrorMessage(::GetLastError());
  if (disposition == CREATE_ALWAYS)
    throw EFCreateError(Format(L"Не удалось создать файл \"%s\": %s", {fileName, reason}));
  throw EFOpenError(Format(L"Не удалось открыть файл \"%s\": %s", {fileName, reason}));
}

void TFileStream::RaiseInOut(const wchar_t* pattern) const {
  throw EInOutError(Format(pattern, {FFileName, SysErrorMessage(::GetLastError())}));
}

uint64_t TFileStream::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(FHandle.Get(), &size)) RaiseInOut(L"Ошибка чтения файла \"%s\": %s");
  return static_cast<uint64_t>(size.QuadPart);
}

void TFileStream::Seek(uint64_t position) const {
  LARGE_INTEGER distance{};
  distance.QuadPart = static_cast<LONGLONG>(position);
  if (!::SetFilePointerEx(FHandle.Get(), distance, nullptr, FILE_BEGIN))
    RaiseInOut(L"Ошибка позиционирования в файле \"%s\": %s");
}

void TFileStream::SeekToEnd() const {
  if (!::SetFilePointerEx(FHandle.Get(), LARGE_INTEGER{}, nullptr, FILE_END))
    RaiseInOut(L"Ошибка позиционирования в файле \"%s\": %s");
}

void TFileStream::ReadExactly(void* buffer, DWORD count) const {
  auto* bytes = static_cast<char*>(buffer);
  while (count > 0) {
    DWORD done = 0;
    if (!::ReadFile(FHandle.Get(), bytes, count, &done, nullptr)) RaiseInOut(L"Ошибка чтения файла \"%s\": %s");
    if (done == 0) {
      ::SetLastError(ERROR_HANDLE_EOF);
      RaiseInOut(L"Ошибка чтения файла \"%s\": %s");
    }
    bytes += done;
    count -= done;
  }
}

bool TFileStream::TryTruncate(uint64_t size) const noexcept {
  return SetFileEnd(FHandle.Get(), size);
}

void TFileStream::Write(const void* buffer, DWORD count) const {
  DWORD done = 0;
  if (!::WriteFile(FHandle.Get(), buffer, count, &done, nullptr)) RaiseInOut(L"Ошибка записи в файл \"%s\": %s");
  if (done != count) {
    ::SetLastError(ERROR_DISK_FULL);
    RaiseInOut(L"Ошибка записи в файл \"%s\": %s");
  }
}

bool SetFileEnd(HANDLE file, uint64_t size) noexcept {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

std::string ReadFileBytes(const std::wstring& fileName) {
  TFileStream file(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  uint64_t size = file.Size();
  if (size > std::numeric_limits<DWORD>::max() / 2)
    throw EInOutError(Format(L"Ошибка чтения файла \"%s\": %s", {fileName, SysErrorMessage(ERROR_FILE_TOO_LARGE)}));
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!bytes.empty()) file.ReadExactly(bytes.data(), static_cast<DWORD>(bytes.size()));
  return bytes;
}

void WriteFileBytes(const std::wstring& fileName, std::string_view bytes) {
  TFileStream file(fileName, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (bytes.size() > std::numeric_limits<DWORD>::max()) throw std::length_error("file too large");
  file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool IsMissingFile(const std::wstring& fileName) {
  if (::GetFileAttributesW(fileName.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

namespace {

bool ReplaceContent(HANDLE file, std::string_view bytes) noexcept {
  LARGE_INTEGER oldSize{};
  if (!::GetFileSizeEx(file, &oldSize) || bytes.size() > MAXDWORD) return false;
  if (bytes.size() > static_cast<uint64_t>(oldSize.QuadPart) && !SetFileEnd(file, bytes.size())) return false;
  DWORD written = 0;
  return ::SetFilePointerEx(file, {}, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && SetFileEnd(file, bytes.size());
}

}  // namespace

bool TryWriteOver(const std::wstring& fileName, std::string_view bytes) noexcept {
  UniqueFileHandle file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && ReplaceContent(file.Get(), bytes);
}

uint64_t GetFileSize(const std::wstring& fileName) {
  return TFileStream(fileName, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE).Size();
}

std::optional<SYSTEMTIME> FileTimeToLocal(const FILETIME& time, const TIME_ZONE_INFORMATION* zone) {
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&time, &utc) || !::SystemTimeToTzSpecificLocalTime(zone, &utc, &local))
    return std::nullopt;
  return local;
}

namespace {

// The same error, told about the file the caller asked for.
[[noreturn]] void RaiseForFile(const Exception& error, const std::wstring& temporary, const std::wstring& fileName) {
  std::wstring message = error.Message();
  for (size_t pos = 0; (pos = message.find(temporary, pos)) != std::wstring::npos; pos += fileName.size())
    message.replace(pos, temporary.size(), fileName);
  if (dynamic_cast<const EInOutError*>(&error)) throw EInOutError(message);
  if (dynamic_cast<const EIniFileException*>(&error)) throw EIniFileException(message);
  throw EFCreateError(message);
}

}  // namespace

void WriteFileReplacing(const std::wstring& fileName, const std::function<void(const std::wstring&)>& write) {
  // In the same folder, so that the move is a rename on one volume and cannot half-happen.
  const std::wstring temporary = fileName + L".~" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  ::DeleteFileW(temporary.c_str());  // one left behind by a run that was killed
  try {
    write(temporary);
  } catch (const Exception& error) {
    ::DeleteFileW(temporary.c_str());
    RaiseForFile(error, temporary, fileName);
  } catch (...) {
    ::DeleteFileW(temporary.c_str());
    throw;  // out of memory and the like keep their kind
  }
  if (!::MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    throw EFCreateError(Format(L"Не удалось записать файл \"%s\": %s", {fileName, SysErrorMessage(code)}));
  }
}

namespace {

// What the buffer collects before it goes to the file.
constexpr size_t WriteBufferSize = 65536;

}  // namespace

TTextFileWriter::TTextFileWriter(const std::wstring& fileName) : FFile(fileName, GENERIC_WRITE, 0, CREATE_ALWAYS) {
  FBuffer.reserve(WriteBufferSize * 2);
}

void TTextFileWriter::Write(std::wstring_view text) {
  AppendBytes(FBuffer, text);
  if (FBuffer.size() >= WriteBufferSize) WriteBuffer();
}

void TTextFileWriter::Close() {
  WriteBuffer();
}

void TTextFileWriter::WriteBuffer() {
  if (FBuffer.size() > std::numeric_limits<DWORD>::max()) throw std::length_error("text too long");
  if (!FBuffer.empty()) FFile.Write(FBuffer.data(), static_cast<DWORD>(FBuffer.size()));
  FBuffer.clear();
}

}  // namespace ornpm
