// The summary above the fleet table.

#include <windows.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "fleet/FleetHistory.h"
#include "fleet/FleetInputs.h"
#include "fleet/FleetPageText.h"
#include "fleet/FleetSurvey.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// "у 1 рабочего места", "у 3 рабочих мест", "у 21 рабочего места"
std::wstring AtWorkstations(size_t count) {
  const bool one = count % 10 == 1 && count % 100 != 11;
  return L"у " + std::to_wstring(count) + (one ? L" рабочего места" : L" рабочих мест");
}

// What repairs a problem on the workstations that have it; markup of our own.
const char* RepairHtml(const std::wstring& column) {
  static const std::pair<const wchar_t*, const char*> repairs[] = {
      {L"Плагин зарегистрирован",
       "Исправление: установите плагин на этих рабочих местах заново — установка регистрирует его."},
      {L"Проверка библиотеки",
       "Исправление: переустановите плагин на этих рабочих местах: его библиотека не загружается или в ней нет "
       "нужных точек входа."},
      {L"Домен в Hosts",
       "Исправление: на каждом из этих рабочих мест запустите <code>ornpm.exe /WH</code> от имени администратора."},
      {L"Домен в исключениях прокси",
       "Исправление: на каждом из этих рабочих мест запустите <code>ornpm.exe /WP</code> от имени пользователя, "
       "который работает с плагином."},
      {L"Ошибка",
       "Исправление: проверьте, что файл отчёта доступен, и соберите отчёт на этом рабочем месте заново "
       "(<code>ornpm.exe /REPORT</code>), затем постройте таблицу снова."},
  };
  for (const auto& [caption, html] : repairs)
    if (column == caption) return html;
  return nullptr;
}

