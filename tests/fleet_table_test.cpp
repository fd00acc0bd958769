// The fleet table: ornpm.exe /TABLE started as a process of its own over folders of report
// files of both formats, the table read back as a spreadsheet or a browser would read it.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "harness/ChildProcess.h"
#include "harness/HostShell.h"
#include "harness/Sandbox.h"
#include "service/IEActiveXSettings.h"
#include "win/Environment.h"
#include "win/Handles.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::ChildRun;
using testing::ReadBinaryFile;
using testing::RunOrnpm;
using testing::WriteBinaryFile;

// Captions of the columns a person reads; the zone columns are made from the zone tables.
constexpr wchar_t FileColumn[] = L"Файл отчёта";
constexpr wchar_t ComputerColumn[] = L"Компьютер";
constexpr wchar_t TimeColumn[] = L"Время файла";
constexpr wchar_t RegisteredColumn[] = L"Плагин зарегистрирован";
constexpr wchar_t PathColumn[] = L"Путь к плагину";
constexpr wchar_t VersionColumn[] = L"Версия";
constexpr wchar_t CheckColumn[] = L"Проверка библиотеки";
constexpr wchar_t ProcessesColumn[] = L"Процессов с плагином";
constexpr wchar_t HostsColumn[] = L"Домен в Hosts";
constexpr wchar_t ProxyColumn[] = L"Домен в исключениях прокси";
constexpr wchar_t LoggingColumn[] = L"Журналирование";
constexpr wchar_t LogFolderColumn[] = L"Путь к файлам журнала";
constexpr wchar_t LogNameColumn[] = L"Имя файла журнала";
constexpr wchar_t ActualLogColumn[] = L"Фактический путь к журналам";
constexpr wchar_t ErrorColumn[] = L"Ошибка";

std::wstring ZoneColumn(size_t zone, const wchar_t* id) {
  for (size_t k = 0; k < ZoneParamIDs.size(); ++k)
    if (std::wstring(ZoneParamIDs[k]) == id)
      return std::wstring(ZoneNames[zone]) + L": " + ZoneParamCaptions[k] + L" (" + id + L")";
  ADD_FAILURE() << "no URL action " << testing::Narrow(id);
  return {};
}

std::vector<std::wstring> ExpectedColumns() {
  std::vector<std::wstring> columns = {FileColumn,    ComputerColumn, TimeColumn,      RegisteredColumn, PathColumn,
                                       VersionColumn, CheckColumn,    ProcessesColumn, HostsColumn,      ProxyColumn};
  for (size_t zone = 0; zone < ZoneNames.size(); ++zone)
    for (const wchar_t* id : ZoneParamIDs) columns.push_back(ZoneColumn(zone, id));
  for (const wchar_t* column : {LoggingColumn, LogFolderColumn, LogNameColumn, ActualLogColumn, ErrorColumn})
    columns.push_back(column);
  return columns;
}

// A row as expected: the text of each column named (the others are empty), and the
// columns whose cells show a problem.
struct ExpectedRow {
  std::map<std::wstring, std::wstring> Cells;
  std::set<std::wstring> Problems;
};

// A mark in a cell of the page: its classes and its tooltip.
struct CellMark {
  std::wstring Class, Title;
  bool operator==(const CellMark&) const = default;
};
void PrintTo(const CellMark& mark, std::ostream* out) {
  *out << testing::Narrow(mark.Class) << ": " << testing::Narrow(mark.Title);
}

// An entry of a workstation's history on the page: its class, its text with the date first.
struct HistoryEntry {
  std::wstring Class, Text;
  bool operator==(const HistoryEntry&) const = default;
};
void PrintTo(const HistoryEntry& entry, std::ostream* out) {
  *out << testing::Narrow(entry.Class) << ": " << testing::Narrow(entry.Text);
}

struct Table {
  std::vector<std::wstring> Columns;
  std::vector<std::vector<std::wstring>> Rows;
  // HTML only, per row:
  std::vector<std::set<std::wstring>> Problems;         // the columns marked as problems
  std::vector<std::map<std::wstring, CellMark>> Marks;  // every marked cell by its column
  std::vector<std::vector<HistoryEntry>> History;       // newest first; none for a single report
  std::vector<std::string> Anchors;
  std::wstring Same;  // the columns folded as the same everywhere
};

// RFC 4180 with ";" between fields, UTF-8 after a byte-order mark. Anything else is a failure.
Table ReadCsv(const std::string& bytes) {
  Table table;
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "byte-order mark";
  std::vector<std::vector<std::wstring>> records(1);
  std::string field;
  bool quoted = false, wasQuoted = false;
  auto endField = [&] {
    records.back().push_back(BytesToWide(field, CP_UTF8));
    field.clear();
    wasQuoted = false;
  };
  for (size_t i = 3; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
        wasQuoted = true;
      }
    } else if (c == '"') {
      EXPECT_TRUE(field.empty() && !wasQuoted) << "quote inside an unquoted field at byte " << i;
      quoted = true;
    } else if (c == ';') {
      endField();
    } else if (c == '\r') {
      EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "CR without LF at byte " << i;
      ++i;
      endField();
      records.emplace_back();
    } else {
      EXPECT_NE(c, '\n') << "LF without CR at byte " << i;
      EXPECT_FALSE(wasQuoted) << "text after a closing quote at byte " << i;
      field += c;
    }
  }
  EXPECT_FALSE(quoted) << "unterminated quote";
  EXPECT_TRUE(records.back().empty() && field.empty()) << "the last record ends with CR LF";
  records.pop_back();
  if (records.empty()) return table;
  table.Columns = records.front();
  table.Rows.assign(records.begin() + 1, records.end());
  return table;
}

