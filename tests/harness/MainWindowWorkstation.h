#pragma once
// A sandboxed workstation on which the main window can open: the plug-in installed, a hosts
// file and proxy exceptions, no settings folder yet; the person at the screen played by the
// scripted user interaction.

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/Registry.h"

namespace ornpm::testing {

class MainWindowWorkstation : public ::testing::Test {
 protected:
  WorkstationSandbox FSandbox;
  FakeUserInteraction FUser;
  std::wstring FDll;  // the installed plug-in

  void SetUp() override {
    WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 localhost\r\n");
    FDll = InstallPlugIn(FSandbox.Root() + L"\\Program Files (x86)\\ORN");
    SetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride", L"<local>");
  }
  void TearDown() override {
    // A closed main window ends the message loop; no loop runs here, so take its quit back.
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
};

}  // namespace ornpm::testing
