#include "win/Exceptions.h"

#include <new>
#include <stdexcept>

#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToBytes(FMessage, CP_UTF8)) {}

EOSError::EOSError(DWORD errorCode) : Exception(SysErrorMessage(errorCode)) {}

std::wstring SysErrorMessage(DWORD errorCode) {
  wchar_t* buffer = nullptr;
  DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  UniqueLocalMem owner(buffer);
  std::wstring text = TrimRight(std::wstring(buffer ? buffer : L"", length));
  if (text.empty()) text = L"Системная ошибка, код " + std::to_wstring(errorCode);
  return text;
}

std::wstring ExceptionKindName(const std::exception& error) {
  if (auto own = dynamic_cast<const Exception*>(&error)) return own->KindName();
  if (dynamic_cast<const std::bad_alloc*>(&error)) return L"EOutOfMemory";
  return L"Exception";
}

std::wstring ExceptionMessage(const std::exception& error) {
  if (auto own = dynamic_cast<const Exception*>(&error)) return own->Message();
  // The library's own texts are English and say nothing to the user.
  if (dynamic_cast<const std::bad_alloc*>(&error)) return L"Недостаточно памяти";
  if (dynamic_cast<const std::length_error*>(&error)) return L"Недостаточно памяти: слишком большой объём данных";
  return L"Непредвиденная ошибка: " + BytesToWide(error.what(), CP_UTF8);
}

}  // namespace ornpm