std::wstring HtmlText(std::string_view html) {
  std::string text;
  const std::pair<std::string_view, std::string_view> entities[] = {{"&amp;", "&"},   {"&lt;", "<"},  {"&gt;", ">"},
                                                                    {"&quot;", "\""}, {"&#39;", "'"}, {"<br>", "\r\n"}};
  for (size_t i = 0; i < html.size();) {
    bool replaced = false;
    for (const auto& [entity, character] : entities)
      if (html.substr(i).starts_with(entity)) {
        text += character;
        i += entity.size();
        replaced = true;
        break;
      }
    if (replaced) continue;
    EXPECT_TRUE(html[i] != '<' && html[i] != '>' && html[i] != '&') << "unescaped markup in a cell: " << html;
    text += html[i++];
  }
  return BytesToWide(text, CP_UTF8);
}

// The text a browser shows of a piece of markup: tags dropped, line breaks kept.
std::wstring PlainText(std::string_view html) {
  std::string text;
  for (size_t i = 0; i < html.size();) {
    if (html[i] != '<') {
      text += html[i++];
      continue;
    }
    const size_t end = html.find('>', i);
    if (html.substr(i, end + 1 - i) == "<br>") text += "<br>";
    i = end + 1;
  }
  return HtmlText(text);
}

// An attribute's value in a start tag, decoded; empty when the tag has none.
std::wstring Attribute(std::string_view tag, std::string_view name) {
  std::string key(1, ' ');
  key.append(name).append("=\"");
  const size_t start = tag.find(key);
  if (start == std::string_view::npos) return {};
  const size_t value = start + key.size();
  return HtmlText(tag.substr(value, tag.find('"', value) - value));
}

// Calls element for every element from open to close in part, with its start tag and content.
void Elements(std::string_view part, std::string_view open, std::string_view close,
              const std::function<void(std::string_view tag, std::string_view content)>& element) {
  for (size_t pos = 0; (pos = part.find(open, pos)) != std::string_view::npos;) {
    size_t tagEnd = part.find('>', pos), end = part.find(close, pos);
    element(part.substr(pos, tagEnd + 1 - pos), part.substr(tagEnd + 1, end - tagEnd - 1));
    pos = end + close.size();
  }
}

// The cells of the page's one table, by the elements that hold them.
Table ReadHtml(const std::string& page) {
  Table table;
  const size_t bodyStart = page.find("<tbody>");
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.find("position: sticky"), std::string::npos) << "the header row stays in view";
  Elements(std::string_view(page).substr(0, bodyStart), "<th>", "</th>",
           [&](std::string_view, std::string_view text) { table.Columns.push_back(HtmlText(text)); });
  std::string_view body = std::string_view(page).substr(bodyStart, page.find("</tbody>") - bodyStart);
  Elements(body, "<tr", "</tr>", [&](std::string_view tag, std::string_view row) {
    table.Rows.emplace_back();
    table.Problems.emplace_back();
    table.Marks.emplace_back();
    table.History.emplace_back();
    table.Anchors.push_back(testing::Narrow(Attribute(tag, "id")));
    Elements(row, "<td", "</td>", [&](std::string_view tag, std::string_view text) {
      const std::wstring column = table.Columns.at(table.Rows.back().size());
      constexpr std::string_view History = "<details class=\"history\"><summary>";
      if (text.starts_with(History)) {
        // The newest report's file, opening to the workstation's reports.
        table.Rows.back().push_back(HtmlText(text.substr(History.size(), text.find("<span") - History.size())));
        Elements(text, "<li", "</li>", [&](std::string_view item, std::string_view content) {
          table.History.back().push_back({Attribute(item, "class"), PlainText(content)});
        });
        return;
      }
      // Told apart by a word, not by colour alone.
      const CellMark mark{Attribute(tag, "class"), Attribute(tag, "title")};
      EXPECT_EQ(mark.Class.empty(), mark.Title.empty()) << testing::Narrow(column);
      if (!mark.Class.empty()) table.Marks.back()[column] = mark;
      if (mark.Class.starts_with(L"problem")) {
        EXPECT_TRUE(mark.Title.starts_with(L"Проблема")) << testing::Narrow(mark.Title);
        table.Problems.back().insert(column);
      }
      table.Rows.back().push_back(HtmlText(text));
    });
  });
  const size_t same = page.find("<details class=\"same\">");
  if (same < bodyStart) table.Same = BytesToWide(page.substr(same, page.find("</details>", same) - same), CP_UTF8);
  return table;
}

// A report that could be read, not a file that holds only its error.
bool WasRead(const ExpectedRow& row) {
  return row.Cells.contains(RegisteredColumn);
}

// The CSV has every column; the page only those that differ, the others folded with their
// one value.
void ExpectTable(const Table& table, const std::vector<ExpectedRow>& expected, bool page) {
  const std::vector<std::wstring> columns = ExpectedColumns();
  std::vector<std::wstring> shown;
  for (const std::wstring& column : columns) {
    auto text = [&](const ExpectedRow& row) {
      auto cell = row.Cells.find(column);
      return cell == row.Cells.end() ? std::wstring() : cell->second;
    };
    bool differs = column == FileColumn || column == ComputerColumn || column == TimeColumn;
    const ExpectedRow* first = nullptr;
    for (const ExpectedRow& row : expected) {
      differs = differs || row.Problems.contains(column);
      if (!WasRead(row)) continue;
      differs = differs || (first && text(row) != text(*first));
      first = first ? first : &row;
    }
    if (!page || differs) {
      shown.push_back(column);
    } else {
      EXPECT_NE(table.Same.find(column + L" — "), std::wstring::npos) << "folded: " << testing::Narrow(column);
    }
  }
  ASSERT_EQ(table.Columns, shown);
  ASSERT_EQ(table.Rows.size(), expected.size());
  for (size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE(::testing::Message() << "row " << r);
    ASSERT_EQ(table.Rows[r].size(), shown.size());
    for (size_t c = 0; c < shown.size(); ++c) {
      auto cell = expected[r].Cells.find(shown[c]);
      EXPECT_EQ(table.Rows[r][c], cell == expected[r].Cells.end() ? L"" : cell->second)
          << "column " << testing::Narrow(shown[c]);
    }
    if (page) {
      EXPECT_EQ(table.Problems[r], expected[r].Problems);
    }
  }
}

constexpr char ProxyOn[] = "&lt;local&gt;;ornpluginvlx.local";

