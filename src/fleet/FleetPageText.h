#pragma once
// Pieces of the fleet page shared by its summary and its table: escaped text, values in a
// sentence, and the links between them.

#include <string>
#include <string_view>
#include <vector>

namespace ornpm {

class TFleetFiles;
class TFleetHistory;
class TFleetSurvey;

void AppendLine(std::string& out, std::string_view line);
// Escaped as the report page escapes; the lines of a text are kept apart by line-break
// elements.
void AppendText(std::wstring_view text, std::string& out);
// A value inside a sentence: "да" and "нет" as words, a cell's lines in one line, a long
// value cut short.
std::wstring InSentence(const std::wstring& value);
// "Домен в Hosts: да → нет"
std::wstring ChangeText(const std::wstring& column, const std::wstring& from, const std::wstring& to);
// The row of a workstation, numbered from 0.
std::string RowAnchor(size_t row);

// What a person reads first: how many reports of which period, what is wrong where and
// what repairs it, what changed, what differs, and what is the same everywhere. Each line
// opens to every workstation it counts.
void AppendFleetSummary(const TFleetSurvey& survey, const TFleetHistory& history, const TFleetFiles& files,
                        const std::vector<size_t>& sameColumns, std::string& out);

}  // namespace ornpm
