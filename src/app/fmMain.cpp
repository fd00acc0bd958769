#include "app/fmMain.h"

#include "win/Environment.h"
#include "win/UserInteraction.h"

namespace ornpm {

namespace {

constexpr wchar_t MainWindowClass[] = L"TMainForm";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunMainWindow(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, L"MAINICON");
  windowClass.hIconSm =
      static_cast<HICON>(::LoadImageW(instance, L"MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = MainWindowClass;
  if (!::RegisterClassExW(&windowClass)) return 1;

  HWND window = ::CreateWindowExW(0, MainWindowClass, ApplicationTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

bool RunAsAdmin(const std::wstring& switchText) {
  ShellResult result =
      UserInteraction().ExecuteShell({L"runas", ModuleFileName(), switchText, SW_SHOWNORMAL, /*WantProcess=*/true});
  if (result.Succeeded && result.Process) ::WaitForSingleObject(result.Process.Get(), INFINITE);
  return result.Succeeded;
}

}  // namespace ornpm
