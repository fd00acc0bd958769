#pragma once
// The browser settings that decide whether the plug-in can run in a page: the per-user
// proxy switch and proxy exceptions, and twelve ActiveX URL actions of the five security zones.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/CustomInfo.h"

namespace ornpm {

// The URL actions read for each zone, in the order they are read and listed, and their captions.
inline constexpr std::array<const wchar_t*, 12> ZoneParamIDs = {L"1001", L"1004", L"1200", L"1201", L"1208", L"1209",
                                                                L"120A", L"120B", L"1405", L"2000", L"2201", L"2500"};
extern const std::array<const wchar_t*, 12> ZoneParamCaptions;
// Display names of the zones, by zone number (the name of the zone's registry subkey).
extern const std::array<const wchar_t*, 5> ZoneNames;

// The caption of a URL action (its id compared exactly), empty for an unknown one.
std::wstring GetZoneParamCaption(const std::wstring& id);

// One URL action's policy value in one zone.
class TZoneParam {
 public:
  TZoneParam(const std::wstring& id, const std::wstring& caption, int value)
      : FID(id), FCaption(caption), FValue(value) {}

  const std::wstring& ID() const { return FID; }
  const std::wstring& Caption() const { return FCaption; }
  int Value() const { return FValue; }
  // Allowed, on request, disallowed, administrator-approved, or unknown.
  std::wstring ValueCaption() const;

 private:
  std::wstring FID;
  std::wstring FCaption;
  int FValue;
};

struct TZone {
  std::wstring Name;
  std::vector<TZoneParam> Params;
};

class TIEActiveXSettings : public TCustomInfo {
 public:
  TIEActiveXSettings() = default;

  void DoBeginNode(const std::wstring& nodeName) override;
  void DoEndNode(const std::wstring& nodeName) override;
  // Nothing known: no zone list, no proxy values.
  void Clear() override;
  // False when the Zones key cannot be opened; the proxy values are read in any case.
  bool Load() override;
  std::wstring SaveAsXML(const std::wstring& indent) const override;
  std::wstring SaveAsHTML(const std::wstring& indent) const override;
  bool LoadFromIniFile(TIniFile* file) override;
  void SaveToIniFile(TIniFile* file) const override;

  // Re-reads the three proxy values only.
  void ReloadProxyInfo();

  // Absent until zones were first read (the view tells the two apart).
  const std::optional<std::vector<TZone>>& Zones() const { return FZones; }
  const std::optional<std::vector<TZone>>& InternetZones() const { return FZones; }
  // False for a report that does not hold the proxy values (cut off before them, or
  // without them): then they say nothing. Live data's are always known.
  bool ProxyKnown() const { return !FromReport() || FProxyRead; }
  bool ProxyEnable() const { return FProxyEnable; }
  const std::wstring& ProxyOverride() const { return FProxyOverride; }
  // Whether the plug-in domain is among the proxy exceptions held: this workstation's, or
  // those of the workstation a report describes.
  bool PlugInHostInProxyOverride() const { return FPlugInHostInProxyOverride; }

 private:
  void ReadProxyInfo();
  void SetProxyOverride(std::wstring_view value);
  std::vector<TZone>& ResetZones();

  std::optional<std::vector<TZone>> FZones;
  bool FProxyRead = false;  // the proxy values were read, here or from the report
  bool FProxyEnable = false;
  std::wstring FProxyOverride;
  bool FPlugInHostInProxyOverride = false;
  // While reading XML: the element begun last is a Zone, so at its end it has no parameters.
  bool FZoneBegunLast = false;
};

}  // namespace ornpm
