#pragma once
// The program's error kinds. The class name of an error is its kind name: the texts of a
// failed repair or report written without a window carry it next to the message (for
// example "EFOpenError"), so it is part of the text.

#include <windows.h>

#include <exception>
#include <string>

namespace ornpm {

class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message);

  const std::wstring& Message() const noexcept { return FMessage; }
  virtual const wchar_t* KindName() const noexcept { return L"Exception"; }
  // UTF-8 for diagnostics outside the program's own displays (test output, for one).
  const char* what() const noexcept override { return FWhat.c_str(); }

 private:
  std::wstring FMessage;
  std::string FWhat;
};

#define ORNPM_DECLARE_EXCEPTION(Name, Base)                                 \
  class Name : public Base {                                                \
   public:                                                                  \
    using Base::Base;                                                       \
    const wchar_t* KindName() const noexcept override { return L## #Name; } \
  }

ORNPM_DECLARE_EXCEPTION(EStreamError, Exception);
ORNPM_DECLARE_EXCEPTION(EFOpenError, EStreamError);
ORNPM_DECLARE_EXCEPTION(EFCreateError, EStreamError);
ORNPM_DECLARE_EXCEPTION(EInOutError, Exception);
ORNPM_DECLARE_EXCEPTION(ERegistryException, Exception);
ORNPM_DECLARE_EXCEPTION(EIniFileException, Exception);
// Memory ran out; the message says what was being done.
ORNPM_DECLARE_EXCEPTION(EOutOfMemory, Exception);

#undef ORNPM_DECLARE_EXCEPTION

// A failed Win32 call, with the system's own description of the error code.
class EOSError : public Exception {
 public:
  explicit EOSError(DWORD errorCode);
  const wchar_t* KindName() const noexcept override { return L"EOSError"; }
};

// The system's text for an error code, without the trailing line break.
std::wstring SysErrorMessage(DWORD errorCode);

// Kind name and message of any exception: ours carry both, others are named generically.
std::wstring ExceptionKindName(const std::exception& error);
std::wstring ExceptionMessage(const std::exception& error);

}  // namespace ornpm
