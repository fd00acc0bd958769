#include "win/ErrorDisplay.h"

#include "win/Exceptions.h"
#include "win/UserInteraction.h"

namespace ornpm {

void ShowApplicationError(const std::exception& error) noexcept {
  try {
    ShowMessage(TMsgKind::Error, ExceptionMessage(error));
  } catch (...) {
    // Nothing more can be shown; the message loop must go on.
  }
}

void ShowCurrentError() noexcept {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowApplicationError(error);
  } catch (...) {
    try {
      ShowMessage(TMsgKind::Error, L"Непредвиденная ошибка");
    } catch (...) {
    }
  }
}

bool RunGuarded(const std::function<void()>& call) noexcept {
  try {
    call();
    return true;
  } catch (...) {
    ShowCurrentError();
    return false;
  }
}

}  // namespace ornpm
