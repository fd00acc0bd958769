#include "service/LogInfo.h"

#include <exception>
#include <memory>

#include "service/IniFile.h"
#include "service/PlugInFiles.h"
#include "service/PlugInInfo.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Handles.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

constexpr wchar_t LogSection[] = L"Log";
constexpr wchar_t EnabledKey[] = L"FileName";
constexpr wchar_t DisabledKey[] = L"_FileName";
constexpr wchar_t LibNameFolder[] = L"%LibName%\\";

// Undoes the thread impersonation that the access check needs, whatever happens.
struct TRevertToSelf {
  ~TRevertToSelf() { ::RevertToSelf(); }
};

// The stored value: folder pattern, the implicit "%LibName%\" sub-folder, file-name pattern.
std::wstring ComposeLogFileName(const std::wstring& folder, const std::wstring& name) {
  std::wstring value = Trim(folder);
  if (!value.empty()) {
    if (value.back() != L'\\') value += L'\\';
    if (!EndsText(LibNameFolder, value)) value += LibNameFolder;
  }
  return value + name;
}

}  // namespace

void SplitLogFileName(const std::wstring& stored, std::wstring& folder, std::wstring& name) {
  size_t slash = stored.rfind(L'\\');
  name = slash == std::wstring::npos ? stored : stored.substr(slash + 1);
  folder = slash == std::wstring::npos ? std::wstring() : stored.substr(0, slash + 1);
  if (EndsText(LibNameFolder, folder)) folder.resize(folder.size() - std::size(LibNameFolder) + 1);
}

std::wstring GetExistingPath(const std::wstring& path) {
  if (path.empty() || DirectoryExists(path)) return path;
  std::wstring folder = path;
  if (folder.back() == L'\\') folder.pop_back();
  for (;;) {
    size_t slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    folder.resize(slash + 1);
    if (DirectoryExists(folder)) return folder;
    folder.pop_back();
  }
}

bool CheckFolderAccess(const std::wstring& path, DWORD desiredAccess) {
  try {
    const SECURITY_INFORMATION parts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    ::GetFileSecurityW(path.c_str(), parts, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> descriptor(size);
    if (!::GetFileSecurityW(path.c_str(), parts, descriptor.data(), size, &size)) return false;

    if (!::ImpersonateSelf(SecurityImpersonation)) return false;
    TRevertToSelf revert;
    UniqueHandle token;
    if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.Put())) return false;

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD access = desiredAccess;
    ::MapGenericMask(&access, &mapping);
    alignas(PRIVILEGE_SET) BYTE privileges[256];
    DWORD privilegesLength = sizeof(privileges);
    DWORD granted = 0;
    BOOL status = FALSE;
    if (!::AccessCheck(descriptor.data(), token.Get(), access, &mapping, reinterpret_cast<PRIVILEGE_SET*>(privileges),
                       &privilegesLength, &granted, &status))
      throw EOSError(::GetLastError());
    return status && granted == access;
  } catch (const std::exception& error) {
    ShowMessage(TMsgKind::Warning, ExceptionMessage(error));
    return false;
  }
}

// A file that cannot be read cannot be written without losing what it holds: its read
// error is the answer, as a refused write is.
void WriteLogSettings(const std::wstring& iniFileName, const std::wstring& value, bool enabled) {
  TIniFile file(iniFileName);
  file.WriteString(LogSection, enabled ? EnabledKey : DisabledKey, value);
  file.DeleteKey(LogSection, enabled ? DisabledKey : EnabledKey);
  file.UpdateFile();
}

const wchar_t* BoolToYesNo(bool value) {
  return value ? L"Да" : L"Нет";
}

// Everything a gather or a report sets: a report loaded next, or a gather after one, shows
// nothing of what was held before.
void TLogInfo::Clear() {
  FChangeHistory.clear();
  FLogFilePath = DefaultLogFilePath;
  FLogFileName = DefaultLogFileName;
  FIniFileName.clear();
  FActualLogPath.clear();
  FExistingPath.clear();
  FPathAccess = false;
  FEnabled = false;
  FChanged = false;
  FLoaded = false;
  FRead = false;
}

std::wstring TLogInfo::PlugInIniFileName() const {
  return ExtractFilePath(FPlugIn->PlugInPath()) + ChangeFileExt(FPlugIn->PlugInName(), L".ini");
}

bool TLogInfo::Load() {
  SetFromReport(false);
  if (!FPlugIn) return false;
  if (FPlugIn->PlugInPath().empty()) {
    // No plug-in, no settings: the default patterns, and nothing of a plug-in found earlier.
    FLogFilePath = DefaultLogFilePath;
    FLogFileName = DefaultLogFileName;
    FIniFileName.clear();
    FActualLogPath.clear();
    FExistingPath.clear();
    FPathAccess = false;
    FEnabled = false;
    return false;
  }
  FIniFileName = PlugInIniFileName();
  if (!FileExists(FIniFileName)) {
    FEnabled = false;
    return false;
  }
  TIniFile ini(FIniFileName);
  const bool enabled = ini.ValueExists(LogSection, EnabledKey);
  if (enabled || ini.ValueExists(LogSection, DisabledKey)) {
    std::wstring stored = ini.ReadString(LogSection, enabled ? EnabledKey : DisabledKey, L"");
    if (stored.empty())
      ShowMessage(TMsgKind::Warning,
                  L"Путь к файлам журналирования и формат имени не заданы!\r\n"
                  L"Они будут проинициализированы значениями по умолчанию.");
    SplitLogFileName(stored, FLogFilePath, FLogFileName);
    if (FLogFilePath.empty()) FLogFilePath = DefaultLogFilePath;
    if (FLogFileName.empty()) FLogFileName = DefaultLogFileName;
    FEnabled = enabled;
  } else {
    FLogFilePath = DefaultLogFilePath;
    FLogFileName = DefaultLogFileName;
    FEnabled = false;
  }
  UpdateActualPath();
  FChanged = false;
  FLoaded = true;
  return true;
}

