#include "service/HeadlessInteraction.h"

#include "service/RepairOutcome.h"

namespace ornpm {

TMsgResult THeadlessInteraction::ShowMessage(TMsgKind kind, const std::wstring& text, TMsgButtons buttons) {
  WriteToParentErrorStream(std::wstring(MessageCaption(kind)) + L": " + text);
  return buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Ok;
}

}  // namespace ornpm