// A report as the program writes it, in the ANSI code page: registered, one export missing,
// two processes, hosts and proxy entries present, values in two zones, logging on.
std::string FullXmlReport() {
  std::wstring xml =
      L"<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n"
      L"  <PlugIn Path=\"C:\\Program Files (x86)\\ORN\\npORNPlugInVLX.dll\" Version=\"10.0.2.123\" "
      L"AppName=\"application/x-ORN-plugin-VLX\" ClassID=\"{5A5C1C43-0000-4B8A-9E0D-6F1C2D3E4F50}\" "
      L"DomainInHosts=\"True\">\r\n    <LibraryCheck>\r\n      <Checking Name=\"LoadLibrary\" Result=\"OK\"/>\r\n";
  for (const wchar_t* function : {L"DllGetClassObject", L"DllCanUnloadNow", L"DllUnregisterServer", L"DllInstall",
                                  L"DllRegisterServer", L"PPP_InitializeModule", L"PPP_ShutdownModule",
                                  L"PPP_GetInterface", L"NP_GetEntryPoints", L"NP_Initialize", L"NP_Shutdown"})
    xml += std::wstring(L"      <Checking Name=\"") + function +
           (std::wstring(function) == L"DllInstall" ? L"\" Result=\"Null\" Error=\"127\"/>\r\n"
                                                    : L"\" Result=\"OK\"/>\r\n");
  xml +=
      L"    </LibraryCheck>\r\n    <Processes>\r\n"
      L"      <Process PID=\"100\" Name=\"iexplore.exe\">\r\n        <Modules>\r\n"
      L"          <Module ID=\"268435456\" FileName=\"C:\\Program Files (x86)\\ORN\\npORNPlugInVLX.dll\"/>\r\n"
      L"        </Modules>\r\n      </Process>\r\n"
      L"      <Process PID=\"200\" Name=\"ornPluginHostVLX.exe\">\r\n        <Modules>\r\n"
      L"          <Module ID=\"268435456\" FileName=\"C:\\Program Files (x86)\\ORN\\npORNPlugInVLX.dll\"/>\r\n"
      L"        </Modules>\r\n      </Process>\r\n    </Processes>\r\n  </PlugIn>\r\n"
      L"  <IEProxySettings Enable=\"True\" Override=\"" +
      BytesToWide(ProxyOn) +
      L"\"/>\r\n  <ActiveXSettings>\r\n    <InternetZones>\r\n"
      L"      <Zone ID=\"0\" Caption=\"Интернет\">\r\n"
      L"        <ZoneParam ID=\"1200\" Caption=\"Запускать\" Value=\"3\" ValueCaption=\"x\"/>\r\n"
      L"        <ZoneParam ID=\"1405\" Caption=\"Выполнять\" Value=\"0\" ValueCaption=\"x\"/>\r\n"
      L"        <ZoneParam ID=\"2500\" Caption=\"Режим\" Value=\"65536\" ValueCaption=\"x\"/>\r\n"
      L"      </Zone>\r\n      <Zone ID=\"1\" Caption=\"Надежные узлы\">\r\n"
      L"        <ZoneParam ID=\"1200\" Caption=\"Запускать\" Value=\"1\" ValueCaption=\"x\"/>\r\n"
      L"        <ZoneParam ID=\"1001\" Caption=\"Загружать\" Value=\"7\" ValueCaption=\"x\"/>\r\n"
      L"      </Zone>\r\n    </InternetZones>\r\n  </ActiveXSettings>\r\n"
      L"  <Logging Enabled=\"True\" FilePath=\"%AppData%\\ORN\\ORNPlugInVLX\\Logs\\\" "
      L"FileName=\"%LibName% %DateTime|yyyy-mm-dd hh-nn%.log\" "
      L"ActualPath=\"C:\\Users\\user\\AppData\\Roaming\\ORN\\ORNPlugInVLX\\Logs\\\" ExistingPath=\"C:\\Users\\user\\\" "
      L"PathAccess=\"True\"/>\r\n</Info>";
  return WideToBytes(xml, 1251);
}

ExpectedRow FullRow(const std::wstring& file, const std::wstring& computer, const std::wstring& time) {
  return {{{FileColumn, file},
           {ComputerColumn, computer},
           {TimeColumn, time},
           {RegisteredColumn, L"Да"},
           {PathColumn, L"C:\\Program Files (x86)\\ORN\\npORNPlugInVLX.dll"},
           {VersionColumn, L"10.0.2.123"},
           {CheckColumn, L"DllInstall: Ошибка: 127"},
           {ProcessesColumn, L"2"},
           {HostsColumn, L"Да"},
           {ProxyColumn, L"Да"},
           {ZoneColumn(3, L"1200"), L"Отключено/Запрещено"},
           {ZoneColumn(3, L"1405"), L"Включено/Разрешено"},
           {ZoneColumn(3, L"2500"), L"Допущенные администратором"},
           {ZoneColumn(2, L"1200"), L"По запросу"},
           {ZoneColumn(2, L"1001"), L"Неизвестное значение"},
           {LoggingColumn, L"Да"},
           {LogFolderColumn, L"%AppData%\\ORN\\ORNPlugInVLX\\Logs\\"},
           {LogNameColumn, L"%LibName% %DateTime|yyyy-mm-dd hh-nn%.log"},
           {ActualLogColumn, L"C:\\Users\\user\\AppData\\Roaming\\ORN\\ORNPlugInVLX\\Logs\\"}},
          {CheckColumn}};
}

// An INI report of a workstation without the plug-in: nothing registered, neither entry,
// the proxy exception in another letter case (which does not count), logging off.
std::string BareIniReport() {
  return WideToBytes(
      L"[PlugIn]\r\nPath=\r\nVersion=\r\nAppName=application/x-ORN-plugin-VLX\r\nClassID=\r\nDomainInHosts=0\r\n"
      L"[IEProxySettings]\r\nEnable=0\r\nOverride=<local>;ORNPLUGINVLX.LOCAL\r\n"
      L"[ActiveXSettings\\InternetZones]\r\n0=Мой компьютер\r\n"
      L"[ActiveXSettings\\InternetZone\\0]\r\n1001=0\r\n1200=3\r\n"
      L"[Logging]\r\nEnabled=False\r\nFilePath=D:\\Logs\\\r\nFileName=plugin.log\r\nActualPath=D:\\Logs\\\r\n"
      L"ExistingPath=D:\\\r\nPathAccess=False\r\n",
      1251);
}

