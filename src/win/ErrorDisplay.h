#pragma once
// The application's general error display: a message box of the error kind with the error's
// own text. The window that raised the error stays open; nothing shown here is passed on.

#include <exception>
#include <functional>

namespace ornpm {

void ShowApplicationError(const std::exception& error) noexcept;
// The same for the exception being handled, whatever its type; for use in catch (...).
void ShowCurrentError() noexcept;
// Runs the call inside the error display: what it throws is shown, never passed on.
// False when it threw.
bool RunGuarded(const std::function<void()>& call) noexcept;

}  // namespace ornpm
