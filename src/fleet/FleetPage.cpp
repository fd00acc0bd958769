// The fleet table as a page for a person who asks which workstations are not like the
// others, and in what: a summary first, then only the columns that differ, with the cells
// that show a problem or differ from the fleet marked. Every value is escaped; the page
// has no script.

#include <windows.h>

#include <algorithm>

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
    "      .same {",
    "        color: #505050;",
    "        font-size: 12px;",
    "      }",
    "    </style>",
    "  </head>",
    "  <body>",
    "    <h1>Сводная таблица отчётов</h1>",
};

void AppendLine(std::string& out, std::string_view line) {
  out.append(line).append("\r\n");
}

// Escaped as the report page escapes; the lines of a cell are kept apart by line-break
// elements.
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

// A value inside a sentence: "да" and "нет" as words, a cell's lines in one line, a long
// value cut short.
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

std::string RowAnchor(size_t row) {
  std::string anchor(1, 'r');
  anchor += std::to_string(row + 1);
  return anchor;
}

// "Домен в Hosts: нет у 12 из 240; у большинства: да"
std::wstring FindingText(const TFleetSurvey& survey, const TFleetFinding& finding) {
  constexpr size_t ValuesShown = 3;
  std::wstring values;
  for (size_t i = 0; i < std::min(ValuesShown, finding.Values.size()); ++i)
    values.append(i ? L", " : L"").append(InSentence(finding.Values[i]));
  if (finding.Values.size() > ValuesShown)
    values += Format(L" и ещё %s", {std::to_wstring(finding.Values.size() - ValuesShown)});
  std::wstring text = Format(L"%s: %s у %s из %s", {FleetColumns()[finding.Column].Caption, values,
                                                    std::to_wstring(finding.Marked), std::to_wstring(survey.RowCount())});
  // What most have; an empty error is no value worth a word.
  const std::wstring& common = survey.MostCommon(finding.Column);
  const bool problemColumn = FleetColumns()[finding.Column].Kind == TFleetColumnKind::Problem;
  if (std::find(finding.Values.begin(), finding.Values.end(), common) == finding.Values.end() &&
      !(problemColumn && common.empty()))
    text += L"; у большинства: " + InSentence(common);
  if (FleetColumns()[finding.Column].Kind == TFleetColumnKind::Newest && survey.Reference(finding.Column) != common)
    text += L"; новейшая: " + survey.Reference(finding.Column);
  return text;
}

// What a person reads first: what is wrong where, what differs, and what is the same
// everywhere. Each line leads to the first row it speaks of.
void AppendSummary(const TFleetSurvey& survey, const std::vector<size_t>& sameColumns, std::string& out) {
  AppendLine(out, "    <div class=\"summary\">");
  out += "      <p>Отчётов: " + std::to_string(survey.RowCount()) +
         ". Отметки в ячейках: <span class=\"problem\" title=\"Проблема\">проблема</span> — плагин не может работать "
         "на этом рабочем месте, <span class=\"outlier\" title=\"Отличие\">отличие</span> — не так, как у "
         "большинства рабочих мест (слово в подсказке ячейки).</p>\r\n";
  const struct {
    TFleetMark Kind;
    const char* Heading;
  } groups[] = {{TFleetMark::Problem, "Проблемы"}, {TFleetMark::Outlier, "Отличия от большинства"}};
  for (const auto& group : groups) {
    const auto& findings = survey.Findings();
    if (std::none_of(findings.begin(), findings.end(), [&](const TFleetFinding& f) { return f.Kind == group.Kind; }))
      continue;
    const char* kind = group.Kind == TFleetMark::Problem ? "problem" : "outlier";
    out += std::string("      <h2>") + group.Heading + "</h2>\r\n      <ul>\r\n";
    for (const TFleetFinding& finding : findings) {
      if (finding.Kind != group.Kind) continue;
      out += std::string("        <li class=\"") + kind + "\"><a href=\"#" + RowAnchor(finding.FirstRow) + "\">";
      AppendText(FindingText(survey, finding), out);
      out += "</a></li>\r\n";
    }
    out += "      </ul>\r\n";
  }
  if (survey.Findings().empty())
    out += "      <p class=\"agree\">Все рабочие места одинаковы: ни проблем, ни отличий от большинства.</p>\r\n";
  // Folded into one line that opens without a script.
  if (!sameColumns.empty()) {
    out += "      <details class=\"same\">\r\n        <summary>Одинаково у всех, столбцов: " +
           std::to_string(sameColumns.size()) + "</summary>\r\n        <ul>\r\n";
    for (size_t column : sameColumns) {
      out += "          <li>";
      AppendText(FleetColumns()[column].Caption + L" — " + InSentence(survey.MostCommon(column)), out);
      out += "</li>\r\n";
    }
    out += "        </ul>\r\n      </details>\r\n";
  }
  AppendLine(out, "    </div>");
}

