// The summary page: what it shows for a composite and what its controls change.

#include <gtest/gtest.h>

#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/CompositeInfo.h"
#include "service/IniFile.h"
#include "views/frSummary.h"
#include "win/Environment.h"
#include "win/Window.h"

namespace ornpm {
namespace {

using testing::WriteBinaryFile;

bool Enabled(HWND control) {
  return ::IsWindowEnabled(control) != FALSE;
}

class SummaryViewTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  TCompositeInfo FInfo{PlugInMimeType, PlugInProgID};
  HWND FParent = nullptr;
  TSummaryInfoFrame FView;
  std::wstring FFolder;

  void SetUp() override {
    FParent =
        ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 300, nullptr, nullptr, nullptr, nullptr);
    FView.Create(FParent);
    WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 ornpluginvlx.local\r\n");
    FFolder = FSandbox.Root() + L"\\ORN\\";
    testing::InstallPlugIn(FFolder, L"np.dll");
  }
  void TearDown() override { ::DestroyWindow(FParent); }
  void Click(int id, HWND control) {
    ::SendMessageW(FView.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  }
};

TEST_F(SummaryViewTest, NotRegisteredDisablesTheActionsAndRegisteredRestoresThem) {
  FView.Load(&FInfo);  // nothing gathered: no plug-in path
  EXPECT_EQ(WindowText(FView.lblPlugInPath), L"Плагин не зарегистрирован");
  EXPECT_EQ(WindowText(FView.lblVersion), L"");
  EXPECT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: ");
  EXPECT_EQ(WindowText(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: ");
  for (HWND control : {FView.btnOpenPlugInDir, FView.btnChangeLogFile, FView.chbEnabled, FView.btnOpenLogDir})
    EXPECT_FALSE(Enabled(control));

  WriteBinaryFile(FFolder + L"np.ini", "[Log]\r\nFileName=" + testing::Narrow(FFolder) + "%LibName%\\a.log\r\n");
  const std::string iniBefore = testing::ReadBinaryFile(FFolder + L"np.ini");
  FInfo.Load();
  FView.Load(&FInfo);
  EXPECT_EQ(WindowText(FView.lblPlugInPath), L"Путь к плагину: " + FFolder + L"np.dll");
  EXPECT_EQ(WindowText(FView.lblVersion), L"Версия: 10.0.2.123");
  EXPECT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: Есть");
  EXPECT_EQ(WindowText(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: Нет");
  EXPECT_TRUE(Enabled(FView.chbEnabled)) << "re-enabled after the unregistered branch";
  EXPECT_TRUE(IsChecked(FView.chbEnabled));
  EXPECT_TRUE(Enabled(FView.btnChangeLogFile));
  EXPECT_TRUE(Enabled(FView.btnOpenPlugInDir));
  EXPECT_EQ(WindowText(FView.lblActualLogPath), L"Фактический путь: " + FFolder);
  EXPECT_TRUE(Enabled(FView.btnOpenLogDir));
  EXPECT_EQ(testing::ReadBinaryFile(FFolder + L"np.ini"), iniBefore) << "showing writes nothing";
  EXPECT_TRUE(FUser.Messages.empty());

  Click(TSummaryInfoFrame::idOpenPlugInDir, FView.btnOpenPlugInDir);
  Click(TSummaryInfoFrame::idOpenLogDir, FView.btnOpenLogDir);
  ASSERT_EQ(FUser.ShellRequests.size(), 2u);
  EXPECT_EQ(FUser.ShellRequests[0].File, FSandbox.Root() + L"\\ORN");
  EXPECT_EQ(FUser.ShellRequests[1].File, FFolder);
}

TEST_F(SummaryViewTest, TickingWithAnEmptyFolderPatternFillsTheDefaultsAndSaves) {
  FInfo.Load();
  // As a report file can leave it: logging off, no folder pattern.
  const std::wstring report = FSandbox.Root() + L"\\r.iinf";
  WriteBinaryFile(report, "[PlugIn]\r\nPath=" + testing::Narrow(FFolder) +
                              "np.dll\r\n[IEProxySettings]\r\n[ActiveXSettings\\InternetZones]\r\n0=x\r\n"
                              "[Logging]\r\nEnabled=False\r\nFilePath=\r\nFileName=keep.log\r\n");
  FInfo.Clear();
  TIniFile ini(report);
  ASSERT_TRUE(FInfo.LoadFromIniFile(&ini));
  FView.Load(&FInfo);
  EXPECT_FALSE(Enabled(FView.btnChangeLogFile));

  SetChecked(FView.chbEnabled, true);
  Click(TSummaryInfoFrame::idEnabled, FView.chbEnabled);
  EXPECT_TRUE(Enabled(FView.btnChangeLogFile));
  EXPECT_EQ(WindowText(FView.lblLogFilePath), std::wstring(L"Путь к файлам: ") + DefaultLogFilePath);
  EXPECT_EQ(WindowText(FView.lblLogFileName), L"Имя файла: keep.log");
  ASSERT_FALSE(FUser.Messages.empty());
  EXPECT_EQ(FUser.Messages[0].Text, L"Выполнено.");
  EXPECT_EQ(TIniFile(FFolder + L"np.ini").ReadString(L"Log", L"FileName", L""),
            std::wstring(DefaultLogFilePath) + L"%LibName%\\keep.log");

  SetChecked(FView.chbEnabled, false);
  Click(TSummaryInfoFrame::idEnabled, FView.chbEnabled);
  EXPECT_FALSE(Enabled(FView.btnChangeLogFile));
  EXPECT_EQ(TIniFile(FFolder + L"np.ini").ReadString(L"Log", L"_FileName", L""),
            std::wstring(DefaultLogFilePath) + L"%LibName%\\keep.log");
}

}  // namespace
}  // namespace ornpm