ExpectedRow BareRow(const std::wstring& file, const std::wstring& time) {
  return {{{FileColumn, file},
           {ComputerColumn, L"pc-a"},
           {TimeColumn, time},
           {RegisteredColumn, L"Нет"},
           {CheckColumn, L"Не выполнялась"},
           {ProcessesColumn, L"0"},
           {HostsColumn, L"Нет"},
           {ProxyColumn, L"Нет"},
           {ZoneColumn(0, L"1001"), L"Включено/Разрешено"},
           {ZoneColumn(0, L"1200"), L"Отключено/Запрещено"},
           {LoggingColumn, L"Нет"},
           {LogFolderColumn, L"D:\\Logs\\"},
           {LogNameColumn, L"plugin.log"},
           {ActualLogColumn, L"D:\\Logs\\"}},
          {RegisteredColumn, HostsColumn, ProxyColumn}};
}

// A hostile report in UTF-8: a value a spreadsheet would run as a formula, markup, the
// separator and quotes, a character no ANSI code page has, a library that did not map, a
// zone of an unknown name.
std::string HostileXmlReport() {
  return "\xEF\xBB\xBF" + WideToBytes(
                              L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Info>\r\n"
                              L"  <PlugIn Path=\"=HYPERLINK(&quot;http://x.example/&quot;;&quot;a&quot;)\" "
                              L"Version=\"&lt;script&gt;alert(1)&lt;/script&gt;\" DomainInHosts=\"yes\">\r\n"
                              L"    <LibraryCheck>\r\n"
                              L"      <Checking Name=\"LoadLibrary\" Result=\"Fail\" Error=\"193\"/>\r\n"
                              L"    </LibraryCheck>\r\n    <Processes>\r\n    </Processes>\r\n  </PlugIn>\r\n"
                              L"  <IEProxySettings Enable=\"False\" Override=\"\"/>\r\n"
                              L"  <ActiveXSettings>\r\n    <InternetZones>\r\n"
                              L"      <Zone ID=\"0\" Caption=\"Зона 51\">\r\n"
                              L"        <ZoneParam ID=\"1200\" Caption=\"c\" Value=\"3\"/>\r\n"
                              L"      </Zone>\r\n    </InternetZones>\r\n  </ActiveXSettings>\r\n"
                              L"  <Logging Enabled=\"True\" FilePath=\"@SUM(1+1)\" "
                              L"FileName=\"журнал 計;&quot;q&quot;.log\" ActualPath=\"\"/>\r\n</Info>",
                              CP_UTF8);
}

ExpectedRow HostileRow(const std::wstring& file, const std::wstring& time, bool csv) {
  // A spreadsheet is handed values that begin like a formula as text.
  const std::wstring asText = csv ? L"'" : L"";
  return {{{FileColumn, file},
           {ComputerColumn, L"PC-C"},
           {TimeColumn, time},
           {RegisteredColumn, L"Да"},
           {PathColumn, asText + L"=HYPERLINK(\"http://x.example/\";\"a\")"},
           {VersionColumn, L"<script>alert(1)</script>"},
           {CheckColumn, L"LoadLibrary: Ошибка: 193"},
           {ProcessesColumn, L"0"},
           {HostsColumn, L"Нет"},
           {ProxyColumn, L"Нет"},
           {LoggingColumn, L"Да"},
           {LogFolderColumn, asText + L"@SUM(1+1)"},
           {LogNameColumn, L"журнал 計;\"q\".log"}},
          {CheckColumn, HostsColumn, ProxyColumn}};
}

class FleetTableTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  std::wstring FReports = FSandbox.Root() + L"\\reports$";
  FILETIME FTime{};  // the reports' last-write time: 30.11.2026 08:09:10 on this workstation's clock
  const std::wstring FTimeText = L"30.11.2026 08:09:10";

  void SetUp() override {
    const SYSTEMTIME local{2026, 11, 0, 30, 8, 9, 10, 0};
    SYSTEMTIME utc;
    ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    ASSERT_TRUE(::SystemTimeToFileTime(&utc, &FTime));
    ForceDirectories(FReports + L"\\sub\\deeper");
    AddReport(L"PC-B.xinf", FullXmlReport());
    AddReport(L"sub\\deeper\\pc-a.iinf", BareIniReport());
    AddReport(L"sub\\PC-C.xinf", HostileXmlReport());
    // Damaged: an element is closed by the wrong end tag.
    AddReport(L"broken.xinf",
              "<?xml version=\"1.0\"?>\r\n<Info>\r\n  <PlugIn Path=\"C:\\x\">\r\n  </Processes>\r\n</Info>");
    // Not reports: the folder holds other files too.
    AddReport(L"readme.txt", "PC-B: reinstall\r\n");
    AddReport(L"sub\\PC-B.xinf.bak", FullXmlReport());
  }

  std::wstring Report(const std::wstring& name) const { return FReports + L"\\" + name; }
  void AddReport(const std::wstring& name, const std::string& bytes) {
    WriteBinaryFile(Report(name), bytes);
    UniqueFileHandle file(
        ::CreateFileW(Report(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && ::SetFileTime(file.Get(), nullptr, nullptr, &FTime));
  }
  // A second path to the reports: a link inside the tree back to its top, or a link beside
  // it named as a second input. Either way each report has one row.
  void ExpectEachReportOnceThroughLink(testing::FolderLink::TKind kind, bool secondInput) {
    const std::wstring alias = secondInput ? FSandbox.Root() + L"\\alias" : Report(L"sub\\deeper\\loop");
    testing::FolderLink link(alias, FReports, kind);
    if (!link.Failure().empty()) GTEST_SKIP() << "no second path to the folder: " << testing::Narrow(link.Failure());
    const std::wstring output = FSandbox.Root() + L"\\fleet.csv";
    ChildRun run = RunOrnpm(secondInput ? std::vector<std::wstring>{L"/TABLE", output, FReports, alias}
                                        : std::vector<std::wstring>{L"/TABLE", output, FReports});
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 1u) << "the damaged report failed";
    std::vector<std::wstring> files;
    for (const auto& row : ReadCsv(ReadBinaryFile(output)).Rows) {
      // Whichever path of a file is kept, it names the same report.
      std::wstring file = row.at(0);
      if (secondInput && file.starts_with(alias + L"\\")) file = FReports + file.substr(alias.size());
      files.push_back(file);
    }
    EXPECT_EQ(files, (std::vector<std::wstring>{Report(L"broken.xinf"), Report(L"sub\\deeper\\pc-a.iinf"),
                                                Report(L"PC-B.xinf"), Report(L"sub\\PC-C.xinf")}));
  }
  ExpectedRow BrokenRow() const {
    return {{{FileColumn, Report(L"broken.xinf")}, {ComputerColumn, L"broken"}, {TimeColumn, FTimeText}},
            {ErrorColumn}};
  }
};