void AppendCell(std::string_view attributes, const std::wstring& text, std::string& out) {
  out.append("          <td").append(attributes).append(">");
  AppendText(text, out);
  out += "</td>\r\n";
}

// The word that tells the marks apart besides their colour.
std::wstring MarkTitle(const TFleetSurvey& survey, TFleetMark mark, size_t column) {
  if (mark == TFleetMark::Problem) return L"Проблема";
  const std::wstring& reference = survey.Reference(column);
  if (FleetColumns()[column].Kind == TFleetColumnKind::Newest) return L"Отличие: новейшая версия — " + InSentence(reference);
  return L"Отличие: у большинства — " + InSentence(reference);
}

class TFleetPage final : public TFleetTableFormat {
 public:
  void Begin(TFleetOutput&) override {}
  void Row(const TFleetFile&, const TFleetRow& row, bool read, TFleetOutput&) override { FSurvey.Add(row, read); }
  void End(const std::vector<TFleetFile>& files, TFleetOutput& out) override {
    FSurvey.Finish();
    std::vector<size_t> shown, same;
    for (size_t c = 0; c < FleetColumns().size(); ++c)
      (c < FleetFileColumns || !FSurvey.Same(c) ? shown : same).push_back(c);
    std::string& bytes = out.Bytes();
    for (const char* line : PageHead) AppendLine(bytes, line);
    AppendSummary(FSurvey, same, bytes);
    bytes += "    <table>\r\n      <thead>\r\n        <tr>\r\n";
    for (size_t c : shown) {
      bytes += "          <th>";
      AppendText(FleetColumns()[c].Caption, bytes);
      bytes += "</th>\r\n";
    }
    bytes += "        </tr>\r\n      </thead>\r\n      <tbody>\r\n";
    for (size_t r = 0; r < files.size(); ++r) {
      bytes += "        <tr id=\"" + RowAnchor(r) + "\">\r\n";
      const TFleetRow fileCells = MakeFleetRow(files[r], nullptr, {});
      for (size_t c : shown) {
        if (c < FleetFileColumns) {
          AppendCell("", fileCells[c].Text, bytes);
          continue;
        }
        const TFleetMark mark = FSurvey.Mark(r, c);
        std::string attributes;
        if (mark != TFleetMark::None) {
          attributes = mark == TFleetMark::Problem ? " class=\"problem\" title=\"" : " class=\"outlier\" title=\"";
          AppendText(MarkTitle(FSurvey, mark, c), attributes);
          attributes += '"';
        }
        AppendCell(attributes, FSurvey.Text(r, c), bytes);
      }
      bytes += "        </tr>\r\n";
      out.Spill();
    }
    bytes += "      </tbody>\r\n    </table>\r\n  </body>\r\n</html>\r\n";
  }

 private:
  TFleetSurvey FSurvey;
};

}  // namespace

std::unique_ptr<TFleetTableFormat> MakeFleetPage() {
  return std::make_unique<TFleetPage>();
}

}  // namespace ornpm
