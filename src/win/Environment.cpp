#include "win/Environment.h"

#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// Index of the extension's dot within the file-name part, npos when there is none.
size_t ExtensionStart(std::wstring_view path) {
  size_t dot = path.find_last_of(L'.');
  return dot != std::wstring_view::npos && dot >= FileNameStart(path) ? dot : std::wstring_view::npos;
}

}  // namespace

std::wstring GetEnv(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (;;) {
    DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return {};
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw EOSError(::GetLastError());
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

size_t FileNameStart(std::wstring_view path) {
  size_t pos = path.find_last_of(L"\\/:");
  return pos == std::wstring_view::npos ? 0 : pos + 1;
}

std::wstring ExtractFileName(std::wstring_view path) {
  return std::wstring(path.substr(FileNameStart(path)));
}

std::wstring ExtractFilePath(std::wstring_view path) {
  return std::wstring(path.substr(0, FileNameStart(path)));
}

std::wstring ExtractFileExt(std::wstring_view path) {
  size_t dot = ExtensionStart(path);
  return dot == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(dot));
}

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view extension) {
  return std::wstring(path.substr(0, ExtensionStart(path))).append(extension);
}

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
  std::wstring result(path);
  if (result.empty() || (result.back() != L'\\' && result.back() != L'/')) result += L'\\';
  return result;
}

void ForceDirectories(std::wstring_view path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.remove_suffix(1);
  const std::wstring folder(path);
  // A bare drive ("C:") or share root needs no creating; nor does a folder that is there.
  if (folder.empty() || folder.back() == L':' || DirectoryExists(folder)) return;
  if (size_t parent = FileNameStart(folder); parent > 0) ForceDirectories(std::wstring_view(folder).substr(0, parent));
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return;
  const DWORD error = ::GetLastError();
  // Made meanwhile by someone else is as good; a file of that name is not.
  if (error != ERROR_ALREADY_EXISTS || !DirectoryExists(folder))
    throw EFCreateError(Format(L"Не удалось создать папку \"%s\": %s", {folder, SysErrorMessage(error)}));
}

bool RunProgram(const std::wstring& commandLine) {
  try {
    std::wstring buffer = commandLine;  // CreateProcessW may write into its command line
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ornpm