// The error's text is the loader's; it must be there and be all the row says.
void TakeError(Table& table, size_t row) {
  ASSERT_LT(row, table.Rows.size());
  std::wstring& error = table.Rows[row].back();
  EXPECT_FALSE(error.empty()) << "the row says why the report was not read";
  error.clear();
}

TEST_F(FleetTableTest, FolderOfBothFormatsReadsBackCellByCell) {
  for (const wchar_t* extension : {L".csv", L".HTML"}) {
    const bool csv = extension == std::wstring(L".csv");
    SCOPED_TRACE(testing::Narrow(extension));
    const std::wstring output = FSandbox.Root() + L"\\fleet" + extension;
    ChildRun run = RunOrnpm({L"/table", output, FReports});
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 1u) << "the damaged report failed";
    EXPECT_TRUE(run.Windows.empty());
    EXPECT_TRUE(run.MessageBoxes.empty());
    EXPECT_NE(run.Output.find(Report(L"broken.xinf")), std::wstring::npos) << testing::Narrow(run.Output);
    EXPECT_EQ(run.Output.find(L"PC-B"), std::wstring::npos) << testing::Narrow(run.Output);

    const std::string bytes = ReadBinaryFile(output);
    Table table = csv ? ReadCsv(bytes) : ReadHtml(bytes);
    TakeError(table, 0);
    // Sorted by computer name, letter case ignored.
    ExpectTable(
        table,
        {BrokenRow(), BareRow(Report(L"sub\\deeper\\pc-a.iinf"), FTimeText),
         FullRow(Report(L"PC-B.xinf"), L"PC-B", FTimeText), HostileRow(Report(L"sub\\PC-C.xinf"), FTimeText, csv)},
        !csv);
    if (!csv) {
      EXPECT_EQ(bytes.find("<script>"), std::string::npos);
    }
  }
}

TEST_F(FleetTableTest, WildcardsAndFilesNamedTwice) {
  const std::wstring output = FSandbox.Root() + L"\\fleet.csv";
  ChildRun run = RunOrnpm({L"/TABLE", output, Report(L"PC-?.xinf"), Report(L"sub\\deeper\\*.IINF"),
                           Report(L"PC-B.xinf"), Report(L"sub\\PC-C.xinf")});
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 0u) << testing::Narrow(run.Output);
  EXPECT_EQ(run.Output, L"");
  ExpectTable(ReadCsv(ReadBinaryFile(output)),
              {BareRow(Report(L"sub\\deeper\\pc-a.iinf"), FTimeText), FullRow(Report(L"PC-B.xinf"), L"PC-B", FTimeText),
               HostileRow(Report(L"sub\\PC-C.xinf"), FTimeText, true)},
              false);
}

// Under Wine a host symbolic link is a reparse point; on a network share a link back up the
// tree may show as an ordinary folder, which a bind mount makes here. Either way the second
// path is followed once: every report has one row, and the walk ends.
TEST_F(FleetTableTest, FolderLinkBackUpTheTreeListsEachReportOnce) {
  ExpectEachReportOnceThroughLink(testing::FolderLink::Symbolic, false);
}

TEST_F(FleetTableTest, FolderMountedBelowItselfListsEachReportOnce) {
  ExpectEachReportOnceThroughLink(testing::FolderLink::Mount, false);
}

// The same files reached through two inputs, by paths whose text differs.
TEST_F(FleetTableTest, FolderLinkedAsASecondInputListsEachReportOnce) {
  ExpectEachReportOnceThroughLink(testing::FolderLink::Symbolic, true);
}

TEST_F(FleetTableTest, FolderMountedAsASecondInputListsEachReportOnce) {
  ExpectEachReportOnceThroughLink(testing::FolderLink::Mount, true);
}

