#include "fleet/FleetRow.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "service/CompositeInfo.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// Without these two a page cannot run the plug-in or talk to it.
constexpr std::array<const wchar_t*, 2> PlugInZoneParams = {L"1200", L"1405"};
constexpr int Disallowed = 3;

std::vector<std::wstring> MakeColumns() {
  std::vector<std::wstring> columns = {L"Файл отчёта",         L"Компьютер",
                                       L"Время файла",         L"Плагин зарегистрирован",
                                       L"Путь к плагину",      L"Версия",
                                       L"Проверка библиотеки", L"Процессов с плагином",
                                       L"Домен в Hosts",       L"Домен в исключениях прокси"};
  for (const wchar_t* zone : ZoneNames)
    for (size_t k = 0; k < ZoneParamIDs.size(); ++k)
      columns.push_back(Format(L"%s: %s (%s)", {zone, ZoneParamCaptions[k], ZoneParamIDs[k]}));
  for (const wchar_t* caption :
       {L"Журналирование", L"Путь к файлам журнала", L"Имя файла журнала", L"Фактический путь к журналам", L"Ошибка"})
    columns.push_back(caption);
  return columns;
}

std::wstring LocalTimeText(const FILETIME& time) {
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&time, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return {};
  wchar_t text[32];
  std::swprintf(text, 32, L"%02u.%02u.%04u %02u:%02u:%02u", local.wDay, local.wMonth, local.wYear, local.wHour,
                local.wMinute, local.wSecond);
  return text;
}

TFleetCell YesNo(bool value, bool problemWhenNo) {
  return {value ? L"Да" : L"Нет", problemWhenNo && !value};
}

// "Все точки входа есть", or one line per check that failed or is missing.
TFleetCell LibraryCheck(const TPlugInInfo& plugIn) {
  const TNameValueList* checks = plugIn.LibCheckInfo();
  if (!checks) return {L"Не выполнялась", !plugIn.PlugInPath().empty()};
  std::wstring failed;
  auto addLine = [&](const std::wstring& line) { failed.append(failed.empty() ? L"" : L"\r\n").append(line); };
  for (size_t i = 0; i < checks->Count(); ++i) {
    const std::wstring name(checks->Name(i));
    if (EndsText(ErrorSuffix, name) || SameText(checks->ValueAt(i), L"OK")) continue;
    const std::wstring_view error = checks->Value(name + ErrorSuffix);
    addLine(name + L": " + (error.empty() ? std::wstring(checks->ValueAt(i)) : L"Ошибка: " + std::wstring(error)));
  }
  // The entry points are looked up only in a library that could be mapped.
  if (!checks->Contains(L"LoadLibrary")) addLine(L"LoadLibrary: нет результата");
  if (SameText(checks->Value(L"LoadLibrary"), L"OK"))
    for (const wchar_t* function : LibraryCheckFunctions)
      if (!checks->Contains(function)) addLine(function + std::wstring(L": нет результата"));
  if (failed.empty()) return {L"Все точки входа есть", false};
  return {failed, true};
}

void AddZoneCells(const TIEActiveXSettings& settings, TFleetRow& row) {
  // A report names its zones; the first zone of each standard name counts.
  std::array<const TZone*, ZoneNames.size()> zones{};
  if (settings.Zones())
    for (const TZone& zone : *settings.Zones())
      for (size_t z = 0; z < ZoneNames.size(); ++z)
        if (!zones[z] && zone.Name == ZoneNames[z]) zones[z] = &zone;
  for (const TZone* zone : zones) {
    std::array<const TZoneParam*, ZoneParamIDs.size()> params{};
    if (zone)
      for (const TZoneParam& param : zone->Params)
        for (size_t k = 0; k < ZoneParamIDs.size(); ++k)
          if (!params[k] && param.ID() == ZoneParamIDs[k]) params[k] = &param;
    for (const TZoneParam* param : params) {
      if (!param) {
        row.push_back({});
        continue;
      }
      bool problem = param->Value() == Disallowed &&
                     std::find(PlugInZoneParams.begin(), PlugInZoneParams.end(), param->ID()) != PlugInZoneParams.end();
      row.push_back({param->ValueCaption(), problem});
    }
  }
}

}  // namespace

const std::vector<std::wstring>& FleetColumns() {
  static const std::vector<std::wstring> columns = MakeColumns();
  return columns;
}

TFleetRow MakeFleetRow(const TFleetFile& file, const TCompositeInfo* info, const std::wstring& error) {
  TFleetRow row;
  row.reserve(FleetColumns().size());
  row.push_back({file.Path});
  row.push_back({file.ComputerName});
  row.push_back({file.Time.dwLowDateTime || file.Time.dwHighDateTime ? LocalTimeText(file.Time) : std::wstring()});
  if (!info) {
    row.resize(FleetColumns().size() - 1);
    row.push_back({error, true});
    return row;
  }
  const TPlugInInfo& plugIn = info->PlugInInfo();
  const TIEActiveXSettings& settings = info->ActiveXSettings();
  const TLogInfo& log = info->LogInfo();
  row.push_back(YesNo(!plugIn.PlugInPath().empty(), true));
  row.push_back({plugIn.PlugInPath()});
  row.push_back({plugIn.Version()});
  row.push_back(LibraryCheck(plugIn));
  row.push_back({std::to_wstring(plugIn.ProcessCount())});
  row.push_back(YesNo(plugIn.DomainInHosts(), true));
  row.push_back(YesNo(settings.PlugInHostInProxyOverride(), true));
  AddZoneCells(settings, row);
  row.push_back(YesNo(log.Enabled(), false));
  row.push_back({log.LogFilePath()});
  row.push_back({log.LogFileName()});
  row.push_back({log.ActualLogPath()});
  row.push_back({error, !error.empty()});
  return row;
}

}  // namespace ornpm
