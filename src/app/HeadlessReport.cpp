#include "app/HeadlessReport.h"

#include <exception>

#include "service/CompositeInfo.h"
#include "service/ResultMessage.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

// Stands in for the person: messages go to the error stream, questions are answered No,
// and the shell is not asked to do anything.
class THeadlessInteraction final : public IUserInteraction {
 public:
  THeadlessInteraction() : FPrevious(SetUserInteraction(this)) {}
  ~THeadlessInteraction() override { SetUserInteraction(FPrevious); }
  THeadlessInteraction(const THeadlessInteraction&) = delete;
  THeadlessInteraction& operator=(const THeadlessInteraction&) = delete;

  TMsgResult ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) override {
    WriteToParentErrorStream(std::wstring(MessageCaption(kind)) + L": " + text);
    return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Ok;
  }
  ShellResult ExecuteShell(const ShellRequest&) override { return {}; }

 private:
  IUserInteraction* FPrevious;
};

void ReportError(const std::exception& error) {
  WriteToParentErrorStream(MessageCaption(TMsgKind::Error) + std::wstring(L": ") + ExceptionMessage(error));
}

}  // namespace

bool WriteHeadlessReport(const std::wstring& fileName) {
  THeadlessInteraction headless;
  const std::wstring extension = ExtractFileExt(fileName);
  const bool html = SameText(extension, L".html") || SameText(extension, L".htm");
  if (!html && !SameText(extension, L".xinf") && !SameText(extension, L".iinf")) {
    WriteToParentErrorStream(
        Format(L"Ошибка: неизвестный формат отчёта \"%s\" (ожидается .xinf, .iinf, .html или .htm)", {fileName}));
    return false;
  }
  TCompositeInfo info(PlugInMimeType, PlugInProgID);
  try {
    info.Load();
  } catch (const std::exception& error) {
    ReportError(error);  // the parts that could be gathered still go into the report
  }
  try {
    if (html)
      WriteFileBytes(fileName, WideToBytes(info.SaveAsHTML(L""), 1251));
    else
      info.SaveToFile(fileName);
    return true;
  } catch (const std::exception& error) {
    ReportError(error);
    return false;
  }
}

}  // namespace ornpm
