#pragma once
// The plug-in itself: where its DLL is registered, the DLL's version and exports, the
// processes that hold it, and whether the hosts file maps the plug-in domain.

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/CustomInfo.h"
#include "service/NameValueList.h"
#include "service/ProcessInfo.h"
#include "service/ReportText.h"

namespace ornpm {

// The exports looked up in the DLL, in this order: a COM in-process server's five, a
// Pepper module's three, a Netscape plug-in's three.
inline constexpr std::array<const wchar_t*, 11> LibraryCheckFunctions = {
    L"DllGetClassObject", L"DllCanUnloadNow",      L"DllUnregisterServer", L"DllInstall",
    L"DllRegisterServer", L"PPP_InitializeModule", L"PPP_ShutdownModule",  L"PPP_GetInterface",
    L"NP_GetEntryPoints", L"NP_Initialize",        L"NP_Shutdown"};
// The plug-in's host process, which lies in the DLL's folder.
inline constexpr wchar_t PlugInHostExeName[] = L"ornPluginHostVLX.exe";
inline constexpr wchar_t PlugInHostName[] = L"ornPluginHostVLX";
// Suffix of the library-check line that carries the error of the check it is named after.
inline constexpr wchar_t ErrorSuffix[] = L"|Error";

// Told after the process list gained, lost or replaced records. Records that were removed
// are freed by then, so a listener that keeps references reads the list anew.
using TProcessesChangedEvent = std::function<void(TPlugInInfo* sender)>;

class TPlugInInfo : public TCustomInfo {
 public:
  // appName: the plug-in's MIME type; className: its ProgID.
  TPlugInInfo(std::wstring appName, std::wstring className);
  ~TPlugInInfo() override;

  void DoBeginNode(const std::wstring& nodeName) override;
  void DoEndNode(const std::wstring& nodeName) override;
  // Empties everything a gathering or a report fills in; the MIME type and ProgID it looks
  // up and the hosts flag (a fact of this workstation) stay.
  void Clear() override;
  // True when a registered DLL file was found; its version, processes and exports are then known.
  bool Load() override;
  std::wstring SaveAsXML(const std::wstring& indent) const override;
  // The same text handed to the sink in pieces, for a report file.
  void WriteXML(const std::wstring& indent, const TTextSink& sink) const;
  std::wstring SaveAsHTML(const std::wstring& indent) const override;
  bool LoadFromIniFile(TIniFile* file) override;
  void SaveToIniFile(TIniFile* file) const override;

  // Reads the hosts file again. A file that cannot be read raises its error, which is also
  // kept: the entry then counts as missing and HostsError tells why.
  void ReloadHostsInfo();
  std::exception_ptr HostsError() const { return FHostsError; }

  // Processes that hold the DLL.
  void ReloadProcesses();
  int ProcessCount() const { return static_cast<int>(FProcesses.size()); }
  const std::vector<std::unique_ptr<TProcessInfo>>& Processes() const { return FProcesses; }
  // The first listed process whose name begins with name and whose folder is path.
  TProcessInfo* FindProcess(const std::wstring& name, const std::wstring& path) const;
  // The first running process, of all, whose name begins with name; the caller owns it.
  static std::unique_ptr<TProcessInfo> FindFirstProcess(const std::wstring& name);
  // Terminates the process and removes it from the list unless it may still run; one that
  // did not end, or had ended before, is added to notEnded. The terminations of these
  // calls run through run, which a window gives so that it keeps answering while they wait
  // (here when none is given).
  void KillProcess(TProcessInfo* process, std::vector<TNotEnded>* notEnded = nullptr, const TWaitRunner& run = {});
  void KillProcess(uint32_t pid);
  // Terminates every listed process, tells OnProcessKilled, then keeps in the list only
  // those that may still run; returns the processes that did not end or had ended before.
  // The terminations run through run, as with KillProcess.
  std::vector<TNotEnded> KillAllProcesses(const TWaitRunner& run = {});
  void SaveProcessesInfo(TInfoLines* lines, bool clearBeforeSave, bool saveModulesInfo) const;
  // True when the records were read from a report file: their ids name processes of the
  // workstation that wrote it, so terminating them here would hit unrelated programs.
  bool ProcessesFromReport() const { return FromReport(); }

  // The MIME type shown and written: the one looked up, or a report's own.
  const std::wstring& AppName() const { return FAppName; }
  const std::wstring& ClassName() const { return FClassName; }
  const std::wstring& ClassID() const { return FClassID; }
  const std::wstring& PlugInName() const { return FPlugInName; }
  const std::wstring& PlugInPath() const { return FPlugInPath; }
  const std::wstring& Version() const { return FVersion; }
  bool DomainInHosts() const { return FDomainInHosts.value_or(false); }
  // False for a report that does not hold the hosts answer (cut off before it, or without
  // it). Live data's is known.
  bool DomainInHostsKnown() const { return !FromReport() || FDomainInHosts.has_value(); }
  // The library-check lines, name=value; absent until a check ran or a report carried one.
  const TNameValueList* LibCheckInfo() const { return FLibCheckInfo ? &*FLibCheckInfo : nullptr; }
  // A report cut off right after the plug-in's own tag: what the tag held is read.
  void ReadCutOffPlugIn();
  TKillProcessEvent OnProcessKilled;
  TProcessesChangedEvent OnProcessesChanged;

 private:
  void WriteXML(TReportLines& out) const;
  void CheckLibrary();
  std::wstring FindClassID() const;
  TNameValueList& ResetLibCheckInfo();
  void ReadPlugInAttributes();
  void AddReportProcess(const TNameValueList& attributes);
  void SetPlugInPath(std::wstring path);
  void ResetProcesses();
  void ProcessesChanged();
  std::optional<std::vector<std::wstring>> HostsLines() const;

  // What a live gathering looks up; a report's MIME type goes to FAppName only.
  const std::wstring FMimeType;
  std::wstring FAppName;
  std::wstring FClassName;
  std::wstring FPlugInName;
  std::wstring FPlugInPath;
  std::wstring FVersion;
  std::optional<TNameValueList> FLibCheckInfo;
  std::optional<bool> FDomainInHosts;
  std::exception_ptr FHostsError;
  std::wstring FClassID;
  std::vector<std::unique_ptr<TProcessInfo>> FProcesses;
  // The hosts lines a report carried; absent when it carried none.
  std::optional<std::vector<std::wstring>> FReportHostsLines;
  // While reading XML: the element begun last is a Process, so at its end it has no children.
  bool FProcessBegunLast = false;
};

}  // namespace ornpm
