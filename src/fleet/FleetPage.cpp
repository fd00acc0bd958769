// The fleet table as a page for a person who asks what is wrong on which workstation, what
// changed and since when, and which workstations are not like the others: a summary first,
// then a row per workstation with only the columns that differ, its cells marked, its
// history folded in its first cell. Every value is escaped; the page has no script.

#include <windows.h>

#include <algorithm>

#include "fleet/FleetHistory.h"
#include "fleet/FleetPageText.h"
#include "fleet/FleetSurvey.h"
#include "fleet/FleetTableFormat.h"
#include "service/SimpleXMLParser.h"
#include "win/Text.h"

namespace ornpm {

namespace {

constexpr const char* PageHead[] = {
    "<!DOCTYPE html>",
    "<html>",
    "  <head>",
    "    <meta charset=\"utf-8\">",
    "    <title>ORN PlugIn: сводная таблица</title>",
    "    <style>",
    "      body {",
    "        font-family: sans-serif;",
    "        font-size: 14px;",
    "      }",
    "      table, th, td {",
    "        border: 1px solid black;",
    "        border-collapse: collapse;",
    "      }",
    "      th, td {",
    "        padding: 5px;",
    "        text-align: left;",
    "        vertical-align: top;",
    "      }",
    // The header row stays in view while the rows scroll under it; a row reached from the
    // summary is not hidden under it.
    "      thead th {",
    "        position: sticky;",
    "        top: 0;",
    "        min-width: 8em;",
    "        vertical-align: bottom;",
    "        background: #e8e8e8;",
    "        box-shadow: inset 0 -1px 0 black;",
    "      }",
    "      tbody tr {",
    "        scroll-margin-top: 10em;",
    "      }",
    "      tbody tr:target td {",
    "        outline: 2px solid #0050c8;",
    "      }",
    "      .problem {",
    "        background: #ffd6d6;",
    "        color: #a00000;",
    "      }",
    "      .outlier {",
    "        background: #fff0b3;",
    "        color: #6b4e00;",
    "      }",
    // A change keeps its bar beside the colours of a problem or a difference.
    "      .changed {",
    "        background: #dbe8ff;",
    "        color: #003a8c;",
    "        border-left: 5px solid #2f6fd0;",
    "        padding-left: 4px;",
    "      }",
    // In a cell the bar lies inside, so that the table's lines stay as they are.
    "      td.changed {",
    "        border-left: 1px solid black;",
    "        padding-left: 10px;",
    "        box-shadow: inset 5px 0 0 #2f6fd0;",
    "      }",
    "      .problem.changed {",
    "        background: #ffd6d6;",
    "        color: #a00000;",
    "      }",
    "      .outlier.changed {",
    "        background: #fff0b3;",
    "        color: #6b4e00;",
    "      }",
    "      .summary h2 {",
    "        font-size: 16px;",
    "        margin: 12px 0 4px;",
    "      }",
    "      .summary ul {",
    "        margin: 0;",
    "        padding-left: 20px;",
    "      }",
    "      .summary li {",
    "        margin: 2px 0;",
    "      }",
    "      .same summary {",
    "        cursor: pointer;",
    "      }",
    "      .summary li a {",
    "        color: inherit;",
    "      }",
    "      .summary summary, .history summary {",
    "        cursor: pointer;",
    "      }",
    "      .repair {",
    "        display: block;",
    "        color: #202020;",
    "        margin-left: 1.2em;",
    "      }",
    "      .where {",
    "        margin: 2px 0 6px 1.2em;",
    "        max-height: 12em;",
    "        overflow-y: auto;",
    "      }",
    "      .where a {",
    "        margin-right: 0.6em;",
    "        white-space: nowrap;",
    "      }",
    "      .history ol {",
    "        margin: 4px 0 0;",
    "        padding-left: 0;",
    "        list-style: none;",
    "        font-size: 12px;",
    "      }",
    "      .history li {",
    "        margin: 0 0 4px;",
    "        padding-left: 4px;",
    "      }",
    "      .when, .reports {",
    "        font-weight: bold;",
    "      }",
    "      .reports {",
    "        display: block;",
    "        font-weight: normal;",
    "        color: #505050;",
    "        font-size: 12px;",
    "      }",
    "      .same {",
    "        color: #505050;",
    "        font-size: 12px;",
    "      }",
    "    </style>",
    "  </head>",
    "  <body>",
    "    <h1>Сводная таблица отчётов</h1>",
};

}  // namespace

void AppendLine(std::string& out, std::string_view line) {
  out.append(line).append("\r\n");
}

void AppendText(std::wstring_view text, std::string& out) {
  for (size_t start = 0;;) {
    const size_t end = text.find(L'\n', start);
    std::wstring line = TextToXML(text.substr(start, end == std::wstring_view::npos ? end : end - start));
    std::erase(line, L'\r');
    AppendBytes(out, line, CP_UTF8);
    if (end == std::wstring_view::npos) return;
    out += "<br>";
    start = end + 1;
  }
}

std::wstring InSentence(const std::wstring& value) {
  if (value.empty()) return L"пусто";
  if (value == L"Да") return L"да";
  if (value == L"Нет") return L"нет";
  constexpr size_t Longest = 80;
  std::wstring text;
  for (wchar_t c : value) {
    if (c == L'\r') continue;
    text += c == L'\n' ? std::wstring(L"; ") : std::wstring(1, c);
  }
  if (text.size() > Longest) text = text.substr(0, Longest - 1) + L"…";
  return text;
}

std::wstring ChangeText(const std::wstring& column, const std::wstring& from, const std::wstring& to) {
  return column + L": " + InSentence(from) + L" → " + InSentence(to);
}

std::string RowAnchor(size_t row) {
  std::string anchor(1, 'r');
  anchor += std::to_string(row + 1);
  return anchor;
}

namespace {

// The words that tell the marks apart besides their colour.
std::wstring MarkTitle(const TFleetSurvey& survey, TFleetMark mark, size_t column) {
  if (mark == TFleetMark::Problem) return L"Проблема";
  const std::wstring& reference = survey.Reference(column);
  if (FleetColumns()[column].Kind == TFleetColumnKind::Newest)
    return L"Отличие: новейшая версия — " + InSentence(reference);
  return L"Отличие: у большинства — " + InSentence(reference);
}

// "было: да; изменилось между 09.12.2026 08:02 и 10.12.2026 08:05"
std::wstring ChangeTitle(const TFleetHistory& history, const TFleetFiles& files, const TFleetChange& change) {
  return L"было: " + InSentence(history.Value(change.From)) + L"; изменилось между " +
         FleetTimeText(files.Time(change.Previous), TTimePrecision::Minute) + L" и " +
         FleetTimeText(files.Time(change.Report), TTimePrecision::Minute);
}

class TFleetPage final : public TFleetTableFormat {
 public:
  void Begin(TFleetOutput&) override {}
  void Row(const TFleetFiles& files, size_t report, const TFleetRow& row, bool read, TFleetOutput&) override {
    const auto& workstations = FHistory.Workstations();
    const bool newWorkstation = workstations.empty() || !files.SameComputer(workstations.back().First, report);
    if (newWorkstation) AddNewest();
    FHistory.Add(report, newWorkstation, row, row.back().Text);
    FNewest = row;
    FNewestRead = read;
  }
  void End(const TFleetFiles& files, TFleetOutput& out) override {
    AddNewest();
    FSurvey.Finish();
    std::vector<size_t> shown, same;
    for (size_t c = 0; c < FleetColumns().size(); ++c)
      (c < FleetFileColumns || !FSurvey.Same(c) ? shown : same).push_back(c);
    std::string& bytes = out.Bytes();
    for (const char* line : PageHead) AppendLine(bytes, line);
    AppendFleetSummary(FSurvey, FHistory, files, same, bytes);
    bytes += "    <table>\r\n      <thead>\r\n        <tr>\r\n";
    for (size_t c : shown) {
      bytes += "          <th>";
      AppendText(FleetColumns()[c].Caption, bytes);
      bytes += "</th>\r\n";
    }
    bytes += "        </tr>\r\n      </thead>\r\n      <tbody>\r\n";
    for (size_t r = 0; r < FSurvey.RowCount(); ++r) {
      AppendRow(files, r, shown, bytes);
      out.Spill();
    }
    bytes += "      </tbody>\r\n    </table>\r\n  </body>\r\n</html>\r\n";
  }

