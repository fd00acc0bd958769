// What the fleet page marks: problems wherever they are, values unlike most workstations',
// versions older than the newest, and the columns that are the same everywhere.

#include "fleet/FleetSurvey.h"

#include <gtest/gtest.h>

#include <map>

namespace ornpm {
namespace {

size_t Column(const std::wstring& caption) {
  const auto& columns = FleetColumns();
  for (size_t c = 0; c < columns.size(); ++c)
    if (columns[c].Caption == caption) return c;
  ADD_FAILURE() << "no column";
  return 0;
}

const std::wstring Version = L"Версия", Hosts = L"Домен в Hosts", Folder = L"Путь к файлам журнала",
                   Processes = L"Процессов с плагином", Error = L"Ошибка";
const std::wstring Restricted = L"Ограниченные узлы: Запускать элементы ActiveX и подключаемые модули (1200)";

struct Cell {
  std::wstring Text;
  bool Problem = false;
};

TFleetRow Row(const std::map<std::wstring, Cell>& cells) {
  TFleetRow row(FleetColumns().size());
  for (const auto& [caption, cell] : cells) row[Column(caption)] = {cell.Text, cell.Problem};
  return row;
}

// The marks of one column down the rows: '.' none, 'P' problem, 'O' outlier.
std::string Marks(const TFleetSurvey& survey, const std::wstring& caption) {
  std::string marks;
  for (size_t r = 0; r < survey.RowCount(); ++r) {
    const TFleetMark mark = survey.Mark(r, Column(caption));
    marks += mark == TFleetMark::Problem ? 'P' : mark == TFleetMark::Outlier ? 'O' : '.';
  }
  return marks;
}

TEST(FleetSurvey, MarksProblemsEverywhereAndOnlyRealDifferences) {
  const struct {
    std::wstring Caption;
    std::vector<Cell> Cells;  // one per row; the fourth row is a file that could not be read
    std::string Marks;
    bool Same;
    std::wstring Reference;
  } cases[] = {
      // Windows' own default shared by all is no difference, whatever it is.
      {Restricted, {{L"Отключено"}, {L"Отключено"}, {L"Отключено"}, {}}, "....", true, L"Отключено"},
      // A problem every workstation has is marked on every row and stays in the table.
      {Hosts, {{L"Нет", true}, {L"Нет", true}, {L"Нет", true}, {}}, "PPP.", false, L"Нет"},
      {Hosts, {{L"Да"}, {L"Нет", true}, {L"Да"}, {}}, ".P..", false, L"Да"},
      {Folder, {{L"D:\\"}, {L"C:\\"}, {L"C:\\"}, {}}, "O...", false, L"C:\\"},
      // Equally frequent: the first in the table is what the others are measured by.
      {Folder, {{L"A"}, {L"B"}, {}, {}}, ".OO.", false, L"A"},
      // The newest version, even where few have it; none at all is told elsewhere; a
      // version that is no number is not the newest.
      {Version, {{L"9.8.1.0"}, {L"10.0.2.123"}, {L"9.8.1.0"}, {}}, "O.O.", false, L"10.0.2.123"},
      {Version, {{L"10.0.2"}, {L"<b>"}, {L""}, {}}, ".O..", false, L"10.0.2"},
      {Version, {{L"10.0.10"}, {L"10.0.9"}, {L"10.0.10"}, {}}, ".O..", false, L"10.0.10"},
      // Counts differ by nature: never marked.
      {Processes, {{L"0"}, {L"2"}, {L"0"}, {}}, "....", false, L"0"},
      {Error, {{}, {}, {}, {L"повреждён", true}}, "...P", false, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Marks << " " << c.Cells[1].Text.size());
    TFleetSurvey survey;
    for (size_t r = 0; r < c.Cells.size(); ++r) survey.Add(Row({{c.Caption, c.Cells[r]}}), r != 3);
    survey.Finish();
    EXPECT_EQ(Marks(survey, c.Caption), c.Marks);
    EXPECT_EQ(survey.Same(Column(c.Caption)), c.Same);
    EXPECT_EQ(survey.Reference(Column(c.Caption)), c.Reference);
  }
}

TEST(FleetSurvey, FindingsCountTheMarkedRowsAndNameTheirValues) {
  TFleetSurvey survey;
  const std::vector<std::map<std::wstring, Cell>> rows = {
      {{Version, {L"10.0"}}, {Hosts, {L"Да"}}},        {{Version, {L"9.0"}}, {Hosts, {L"Нет", true}}},
      {{Version, {L"8.0"}}, {Hosts, {L"Нет", true}}},  {{Version, {L"9.0"}}, {Hosts, {L"Да"}}},
      {{Version, {L"10.0"}}, {Hosts, {L"Нет", true}}},
  };
  for (const auto& row : rows) survey.Add(Row(row), true);
  survey.Finish();
  const auto& findings = survey.Findings();
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].Column, Column(Version));
  EXPECT_EQ(findings[0].Kind, TFleetMark::Outlier);
  EXPECT_EQ(findings[0].Marked, 3u);
  EXPECT_EQ(findings[0].FirstRow, 1u);
  EXPECT_EQ(findings[0].Values, (std::vector<std::wstring>{L"9.0", L"8.0"}));
  EXPECT_EQ(survey.MostCommon(Column(Version)), L"10.0");
  EXPECT_EQ(findings[1].Column, Column(Hosts));
  EXPECT_EQ(findings[1].Kind, TFleetMark::Problem);
  EXPECT_EQ(findings[1].Marked, 3u);
  EXPECT_EQ(findings[1].Values, (std::vector<std::wstring>{L"Нет"}));
  EXPECT_EQ(survey.MostCommon(Column(Hosts)), L"Нет");
}

}  // namespace
}  // namespace ornpm
