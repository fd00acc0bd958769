#include "fleet/FleetRow.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <optional>

#include "service/CompositeInfo.h"
#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

namespace {

std::vector<TFleetColumn> MakeColumns() {
  using enum TFleetColumnKind;
  std::vector<TFleetColumn> columns = {{L"Файл отчёта", Plain},           {L"Компьютер", Plain},
                                       {L"Время файла", Plain},           {L"Плагин зарегистрирован", Problem},
                                       {L"Путь к плагину", Common},       {L"Версия", Newest},
                                       {L"Проверка библиотеки", Problem}, {L"Процессов с плагином", Plain},
                                       {L"Домен в Hosts", Problem},       {L"Домен в исключениях прокси", Problem}};
  for (const wchar_t* zone : ZoneNames)
    for (size_t k = 0; k < ZoneParamIDs.size(); ++k)
      columns.push_back({Format(L"%s: %s (%s)", {zone, ZoneParamCaptions[k], ZoneParamIDs[k]}), Common});
  // The resolved log folder names the user, so it differs by nature.
  columns.insert(columns.end(), {{L"Журналирование", Common},
                                 {L"Путь к файлам журнала", Common},
                                 {L"Имя файла журнала", Common},
                                 {L"Фактический путь к журналам", Plain},
                                 {L"Ошибка", Problem}});
  return columns;
}

TFleetCell YesNo(bool value, bool problemWhenNo) {
  return {value ? L"Да" : L"Нет", problemWhenNo && !value};
}

// A value that the report does not hold is an empty cell: unknown, neither answer.
TFleetCell YesNo(bool known, bool value, bool problemWhenNo) {
  return known ? YesNo(value, problemWhenNo) : TFleetCell{};
}
TFleetCell KnownCell(bool known, const std::wstring& value) {
  return {known ? value : std::wstring()};
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
    for (const TZoneParam* param : params) row.push_back({param ? param->ValueCaption() : std::wstring()});
  }
}

}  // namespace

std::wstring FleetTimeText(uint64_t time, TTimePrecision precision) {
  const std::optional<SYSTEMTIME> local = time ? FileTimeToLocal(FileTimeOf(time)) : std::nullopt;
  if (!local) return {};
  wchar_t text[32];
  const int length = std::swprintf(text, 32, L"%02u.%02u.%04u %02u:%02u:%02u", local->wDay, local->wMonth, local->wYear,
                                   local->wHour, local->wMinute, local->wSecond);
  constexpr int Day = 10, Minute = 16;
  return std::wstring(text, precision == TTimePrecision::Day      ? Day
                            : precision == TTimePrecision::Minute ? Minute
                                                                  : length);
}

const std::vector<TFleetColumn>& FleetColumns() {
  static const std::vector<TFleetColumn> columns = MakeColumns();
  return columns;
}

TFleetRow MakeFleetRow(const TFleetFile& file, const TCompositeInfo* info, const std::wstring& error) {
  TFleetRow row;
  row.reserve(FleetColumns().size());
  row.push_back({file.Path});
  row.push_back({file.ComputerName});
  row.push_back({FleetTimeText(FileTimeNumber(file.Time))});
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
  row.push_back(YesNo(plugIn.DomainInHostsKnown(), plugIn.DomainInHosts(), true));
  row.push_back(YesNo(settings.ProxyKnown(), settings.PlugInHostInProxyOverride(), true));
  AddZoneCells(settings, row);
  row.push_back(YesNo(log.Known(), log.Enabled(), false));
  row.push_back(KnownCell(log.Known(), log.LogFilePath()));
  row.push_back(KnownCell(log.Known(), log.LogFileName()));
  row.push_back(KnownCell(log.Known(), log.ActualLogPath()));
  row.push_back({error, !error.empty()});
  return row;
}

}  // namespace ornpm