// "Домен в Hosts: нет у 12 из 240; у большинства: да"
std::wstring FindingText(const TFleetSurvey& survey, const TFleetFinding& finding) {
  constexpr size_t ValuesShown = 3;
  std::wstring values;
  for (size_t i = 0; i < std::min(ValuesShown, finding.Values.size()); ++i)
    values.append(i ? L", " : L"").append(InSentence(finding.Values[i]));
  if (finding.Values.size() > ValuesShown)
    values += Format(L" и ещё %s", {std::to_wstring(finding.Values.size() - ValuesShown)});
  std::wstring text =
      Format(L"%s: %s у %s из %s", {FleetColumns()[finding.Column].Caption, values, std::to_wstring(finding.Marked),
                                    std::to_wstring(survey.RowCount())});
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

class TSummaryWriter {
 public:
  TSummaryWriter(const TFleetSurvey& survey, const TFleetHistory& history, const TFleetFiles& files, std::string& out)
      : FSurvey(survey), FHistory(history), FFiles(files), FOut(out) {}

  void Counts() {
    uint64_t first = UINT64_MAX, last = 0;
    for (size_t i = 0; i < FFiles.Count(); ++i)
      if (const uint64_t time = FFiles.Time(i)) {
        first = std::min(first, time);
        last = std::max(last, time);
      }
    std::wstring text = Format(L"Отчётов: %s, рабочих мест: %s",
                               {std::to_wstring(FFiles.Count()), std::to_wstring(FHistory.Workstations().size())});
    if (last)
      text += Format(L", с %s по %s",
                     {FleetTimeText(first, TTimePrecision::Minute), FleetTimeText(last, TTimePrecision::Minute)});
    text += L". В таблице — последний отчёт каждого рабочего места";
    text += FFiles.Count() > FHistory.Workstations().size() ? L", его история открывается в первой ячейке строки."
                                                              : L".";
    FOut += "      <p>";
    AppendText(text, FOut);
    FOut +=
        " Отметки в ячейках: <span class=\"problem\" title=\"Проблема\">проблема</span> — плагин не может работать "
        "на этом рабочем месте, <span class=\"changed\" title=\"Изменилось\">изменилось</span> — не так, как в "
        "предыдущем отчёте этого рабочего места, <span class=\"outlier\" title=\"Отличие\">отличие</span> — не так, "
        "как у большинства рабочих мест (слово в подсказке ячейки).</p>\r\n";
  }

  void Findings(TFleetMark kind, const char* heading) {
    const std::vector<TFleetFinding>& findings = FSurvey.Findings();
    if (std::none_of(findings.begin(), findings.end(), [&](const TFleetFinding& f) { return f.Kind == kind; })) return;
    Heading(heading);
    for (const TFleetFinding& finding : findings) {
      if (finding.Kind != kind) continue;
      std::vector<size_t> rows;
      for (size_t r = 0; r < FSurvey.RowCount(); ++r)
        if (FSurvey.Mark(r, finding.Column) != TFleetMark::None) rows.push_back(r);
      const char* repair = kind == TFleetMark::Problem ? RepairHtml(FleetColumns()[finding.Column].Caption) : nullptr;
      Line(kind == TFleetMark::Problem ? "problem" : "outlier", FindingText(FSurvey, finding), repair, rows);
    }
    FOut += "      </ul>\r\n";
  }

  // One line per column and direction, over every workstation's history.
  void Changes() {
    struct TDirection {
      std::vector<size_t> Rows;
      uint64_t Latest = 0;
      size_t Order;
    };
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, TDirection> directions;
    const auto& workstations = FHistory.Workstations();
    for (size_t w = 0; w < workstations.size(); ++w)
      for (const TFleetChange& change : FHistory.Changes(workstations[w])) {
        auto [entry, added] =
            directions.try_emplace({change.Column, change.From, change.To}, TDirection{{}, 0, directions.size()});
        if (entry->second.Rows.empty() || entry->second.Rows.back() != w) entry->second.Rows.push_back(w);
        entry->second.Latest = std::max(entry->second.Latest, FFiles.Time(change.Report));
      }
    if (directions.empty()) return;
    std::vector<std::pair<const std::tuple<uint32_t, uint32_t, uint32_t>, TDirection>*> lines;
    for (auto& direction : directions) lines.push_back(&direction);
    // By column; in a column the direction of the most workstations first.
    std::sort(lines.begin(), lines.end(), [](const auto* a, const auto* b) {
      if (std::get<0>(a->first) != std::get<0>(b->first)) return std::get<0>(a->first) < std::get<0>(b->first);
      if (a->second.Rows.size() != b->second.Rows.size()) return a->second.Rows.size() > b->second.Rows.size();
      return a->second.Order < b->second.Order;
    });
    Heading("Изменения");
    for (const auto* line : lines) {
      const auto [column, from, to] = line->first;
      const std::wstring text = ChangeText(FleetColumns()[column].Caption, FHistory.Value(from), FHistory.Value(to)) +
                                L" " + AtWorkstations(line->second.Rows.size()) + L" (последнее изменение " +
                                FleetTimeText(line->second.Latest, TTimePrecision::Day) + L")";
      Line("changed", text, nullptr, line->second.Rows);
    }
    FOut += "      </ul>\r\n";
  }

 private:
  void Heading(const char* heading) { FOut += std::string("      <h2>") + heading + "</h2>\r\n      <ul>\r\n"; }

  // A line that opens, without a script, to a link to each of its rows.
  void Line(const char* kind, const std::wstring& text, const char* repairHtml, const std::vector<size_t>& rows) {
    FOut += std::string("        <li class=\"") + kind + "\">\r\n          <details>\r\n            <summary>";
    AppendText(text, FOut);
    if (repairHtml) FOut += std::string("<span class=\"repair\">") + repairHtml + "</span>";
    FOut += "</summary>\r\n            <p class=\"where\">";
    for (size_t i = 0; i < rows.size(); ++i) {
      FOut += (i ? " <a href=\"#" : "<a href=\"#") + RowAnchor(rows[i]) + "\">";
      const size_t newest = FHistory.Workstations()[rows[i]].Newest;
      const std::wstring_view name = FFiles.ComputerName(newest);
      AppendText(name.empty() ? FFiles.File(newest).Path : std::wstring(name), FOut);
      FOut += "</a>";
    }
    FOut += "</p>\r\n          </details>\r\n        </li>\r\n";
  }

  const TFleetSurvey& FSurvey;
  const TFleetHistory& FHistory;
  const TFleetFiles& FFiles;
  std::string& FOut;
};

}  // namespace

void AppendFleetSummary(const TFleetSurvey& survey, const TFleetHistory& history, const TFleetFiles& files,
                        const std::vector<size_t>& sameColumns, std::string& out) {
  AppendLine(out, "    <div class=\"summary\">");
  TSummaryWriter writer(survey, history, files, out);
  writer.Counts();
  writer.Findings(TFleetMark::Problem, "Проблемы");
  writer.Changes();
  writer.Findings(TFleetMark::Outlier, "Отличия от большинства");
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

}  // namespace ornpm