 private:
  // The newest report of the workstation read last is its row.
  void AddNewest() {
    if (!FHistory.Workstations().empty()) FSurvey.Add(FNewest, FNewestRead);
  }

  void AppendRow(const TFleetFiles& files, size_t r, const std::vector<size_t>& shown, std::string& bytes) const {
    const TFleetHistory::TWorkstation& workstation = FHistory.Workstations()[r];
    bytes += "        <tr id=\"" + RowAnchor(r) + "\">\r\n";
    const TFleetRow fileCells = MakeFleetRow(files.File(workstation.Newest), nullptr, {});
    for (size_t c : shown) {
      if (c == 0 && workstation.First != workstation.Newest) {
        AppendHistoryCell(files, workstation, fileCells[c].Text, bytes);
        continue;
      }
      std::string attributes;
      std::wstring title;
      if (c >= FleetFileColumns) {
        const TFleetMark mark = FSurvey.Mark(r, c);
        if (mark != TFleetMark::None) {
          attributes = mark == TFleetMark::Problem ? "problem" : "outlier";
          title = MarkTitle(FSurvey, mark, c);
        }
        if (const TFleetChange* change = FHistory.CurrentChange(workstation, c)) {
          attributes += attributes.empty() ? "changed" : " changed";
          title += (title.empty() ? L"" : L"; ") + ChangeTitle(FHistory, files, *change);
        }
      }
      if (!attributes.empty()) {
        attributes = " class=\"" + attributes + "\" title=\"";
        AppendText(title, attributes);
        attributes += '"';
      }
      AppendCell(attributes, c < FleetFileColumns ? fileCells[c].Text : FSurvey.Text(r, c), bytes);
    }
    bytes += "        </tr>\r\n";
  }

