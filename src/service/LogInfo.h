#pragma once
// The plug-in's logging settings, kept in the INI file beside its DLL: on or off, the folder
// and file-name patterns, the folder they resolve to here, the nearest existing folder and
// whether the user may write to it.

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "service/CustomInfo.h"
#include "service/ProcessInfo.h"

namespace ornpm {

class TPlugInInfo;

inline constexpr wchar_t DefaultLogFilePath[] = L"%AppData%\\ORN\\ORNPlugInVLX\\Logs\\";
inline constexpr wchar_t DefaultLogFileName[] = L"%LibName% %DateTime|yyyy-mm-dd hh-nn%.log";
// The variables the plug-in understands in its patterns.
inline constexpr std::array<const wchar_t*, 9> LogNameVariables = {
    L"PID", L"Date", L"Time", L"DateTime", L"ExeName", L"LibName", L"FullExeName", L"FullLibName", L"MachineName"};

// Splits a stored log pattern into folder (up to the last backslash, without a trailing
// "%LibName%\") and file-name pattern.
void SplitLogFileName(const std::wstring& stored, std::wstring& folder, std::wstring& name);
// The path itself when it exists (or is empty), else its nearest existing ancestor with a
// trailing backslash, else empty.
std::wstring GetExistingPath(const std::wstring& path);
// Whether the current user is granted the access to the folder; an error of the check
// itself is shown as a warning and answers false.
bool CheckFolderAccess(const std::wstring& path, DWORD desiredAccess);
// Writes the stored pattern into the file's Log section under FileName (on) or _FileName
// (off), removing the other key. A file that cannot be read is skipped.
void WriteLogSettings(const std::wstring& iniFileName, const std::wstring& value, bool enabled);
const wchar_t* BoolToYesNo(bool value);

class TLogInfo : public TCustomInfo {
 public:
  explicit TLogInfo(TPlugInInfo* plugIn) : FPlugIn(plugIn) {}

  void DoBeginNode(const std::wstring& nodeName) override;
  void DoEndNode(const std::wstring& nodeName) override;
  // Default patterns, everything off, nothing known.
  void Clear() override;
  // Reads the plug-in's INI file; false when there is none.
  bool Load() override;
  std::wstring SaveAsXML(const std::wstring& indent) const override;
  std::wstring SaveAsHTML(const std::wstring& indent) const override;
  bool LoadFromIniFile(TIniFile* file) override;
  void SaveToIniFile(TIniFile* file) const override;

  // Writes a change into the plug-in's and its host's INI files, reports, and offers to
  // end the plug-in's processes (restarting the host) so that the change takes effect.
  // checkPath: warn when the log folder may not be writable. The wait for the processes to
  // end runs through run, which a window gives so that it keeps answering meanwhile.
  void Save(bool checkPath, const TWaitRunner& run = {});
  // Save; when the change could not be written, reads back what is stored, so that what is
  // shown is what holds, and raises the write's error.
  void SaveOrReload(bool checkPath, const TWaitRunner& run = {});

  TPlugInInfo* PlugIn() const { return FPlugIn; }
  // False for a report that does not hold the settings (cut off before them, or without
  // them): the values are then Clear's defaults, which say nothing. Live data's are known.
  bool Known() const { return !FromReport() || FRead; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  const std::wstring& LogFilePath() const { return FLogFilePath; }
  void SetLogFilePath(const std::wstring& value);
  const std::wstring& LogFileName() const { return FLogFileName; }
  void SetLogFileName(const std::wstring& value);
  const std::wstring& IniFileName() const { return FIniFileName; }
  const std::wstring& ActualLogPath() const { return FActualLogPath; }
  const std::wstring& ExistingPath() const { return FExistingPath; }
  bool PathAccess() const { return FPathAccess; }
  bool Changed() const { return FChanged; }
  // Earlier log file names that a report carried.
  const std::vector<std::wstring>& ChangeHistory() const { return FChangeHistory; }

 private:
  std::wstring PlugInIniFileName() const;
  std::wstring ResolveFolderPattern() const;
  void UpdateActualPath();
  void ReadLoggingAttributes();
  void OfferToEndProcesses(const TWaitRunner& run);

  TPlugInInfo* FPlugIn;
  bool FLoaded = false;
  bool FRead = false;  // a report's settings were read
  bool FChanged = false;
  bool FEnabled = false;
  std::wstring FIniFileName;
  std::wstring FLogFilePath;
  std::wstring FLogFileName;
  std::wstring FActualLogPath;
  std::wstring FExistingPath;
  bool FPathAccess = false;
  std::vector<std::wstring> FChangeHistory;
};

}  // namespace ornpm