TEST_F(FleetTableTest, ErrorsAndExitCodes) {
  const std::wstring output = FSandbox.Root() + L"\\fleet.csv";
  const std::wstring empty = FSandbox.Root() + L"\\empty";
  ::CreateDirectoryW(empty.c_str(), nullptr);
  struct Case {
    std::vector<std::wstring> Arguments;
    DWORD ExitCode;
    std::wstring Output;             // a line of the error stream
    std::vector<std::wstring> Rows;  // computer names of the table written, none: no table
  };
  const Case cases[] = {
      {{L"/TABLE"}, 1, L"Не указано имя файла таблицы", {}},
      {{L"/TABLE", FSandbox.Root() + L"\\fleet.xlsx", FReports},
       1,
       L"Неподдерживаемый формат файла таблицы: " + FSandbox.Root() + L"\\fleet.xlsx",
       {}},
      {{L"/TABLE", output}, 1, L"Не найдено ни одного отчёта", {}},
      {{L"/TABLE", output, empty, Report(L"*.iinf")}, 1, L"Не найдено ни одного отчёта: " + empty, {}},
      // A folder without reports among others: the table is written, the run failed.
      {{L"/TABLE", output, Report(L"PC-B.xinf"), empty}, 1, L"Не найдено ни одного отчёта: " + empty, {L"PC-B"}},
      // A file that is not there, or not a report, costs its own row only.
      {{L"/TABLE", output, Report(L"PC-B.xinf"), Report(L"PC-X.xinf"), Report(L"readme.txt")},
       1,
       Report(L"PC-X.xinf"),
       {L"PC-B", L"PC-X", L"readme"}},
      // A wildcard in a folder that is not there: a row without a computer name.
      {{L"/TABLE", output, Report(L"PC-B.xinf"), FSandbox.Root() + L"\\nowhere\\*.xinf"},
       1,
       FSandbox.Root() + L"\\nowhere\\*.xinf",
       {L"", L"PC-B"}},
      {{L"/TABLE", FSandbox.Root() + L"\\missing\\fleet.csv", FReports},
       1,
       L"Ошибка записи таблицы (EFCreateError)",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Narrow(c.Output));
    ::DeleteFileW(output.c_str());
    ChildRun run = RunOrnpm(c.Arguments);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_NE(run.Output.find(c.Output), std::wstring::npos) << testing::Narrow(run.Output);
    EXPECT_TRUE(run.Windows.empty());
    EXPECT_TRUE(run.MessageBoxes.empty());
    if (c.Rows.empty()) {
      EXPECT_FALSE(FileExists(output));
      continue;
    }
    Table table = ReadCsv(ReadBinaryFile(output));
    std::vector<std::wstring> computers;
    for (const auto& row : table.Rows) computers.push_back(row.at(1));
    EXPECT_EQ(computers, c.Rows);
  }
}

// Files that are no report get their error and nothing else in their rows; reports cut off
// before their end show what they hold, with an error that says where they end. Either
// fails the run. A report as earlier versions wrote it, with the proxy list unescaped and
// no hosts lines, reads as any other.
TEST_F(FleetTableTest, DamagedReportsAreErrorsInTheirRows) {
  const std::wstring folder = FSandbox.Root() + L"\\damaged";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::string full = FullXmlReport(), bare = BareIniReport();
  const struct {
    const wchar_t* Name;
    std::string Bytes;
    std::wstring Error;   // after the file's name; none for a whole report
    std::wstring Column;  // a cell that shows what was read
    std::wstring Text;
  } cases[] = {
      {L"a-empty.xinf", "", L"повреждён", RegisteredColumn, L""},
      {L"b-other.xinf", "<foo/>", L"повреждён", RegisteredColumn, L""},
      {L"c-other.iinf", "[PlugIn]\r\nName=viewer.dll\r\n[Logging]\r\nLevel=2\r\n", L"повреждён", RegisteredColumn, L""},
      {L"d-cut.xinf", full.substr(0, full.find("ID=\"1405\"")),
       L"неполный: он обрывается в строке 36 внутри элемента Zone", ZoneColumn(3, L"1200"), L"Отключено/Запрещено"},
      {L"e-cut.iinf", bare.substr(0, bare.find("[Logging]")),
       L"неполный: он обрывается в разделе [ActiveXSettings\\InternetZone\\0]", ZoneColumn(0, L"1200"),
       L"Отключено/Запрещено"},
      {L"f-earlier.xinf",
       "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n"
       "  <PlugIn Path=\"C:\\np.dll\" Version=\"7\" DomainInHosts=\"True\">\r\n"
       "    <Processes>\r\n    </Processes>\r\n    <Hosts>\r\n    </Hosts>\r\n  </PlugIn>\r\n"
       "  <IEProxySettings Enable=\"True\" Override=\"<local>;ornpluginvlx.local\"/>\r\n"
       "  <ActiveXSettings>\r\n    <InternetZones>\r\n    </InternetZones>\r\n  </ActiveXSettings>\r\n"
       "  <Logging Enabled=\"False\" FilePath=\"\" FileName=\"\" ActualPath=\"\" PathAccess=\"True\"/>\r\n</Info>",
       L"", ProxyColumn, L"Да"},
  };
  for (const auto& c : cases) WriteBinaryFile(folder + L"\\" + c.Name, c.Bytes);
  const std::wstring output = FSandbox.Root() + L"\\fleet.csv";
  ChildRun run = RunOrnpm({L"/TABLE", output, folder});
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_TRUE(run.MessageBoxes.empty());
  const Table table = ReadCsv(ReadBinaryFile(output));
  const std::vector<std::wstring> columns = ExpectedColumns();
  ASSERT_EQ(table.Columns, columns);
  ASSERT_EQ(table.Rows.size(), std::size(cases));
  auto cell = [&](size_t row, const std::wstring& column) {
    return table.Rows[row].at(std::find(columns.begin(), columns.end(), column) - columns.begin());
  };
  for (size_t r = 0; r < std::size(cases); ++r) {
    SCOPED_TRACE(testing::Narrow(cases[r].Name));
    const std::wstring file = folder + L"\\" + cases[r].Name;
    EXPECT_EQ(cell(r, FileColumn), file);
    EXPECT_EQ(cell(r, cases[r].Column), cases[r].Text);
    const std::wstring error = cell(r, ErrorColumn);
    if (cases[r].Error.empty()) {
      EXPECT_EQ(error, L"");
      continue;
    }
    EXPECT_TRUE(error.starts_with(L"Файл отчёта \"" + file + L"\" " + cases[r].Error)) << testing::Narrow(error);
    EXPECT_NE(run.Output.find(error), std::wstring::npos) << testing::Narrow(run.Output);
  }
}

TEST_F(FleetTableTest, ErrorsWithoutARedirectedStreamOpenNoWindow) {
  testing::ChildOptions options;
  options.RedirectOutput = false;
  ChildRun run = RunOrnpm({L"/TABLE", FSandbox.Root() + L"\\fleet.csv", FReports}, options);
  ASSERT_FALSE(run.TimedOut);
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_TRUE(run.Windows.empty());
  EXPECT_TRUE(run.MessageBoxes.empty());
  EXPECT_TRUE(FileExists(FSandbox.Root() + L"\\fleet.csv"));
}

