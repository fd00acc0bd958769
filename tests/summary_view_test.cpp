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

// A gathering that finds no plug-in after one that found it: the rows that describe the
// plug-in are emptied and the patterns are the defaults; the hosts and proxy rows have no
// answer, as at start.
TEST_F(SummaryViewTest, AGatheringWithoutThePlugInLeavesNoRowsOfTheOneBefore) {
  WriteBinaryFile(FFolder + L"np.ini", "[Log]\r\nFileName=" + testing::Narrow(FFolder) + "%LibName%\\a.log\r\n");
  FInfo.Load();
  FView.Load(&FInfo);
  ASSERT_TRUE(FInfo.PlugInInfo().LibCheckInfo());
  ASSERT_EQ(WindowText(FView.lblLogFilePath), L"Путь к файлам: " + FFolder);
  ASSERT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: Есть");

  ASSERT_EQ(::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"MIME\\Database\\Content Type\\application/x-ORN-plugin-VLX"),
            ERROR_SUCCESS);
  FInfo.Clear();
  EXPECT_FALSE(FInfo.Load());
  FView.Load(&FInfo);
  EXPECT_EQ(WindowText(FView.lblPlugInPath), L"Плагин не зарегистрирован");
  EXPECT_EQ(WindowText(FView.lblVersion), L"");
  EXPECT_EQ(WindowText(FView.lblLogFilePath), std::wstring(L"Путь к файлам: ") + DefaultLogFilePath);
  EXPECT_EQ(WindowText(FView.lblLogFileName), std::wstring(L"Имя файла: ") + DefaultLogFileName);
  EXPECT_EQ(WindowText(FView.lblActualLogPath), L"Фактический путь: ");
  EXPECT_FALSE(IsChecked(FView.chbEnabled));
  EXPECT_FALSE(Enabled(FView.btnOpenLogDir));
  EXPECT_EQ(WindowText(FView.lblDomainInHosts), L"Запись в Hosts: ") << "no answer without the plug-in";
  EXPECT_EQ(WindowText(FView.lblDomainInProxyOverride), L"Домен плагина в исключениях прокси-сервера: ");
  EXPECT_EQ(FInfo.PlugInInfo().LibCheckInfo(), nullptr) << "no check ran";
  EXPECT_EQ(FInfo.PlugInInfo().ClassID(), L"");
}

TEST_F(SummaryViewTest, AReportsLoggingSettingsAreShownButNeverWritten) {
  FInfo.Load();
  // A report naming a folder of this workstation as the plug-in's.
  const std::wstring report = FSandbox.Root() + L"\\r.iinf";
  WriteBinaryFile(report, "[PlugIn]\r\nPath=" + testing::Narrow(FFolder) +
                              "np.dll\r\n[IEProxySettings]\r\n[ActiveXSettings\\InternetZones]\r\n0=x\r\n"
                              "[Logging]\r\nEnabled=True\r\nFilePath=C:\\L\\\r\nFileName=keep.log\r\n");
  WriteBinaryFile(FFolder + L"np.ini", "[Log]\r\nFileName=C:\\here\\a.log\r\n");
  const std::string before = testing::ReadBinaryFile(FFolder + L"np.ini");
  ASSERT_TRUE(FInfo.LoadFromFile(report));
  FView.Load(&FInfo);
  EXPECT_TRUE(IsChecked(FView.chbEnabled));
  EXPECT_EQ(WindowText(FView.lblLogFileName), L"Имя файла: keep.log");
  EXPECT_FALSE(Enabled(FView.chbEnabled));
  EXPECT_FALSE(Enabled(FView.btnChangeLogFile));

  // As if the controls could be used.
  SetChecked(FView.chbEnabled, false);
  Click(TSummaryInfoFrame::idEnabled, FView.chbEnabled);
  Click(TSummaryInfoFrame::idChangeLogFile, FView.btnChangeLogFile);
  EXPECT_TRUE(FInfo.LogInfo().Enabled());
  EXPECT_EQ(testing::ReadBinaryFile(FFolder + L"np.ini"), before);
  EXPECT_FALSE(FileExists(FFolder + PlugInHostName + L".ini"));
  EXPECT_TRUE(FUser.Messages.empty());
}

}  // namespace
}  // namespace ornpm
