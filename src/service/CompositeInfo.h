#pragma once
// The whole diagnosis: the plug-in, the proxy and zone settings and the logging settings,
// gathered, saved, loaded and rendered together.

#include <memory>
#include <string>

#include "service/CustomInfo.h"
#include "service/IEActiveXSettings.h"
#include "service/LogInfo.h"
#include "service/PlugInInfo.h"

namespace ornpm {

inline constexpr wchar_t PlugInMimeType[] = L"application/x-ORN-plugin-VLX";
inline constexpr wchar_t PlugInProgID[] = L"ORNPlugin.ORNControlVLX";

class TCompositeInfo : public TCustomInfo {
 public:
  TCompositeInfo(const std::wstring& appName, const std::wstring& className);
  ~TCompositeInfo() override;

  void Clear() override;
  // Gathers all three parts; a failing part does not stop the others. True when all succeeded.
  bool Load() override;
  // Chains the three parts into one reader for the parse.
  bool LoadFromXML(const std::wstring& xml) override;
  // The whole XML report, its last line without a line break.
  std::wstring SaveAsXML(const std::wstring& indent) const override;
  // The whole HTML page; the argument is the user's note, shown in red when not blank.
  std::wstring SaveAsHTML(const std::wstring& note) const override;
  bool LoadFromIniFile(TIniFile* file) override;
  void SaveToIniFile(TIniFile* file) const override;
  // ".iinf": INI report (replacing an existing file); ".xinf": XML report; else nothing.
  void SaveToFile(const std::wstring& fileName) const override;
  // A report file by its extension, ".iinf" or ".xinf", replacing what the object held.
  // False for another extension or a report that does not read.
  bool LoadFromFile(const std::wstring& fileName);

  TPlugInInfo& PlugInInfo() const { return *FPlugInInfo; }
  TIEActiveXSettings& ActiveXSettings() const { return *FActiveXSettings; }
  TLogInfo& LogInfo() const { return *FLogInfo; }
  bool PlugInInfoLoaded() const { return FPlugInInfoLoaded; }
  bool ActiveXSettingsLoaded() const { return FActiveXSettingsLoaded; }
  bool LogInfoLoaded() const { return FLogInfoLoaded; }

 private:
  std::unique_ptr<TPlugInInfo> FPlugInInfo;
  bool FPlugInInfoLoaded = false;
  std::unique_ptr<TIEActiveXSettings> FActiveXSettings;
  bool FActiveXSettingsLoaded = false;
  std::unique_ptr<TLogInfo> FLogInfo;
  bool FLogInfoLoaded = false;
};

// The text of an XML report file: a byte-order mark selects UTF-8 or UTF-16, otherwise
// the ANSI code page; lines are joined with CR LF, one also after the last.
std::wstring ReadReportText(const std::wstring& fileName);

}  // namespace ornpm