void TLogInfo::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  if (value) {
    if (FLogFilePath.empty()) {
      FLogFilePath = DefaultLogFilePath;
      UpdateActualPath();
    }
    if (FLogFileName.empty()) FLogFileName = DefaultLogFileName;
  }
  FChanged = true;
}

void TLogInfo::SetLogFilePath(const std::wstring& value) {
  if (SameText(value, FLogFilePath)) return;
  FLogFilePath = value;
  UpdateActualPath();
  FChanged = true;
}

void TLogInfo::SetLogFileName(const std::wstring& value) {
  if (SameText(value, FLogFileName)) return;
  FLogFileName = value;
  FChanged = true;
}

std::wstring TLogInfo::ResolveFolderPattern() const {
  std::wstring resolved;
  size_t position = 0;
  while (position < FLogFilePath.size()) {
    if (FLogFilePath[position] != L'%') {
      resolved += FLogFilePath[position++];
      continue;
    }
    size_t close = FLogFilePath.find(L'%', position + 1);
    if (close == std::wstring::npos) break;  // an unterminated variable drops the rest
    std::wstring name = FLogFilePath.substr(position + 1, close - position - 1);
    position = close + 1;
    std::wstring value = name.empty() ? std::wstring() : GetEnv(name.c_str());
    if (value.empty() && FPlugIn) {
      if (SameText(name, L"LibName"))
        value = ChangeFileExt(FPlugIn->PlugInName(), L"");
      else if (StartsText(L"FullLibName", name))
        value = EndsText(L"|Dir", name) ? ExtractFilePath(FPlugIn->PlugInPath()) : FPlugIn->PlugInPath();
    }
    resolved += value;
  }
  return resolved;
}

void TLogInfo::UpdateActualPath() {
  std::wstring resolved = ResolveFolderPattern();
  size_t end = resolved.find_last_of(L"\\:");
  FActualLogPath = end == std::wstring::npos ? std::wstring() : resolved.substr(0, end + 1);
  FExistingPath = GetExistingPath(FActualLogPath);
  FPathAccess = CheckFolderAccess(FExistingPath, FILE_GENERIC_WRITE);
}

void TLogInfo::Save(bool checkPath, const TWaitRunner& run) {
  if (!FChanged) return;
  // A report's paths name another workstation's files; written here they could hit anything.
  if (FromReport()) throw Exception(L"Настройки журналирования из файла отчёта на этом компьютере не записываются");
  if (!FLoaded) {
    if (!FPlugIn) return;
    FIniFileName = PlugInIniFileName();
    FLoaded = true;
  }
  // Without a DLL path the name would be a bare ".ini" in whatever the current folder is.
  if (ExtractFilePath(FIniFileName).empty())
    throw Exception(L"Плагин не зарегистрирован: настройки журналирования некуда записать");
  const std::wstring stored = ComposeLogFileName(FLogFilePath, FLogFileName);
  WriteLogSettings(FIniFileName, stored, FEnabled);
  try {
    WriteLogSettings(ExtractFilePath(FIniFileName) + PlugInHostName + L".ini", stored, FEnabled);
  } catch (const Exception& error) {
    // The two files now differ: the user must know which one holds the new setting.
    throw EIniFileException(error.Message() + L"\r\n" + Format(L"Файл \"%s\" уже записан.", {FIniFileName}));
  }
  FChanged = false;
  if (checkPath && !FExistingPath.empty() && !FPathAccess) {
    ShowMessage(TMsgKind::Warning,
                L"Выполнено.\r\n" +
                    Format(L"В папку \"%s\" может быть запрещена запись для текущего пользователя!", {FExistingPath}));
    return;
  }
  ShowMessage(TMsgKind::Information, L"Выполнено.");
  OfferToEndProcesses(run);
}

void TLogInfo::SaveOrReload(bool checkPath, const TWaitRunner& run) {
  try {
    Save(checkPath, run);
  } catch (...) {
    const std::exception_ptr error = std::current_exception();
    if (FChanged && !FromReport()) {
      // The write's error is the one to show; a failed read-back leaves the change pending.
      try {
        Load();
        FChanged = false;
      } catch (...) {
      }
    }
    std::rethrow_exception(error);
  }
}

void TLogInfo::OfferToEndProcesses(const TWaitRunner& run) {
  FPlugIn->ReloadProcesses();
  if (FPlugIn->ProcessCount() < 1) return;
  if (!Confirm(L"В данный момент плагин используется одним или несколькими приложениями. Для вступления изменений в "
               L"силу эти приложения необходимо завершить. Сделать это сейчас?"))
    return;
  std::wstring folder = ExtractFilePath(FPlugIn->PlugInPath());
  bool hostWasRunning = FPlugIn->FindProcess(PlugInHostExeName, folder) != nullptr;
  const std::vector<TNotEnded> notEnded = FPlugIn->KillAllProcesses(run);
  ShowNotEnded(notEnded);
  // Quoted: an unquoted path with blanks would let CreateProcess try "C:\Program.exe" first.
  if (hostWasRunning) RunProgram(L"\"" + folder + PlugInHostExeName + L"\"");
}

}  // namespace ornpm