  static void AppendCell(std::string_view attributes, const std::wstring& text, std::string& out) {
    out.append("          <td").append(attributes).append(">");
    AppendText(text, out);
    out += "</td>\r\n";
  }

  // The newest report's file, opening to every report of the workstation, newest first,
  // each with what changed from the whole report before it.
  void AppendHistoryCell(const TFleetFiles& files, const TFleetHistory::TWorkstation& workstation,
                         const std::wstring& path, std::string& out) const {
    out += "          <td><details class=\"history\"><summary>";
    AppendText(path, out);
    out += "<span class=\"reports\">История: отчётов " + std::to_string(workstation.Newest - workstation.First + 1) +
           "</span></summary>\r\n            <ol>\r\n";
    const std::span<const TFleetChange> changes = FHistory.Changes(workstation);
    size_t next = changes.size();              // the changes of the report at hand end here
    uint32_t oldestWhole = workstation.First;  // compared with nothing before it
    while (oldestWhole < workstation.Newest && FHistory.Error(oldestWhole)) ++oldestWhole;
    for (uint32_t report = workstation.Newest + 1; report-- > workstation.First;) {
      const std::wstring* error = FHistory.Error(report);
      out += error ? "              <li class=\"problem\">" : "              <li>";
      out += "<span class=\"when\" title=\"";
      AppendText(files.File(report).Path, out);
      out += "\">";
      AppendText(FleetTimeText(files.Time(report), TTimePrecision::Minute), out);
      out += "</span> — ";
      size_t first = next;
      while (first > 0 && changes[first - 1].Report == report) --first;
      if (error) {
        AppendText(*error, out);
      } else if (first < next) {
        for (size_t i = first; i < next; ++i) {
          out += i > first ? "<br>" : "";
          AppendText(ChangeText(FleetColumns()[changes[i].Column].Caption, FHistory.Value(changes[i].From),
                                FHistory.Value(changes[i].To)),
                     out);
        }
      } else {
        out += report == oldestWhole ? "первый отчёт" : "без изменений";
      }
      next = first;
      out += "</li>\r\n";
    }
    out += "            </ol></details></td>\r\n";
  }

  TFleetSurvey FSurvey;
  TFleetHistory FHistory;
  TFleetRow FNewest;  // of the workstation being read
  bool FNewestRead = false;
};

}  // namespace

std::unique_ptr<TFleetTableFormat> MakeFleetPage() {
  return std::make_unique<TFleetPage>();
}

}  // namespace ornpm
