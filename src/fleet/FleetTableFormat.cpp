#include "fleet/FleetTableFormat.h"

#include <windows.h>

#include "win/Environment.h"
#include "win/Text.h"
#include "win/TextEncoding.h"

namespace ornpm {

namespace {

// UTF-8 with a byte-order mark, ";" between fields and CR LF after each line: what a
// spreadsheet with Russian settings opens as columns. Fields are quoted as RFC 4180 says.
class TCsvFormat final : public TFleetTableFormat {
 public:
  void Begin(TFleetOutput& out) override {
    const std::vector<TFleetColumn>& columns = FleetColumns();
    out.Bytes() += ByteOrderMark(TEncoding::Utf8);
    Line(
        columns.size(), [&](size_t i) -> const std::wstring& { return columns[i].Caption; }, out.Bytes());
  }
  void Row(const TFleetFiles&, size_t, const TFleetRow& row, bool, TFleetOutput& out) override {
    Line(
        row.size(), [&](size_t i) -> const std::wstring& { return row[i].Text; }, out.Bytes());
    out.Spill();
  }
  void End(const TFleetFiles&, TFleetOutput&) override {}

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

}  // namespace

void TFleetOutput::Spill(bool all) {
  constexpr size_t Chunk = 256 * 1024;
  if (FBytes.empty() || (!all && FBytes.size() < Chunk)) return;
  FWrite(FBytes);
  FBytes.clear();
}

std::unique_ptr<TFleetTableFormat> FleetTableFormatFor(const std::wstring& fileName) {
  const std::wstring extension = ExtractFileExt(fileName);
  if (SameText(extension, L".csv")) return std::make_unique<TCsvFormat>();
  if (SameText(extension, L".html")) return MakeFleetPage();
  return nullptr;
}

}  // namespace ornpm
