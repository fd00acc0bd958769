#pragma once
// The whole diagnosis: the plug-in, the proxy and zone settings and the logging settings,
// gathered, saved, loaded and rendered together.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "service/CustomInfo.h"
#include "service/IEActiveXSettings.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"

namespace ornpm {

inline constexpr wchar_t PlugInMimeType[] = L"application/x-ORN-plugin-VLX";
inline constexpr wchar_t PlugInProgID[] = L"ORNPlugin.ORNControlVLX";
// Report files above this size are refused before they are read: a real report of the
// largest workstation is a few megabytes, and the text is held several times over.
inline constexpr uint64_t MaxReportFileSize = 256ull * 1024 * 1024;

// The format of a report file by its name's extension, letter case ignored: ".iinf" an INI
// report, ".xinf" an XML report, anything else none.
enum class TReportFormat { None, Ini, Xml };
TReportFormat ReportFormatOf(std::wstring_view fileName);

class TCompositeInfo : public TCustomInfo {
 public:
  TCompositeInfo(const std::wstring& appName, const std::wstring& className);
  ~TCompositeInfo() override;

  // Sees the elements that no part takes; Info and PlugIn among them tell a report.
  void DoBeginNode(const std::wstring& nodeName) override;
  void Clear() override;
  // Gathers all three parts; a failing part does not stop the others. True when all succeeded.
  bool Load() override;
  // Chains the three parts into one reader for the parse. The object then holds a report:
  // FromReport is true for it and its parts until the next live Load. False for a text that
  // is no report (its first element is not Info holding PlugIn) or does not read; a report
  // cut off before its end reads as far as it goes and is marked so (CutOff).
  bool LoadFromXML(const std::wstring& xml) override;
  // The whole XML report, its last line without a line break.
  std::wstring SaveAsXML(const std::wstring& indent) const override;
  // The whole HTML page; the argument is the user's note, shown in red when not blank.
  std::wstring SaveAsHTML(const std::wstring& note) const override;
  // False for a file that is no report: without the plug-in's section and its path. One
  // without the logging section whole reads as far as it goes and is marked cut off.
  bool LoadFromIniFile(TIniFile* file) override;
  void SaveToIniFile(TIniFile* file) const override;
  // ".iinf": INI report; ".xinf": XML report; another extension raises. The file is
  // written whole or not at all: a failed save leaves an earlier file as it was.
  void SaveToFile(const std::wstring& fileName) const override;
  // A report file by its extension, ".iinf" or ".xinf", replacing what the object held.
  // False for another extension or a report that does not read; raises when the file
  // cannot be read or is larger than MaxReportFileSize.
  bool LoadFromFile(const std::wstring& fileName);
  // A new composite holding the report file, or an error naming the file: one that does
  // not exist, cannot be read, is too large, has another extension or does not read.
  static std::unique_ptr<TCompositeInfo> ReadReportFile(const std::wstring& fileName);

  // Whether the report held was cut off before its end: it shows only what came before.
  bool CutOff() const { return !FCutOff.empty(); }
  // For such a report read from the file, the message that says so and where it ends;
  // empty for a whole report and for live data.
  std::wstring CutOffMessage(const std::wstring& fileName) const;

  TPlugInInfo& PlugInInfo() const { return *FPlugInInfo; }
  TIEActiveXSettings& ActiveXSettings() const { return *FActiveXSettings; }
  TLogInfo& LogInfo() const { return *FLogInfo; }
  bool PlugInInfoLoaded() const { return FPlugInInfoLoaded; }
  bool ActiveXSettingsLoaded() const { return FActiveXSettingsLoaded; }
  bool LogInfoLoaded() const { return FLogInfoLoaded; }

 private:
  void BeginReportLoad();

  std::unique_ptr<TPlugInInfo> FPlugInInfo;
  bool FPlugInInfoLoaded = false;
  std::unique_ptr<TIEActiveXSettings> FActiveXSettings;
  bool FActiveXSettingsLoaded = false;
  std::unique_ptr<TLogInfo> FLogInfo;
  bool FLogInfoLoaded = false;
  // Where a report cut off before its end stops, as CutOffMessage puts it.
  std::wstring FCutOff;
  // What an XML report has shown of itself so far: its first element, and the plug-in's
  // element inside it.
  enum class TXMLRoot { None, Info, Other } FXMLRoot = TXMLRoot::None;
  bool FHoldsPlugIn = false;
};

// The text of an XML report file: a byte-order mark selects UTF-8 or UTF-16, otherwise
// the ANSI code page; lines are joined with CR LF, one also after the last.
std::wstring ReadReportText(const std::wstring& fileName);

}  // namespace ornpm
