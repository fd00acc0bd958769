#include "fleet/FleetTableFormat.h"

#include <windows.h>

#include "service/SimpleXMLParser.h"
#include "win/Environment.h"
#include "win/Text.h"

namespace ornpm {

namespace {

// UTF-8 with a byte-order mark, ";" between fields and CR LF after each line: what a
// spreadsheet with Russian settings opens as columns. Fields are quoted as RFC 4180 says.
class TCsvFormat final : public TFleetTableFormat {
 public:
  void Head(const std::vector<std::wstring>& columns, std::string& out) const override {
    out += "\xEF\xBB\xBF";
    Line(
        columns.size(), [&](size_t i) -> const std::wstring& { return columns[i]; }, out);
  }
  void Row(const TFleetRow& row, std::string& out) const override {
    Line(
        row.size(), [&](size_t i) -> const std::wstring& { return row[i].Text; }, out);
  }
  void Tail(std::string&) const override {}

 private:
  template <typename Field>
  static void Line(size_t count, Field field, std::string& out) {
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) out += ';';
      AppendField(field(i), out);
    }
    out += "\r\n";
  }

  static void AppendField(const std::wstring& text, std::string& out) {
    // A spreadsheet would run a value that begins like a formula; report values are
    // foreign, so such a value is kept as text.
    const bool formula = !text.empty() && std::wstring_view(L"=+-@\t\r").find(text[0]) != std::wstring_view::npos;
    const bool quoted = formula || text.find_first_of(L";\"\r\n") != std::wstring::npos;
    if (quoted) out += '"';
    if (formula) out += '\'';
    for (size_t start = 0;;) {
      size_t quote = text.find(L'"', start);
      AppendBytes(out, std::wstring_view(text).substr(start, quote - start), CP_UTF8);
      if (quote == std::wstring::npos) break;
      out += "\"\"";
      start = quote + 1;
    }
    if (quoted) out += '"';
  }
};

constexpr const char* PageHead[] = {
    "<!DOCTYPE html>",
    "<html>",
    "  <head>",
    "    <meta charset=\"utf-8\">",
    "    <title>ORN PlugIn: сводная таблица</title>",
    "    <style>",
    "      table, th, td {",
    "        border: 1px solid black;",
    "        border-collapse: collapse;",
    "      }",
    "      th, td {",
    "        padding: 5px;",
    "        text-align: left;",
    "        vertical-align: top;",
    "      }",
    "      caption {",
    "        padding: 10px 5px 5px;",
    "        font-weight: bold;",
    "        font-style: italic;",
    "      }",
    // The header row stays in view while the rows scroll under it.
    "      thead th {",
    "        position: sticky;",
    "        top: 0;",
    "        min-width: 11em;",
    "        vertical-align: bottom;",
    "        background: #e8e8e8;",
    "        box-shadow: inset 0 -1px 0 black;",
    "      }",
    "      td.problem {",
    "        background: #ffd6d6;",
    "        color: #a00000;",
    "      }",
    "    </style>",
    "  </head>",
    "  <body>",
    "    <table>",
    "      <caption>Сводная таблица отчётов</caption>",
};

// One page in the style of the report page, its text in UTF-8; every value escaped.
class THtmlFormat final : public TFleetTableFormat {
 public:
  void Head(const std::vector<std::wstring>& columns, std::string& out) const override {
    for (const char* line : PageHead) out.append(line).append("\r\n");
    out += "      <thead>\r\n        <tr>\r\n";
    for (const std::wstring& column : columns) {
      out += "          <th>";
      AppendText(column, out);
      out += "</th>\r\n";
    }
    out += "        </tr>\r\n      </thead>\r\n      <tbody>\r\n";
  }
  void Row(const TFleetRow& row, std::string& out) const override {
    out += "        <tr>\r\n";
    for (const TFleetCell& cell : row) {
      out += cell.Problem ? "          <td class=\"problem\">" : "          <td>";
      AppendText(cell.Text, out);
      out += "</td>\r\n";
    }
    out += "        </tr>\r\n";
  }
  void Tail(std::string& out) const override { out += "      </tbody>\r\n    </table>\r\n  </body>\r\n</html>\r\n"; }

 private:
  // Escaped as the report page escapes; the lines of a cell are kept apart by line-break
  // elements.
  static void AppendText(std::wstring_view text, std::string& out) {
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
};

}  // namespace

std::unique_ptr<TFleetTableFormat> FleetTableFormatFor(const std::wstring& fileName) {
  const std::wstring extension = ExtractFileExt(fileName);
  if (SameText(extension, L".csv")) return std::make_unique<TCsvFormat>();
  if (SameText(extension, L".html")) return std::make_unique<THtmlFormat>();
  return nullptr;
}

}  // namespace ornpm
