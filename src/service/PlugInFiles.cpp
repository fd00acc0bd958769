#include "service/PlugInFiles.h"

#include <windows.h>

#include <vector>

#include "win/Environment.h"

namespace ornpm {

std::wstring GetPlugInDataDir() {
  return GetEnv(L"AppData") + L"\\ORN\\ORNPlugin";
}

std::wstring GetFileVersionString(const std::wstring& fileName) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(fileName.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(fileName.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof(*info))
    return {};
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L'.' + std::to_wstring(LOWORD(info->dwFileVersionMS)) + L'.' +
         std::to_wstring(HIWORD(info->dwFileVersionLS)) + L'.' + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

}  // namespace ornpm