TEST_F(FleetTableTest, TableThatCannotBeReplacedLeavesTheOldOneAlone) {
  const std::wstring output = FSandbox.Root() + L"\\fleet.csv";
  WriteBinaryFile(output, "old table");
  // A spreadsheet holds the old table open.
  UniqueFileHandle holder(
      ::CreateFileW(output.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  ChildRun run = RunOrnpm({L"/TABLE", output, Report(L"PC-B.xinf")});
  EXPECT_EQ(run.ExitCode, 1u);
  EXPECT_NE(run.Output.find(L"Ошибка записи таблицы"), std::wstring::npos) << testing::Narrow(run.Output);
  holder.Reset();
  EXPECT_EQ(ReadBinaryFile(output), "old table");
  WIN32_FIND_DATAW found;
  UniqueFindHandle search(::FindFirstFileW((output + L".~*").c_str(), &found));
  EXPECT_FALSE(search) << "no temporary file is left behind";
}

// A line of the page's summary: its kind, its text, what repairs it, and the rows it leads
// to, as anchor and link text.
struct SummaryLine {
  std::wstring Class, Text, Repair;
  std::vector<std::pair<std::string, std::wstring>> Links;
};

std::vector<SummaryLine> ReadSummary(const std::string& page) {
  const size_t start = page.find("<div class=\"summary\">");
  const std::string_view summary = std::string_view(page).substr(start, page.find("<table>") - start);
  std::vector<SummaryLine> lines;
  Elements(summary, "<li class=", "</li>", [&](std::string_view tag, std::string_view content) {
    SummaryLine line;
    line.Class = Attribute(tag, "class");
    const size_t text = content.find("<summary>") + 9, repair = content.find("<span class=\"repair\">"),
                 end = content.find("</summary>");
    line.Text = PlainText(content.substr(text, std::min(repair, end) - text));
    if (repair < end) line.Repair = PlainText(content.substr(repair, end - repair));
    Elements(content, "<a ", "</a>", [&](std::string_view link, std::string_view name) {
      line.Links.emplace_back(testing::Narrow(Attribute(link, "href")), PlainText(name));
    });
    lines.push_back(std::move(line));
  });
  return lines;
}

std::string Variant(std::string report, std::string_view from, std::string_view to) {
  report.replace(report.find(from), from.size(), to);
  return report;
}

class FleetHistoryTest : public FleetTableTest {
 protected:
  std::wstring FHistory = FSandbox.Root() + L"\\history";

  // A report written at a time of December 2026 on this workstation's clock.
  void Add(const std::wstring& name, const std::string& bytes, WORD day, WORD hour, WORD minute) {
    const std::wstring path = FHistory + L"\\" + name;
    ForceDirectories(ExtractFilePath(path));
    WriteBinaryFile(path, bytes);
    const SYSTEMTIME local{2026, 12, 0, day, hour, minute, 0, 0};
    SYSTEMTIME utc;
    FILETIME time;
    ASSERT_TRUE(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && ::SystemTimeToFileTime(&utc, &time));
    UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && ::SetFileTime(file.Get(), nullptr, nullptr, &time));
  }
  std::wstring Path(const std::wstring& name) const { return FHistory + L"\\" + name; }
};

// Reports of five workstations over several days: a value that changed past a report cut
// off; one that changed and changed back; two reports of one time; a workstation whose
// every report is damaged; one with a single report older than the others' previous ones.
// Names that differ in letter case are one workstation.
TEST_F(FleetHistoryTest, PageShowsEachWorkstationsNewestReportWhatChangedAndItsHistory) {
  const std::string full = FullXmlReport(),
                    noHosts = Variant(full, "DomainInHosts=\"True\"", "DomainInHosts=\"False\"");
  Add(L"2026-12-08\\WS-A.xinf", full, 8, 8, 0);
  Add(L"2026-12-09\\ws-a.xinf", full.substr(0, full.find("ID=\"1405\"")), 9, 8, 0);
  Add(L"2026-12-10\\WS-A.xinf", noHosts, 10, 8, 5);
  Add(L"2026-12-07\\WS-B.xinf", full, 7, 8, 0);
  Add(L"2026-12-08\\WS-B.xinf", noHosts, 8, 8, 0);
  Add(L"2026-12-09\\WS-B.xinf", full, 9, 8, 0);
  Add(L"2026-12-10\\WS-B.xinf", full, 10, 8, 5);
  Add(L"2026-12-10a\\WS-C.xinf", full, 10, 8, 5);
  Add(L"2026-12-10b\\WS-C.xinf", Variant(full, "10.0.2.123", "10.0.3.0"), 10, 8, 5);
  Add(L"2026-12-09\\WS-D.xinf", "<foo/>", 9, 8, 0);
  Add(L"2026-12-10\\WS-D.xinf", "", 10, 8, 5);
  Add(L"2026-12-01\\WS-E.iinf", BareIniReport(), 1, 8, 0);

  const std::wstring page = FSandbox.Root() + L"\\fleet.html", csv = FSandbox.Root() + L"\\fleet.csv";
  for (const std::wstring& output : {page, csv}) {
    ChildRun run = RunOrnpm({L"/TABLE", output, FHistory});
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, 1u) << "reports were damaged or cut off";
  }
  // The CSV stays a row per report.
  std::vector<std::wstring> files;
  for (const auto& row : ReadCsv(ReadBinaryFile(csv)).Rows) files.push_back(row.at(0));
  EXPECT_EQ(files,
            (std::vector<std::wstring>{
                Path(L"2026-12-08\\WS-A.xinf"), Path(L"2026-12-09\\ws-a.xinf"), Path(L"2026-12-10\\WS-A.xinf"),
                Path(L"2026-12-07\\WS-B.xinf"), Path(L"2026-12-08\\WS-B.xinf"), Path(L"2026-12-09\\WS-B.xinf"),
                Path(L"2026-12-10\\WS-B.xinf"), Path(L"2026-12-10a\\WS-C.xinf"), Path(L"2026-12-10b\\WS-C.xinf"),
                Path(L"2026-12-09\\WS-D.xinf"), Path(L"2026-12-10\\WS-D.xinf"), Path(L"2026-12-01\\WS-E.iinf")}));

  const std::string html = ReadBinaryFile(page);
  const Table table = ReadHtml(html);
  ASSERT_EQ(table.Rows.size(), 5u);
  auto cell = [&](size_t row, const std::wstring& column) {
    return table.Rows[row].at(std::find(table.Columns.begin(), table.Columns.end(), column) - table.Columns.begin());
  };
  const std::wstring newest[] = {Path(L"2026-12-10\\WS-A.xinf"), Path(L"2026-12-10\\WS-B.xinf"),
                                 Path(L"2026-12-10b\\WS-C.xinf"), Path(L"2026-12-10\\WS-D.xinf"),
                                 Path(L"2026-12-01\\WS-E.iinf")};
  for (size_t r = 0; r < 5; ++r) {
    EXPECT_EQ(cell(r, FileColumn), newest[r]);
    EXPECT_EQ(cell(r, ComputerColumn), std::wstring(L"WS-") + wchar_t(L'A' + r));
  }
  EXPECT_EQ(cell(2, VersionColumn), L"10.0.3.0");

  // Changed from the last whole report, past the one cut off; a problem too.
  EXPECT_EQ(
      table.Marks[0].at(HostsColumn),
      (CellMark{L"problem changed", L"Проблема; было: да; изменилось между 08.12.2026 08:00 и 10.12.2026 08:05"}));
  EXPECT_FALSE(table.Marks[1].contains(HostsColumn)) << "changed back a report ago";
  EXPECT_EQ(table.Marks[2].at(VersionColumn),
            (CellMark{L"changed", L"было: 10.0.2.123; изменилось между 10.12.2026 08:05 и 10.12.2026 08:05"}));
  EXPECT_EQ(table.Problems[3], std::set<std::wstring>{ErrorColumn});
  EXPECT_EQ(table.Problems[4], (std::set<std::wstring>{RegisteredColumn, HostsColumn, ProxyColumn}));
  for (const auto& marks : table.Marks) {
    for (const auto& [column, mark] : marks) {
      if (column != HostsColumn && column != VersionColumn) {
        EXPECT_EQ(mark.Class.find(L"changed"), std::wstring::npos) << testing::Narrow(column);
      }
    }
  }

  const std::wstring cutOff =
      L"09.12.2026 08:00 — Файл отчёта \"" + Path(L"2026-12-09\\ws-a.xinf") +
      L"\" неполный: он обрывается в строке 36 внутри элемента Zone; показано только то, что было "
      L"прочитано до обрыва";
  EXPECT_EQ(table.History[0], (std::vector<HistoryEntry>{{L"", L"10.12.2026 08:05 — Домен в Hosts: да → нет"},
                                                         {L"problem", cutOff},
                                                         {L"", L"08.12.2026 08:00 — первый отчёт"}}));
  EXPECT_EQ(table.History[1], (std::vector<HistoryEntry>{{L"", L"10.12.2026 08:05 — без изменений"},
                                                         {L"", L"09.12.2026 08:00 — Домен в Hosts: нет → да"},
                                                         {L"", L"08.12.2026 08:00 — Домен в Hosts: да → нет"},
                                                         {L"", L"07.12.2026 08:00 — первый отчёт"}}));
  EXPECT_EQ(table.History[2].size(), 2u);
  ASSERT_EQ(table.History[3].size(), 2u);
  for (const HistoryEntry& entry : table.History[3]) EXPECT_EQ(entry.Class, L"problem") << testing::Narrow(entry.Text);
  EXPECT_TRUE(table.History[4].empty()) << "a single report has no history";

  EXPECT_NE(BytesToWide(html, CP_UTF8).find(L"Отчётов: 12, рабочих мест: 5, с 01.12.2026 08:00 по 10.12.2026 08:05."),
            std::wstring::npos);
  // Each line leads to every workstation it counts; a problem says what repairs it.
  auto link = [&](size_t row) { return std::pair{"#" + table.Anchors[row], cell(row, ComputerColumn)}; };
  std::vector<std::wstring> changes;
  const std::vector<SummaryLine> summary = ReadSummary(html);
  for (const SummaryLine& line : summary)
    if (line.Class == L"changed") changes.push_back(line.Text);
  EXPECT_EQ(changes, (std::vector<std::wstring>{
                         L"Версия: 10.0.2.123 → 10.0.3.0 у 1 рабочего места (последнее изменение 10.12.2026)",
                         L"Домен в Hosts: да → нет у 2 рабочих мест (последнее изменение 10.12.2026)",
                         L"Домен в Hosts: нет → да у 1 рабочего места (последнее изменение 09.12.2026)"}));
  const struct {
    std::wstring Line, Class, Repair;
    std::vector<size_t> Rows;
  } expected[] = {
      {L"Домен в Hosts: нет", L"problem", L"ornpm.exe /WH", {0, 4}},
      {L"Домен в исключениях прокси: нет", L"problem", L"ornpm.exe /WP", {4}},
      {L"Плагин зарегистрирован: нет", L"problem", L"установите плагин", {4}},
      {L"Ошибка: Файл отчёта", L"problem", L"ornpm.exe /REPORT", {3}},
      {L"Версия: 10.0.2.123 → 10.0.3.0", L"changed", L"", {2}},
      {L"Домен в Hosts: да → нет", L"changed", L"", {0, 1}},
      {L"Домен в Hosts: нет → да", L"changed", L"", {1}},
      {L"Версия: 10.0.2.123", L"outlier", L"", {0, 1}},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(testing::Narrow(e.Line));
    auto found = std::find_if(summary.begin(), summary.end(), [&](const SummaryLine& line) {
      return line.Class == e.Class && line.Text.starts_with(e.Line);
    });
    ASSERT_NE(found, summary.end());
    EXPECT_NE(found->Repair.find(e.Repair), std::wstring::npos) << testing::Narrow(found->Repair);
    std::vector<std::pair<std::string, std::wstring>> links;
    for (size_t row : e.Rows) links.push_back(link(row));
    EXPECT_EQ(found->Links, links);
  }
}

}  // namespace
}  // namespace ornpm
