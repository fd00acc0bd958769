// The whole diagnosis: gathering, the report skeletons and the report files.

#include <gtest/gtest.h>

#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/CompositeInfo.h"
#include "service/IniFile.h"
#include "service/PlugInDomain.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Text.h"

namespace ornpm {
namespace {

using testing::ReadBinaryFile;
using testing::SetRegistryDword;
using testing::SetRegistryString;
using testing::WriteBinaryFile;

class CompositeInfoTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  testing::FakeUserInteraction FUser;
  TCompositeInfo FInfo{PlugInMimeType, PlugInProgID};
  std::wstring FDll;

  void SetUp() override {
    WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 ornpluginvlx.local\r\n");
    std::wstring folder = FSandbox.Root() + L"\\Program Files (x86)\\ORN\\";
    FDll = testing::InstallPlugIn(folder);
    WriteBinaryFile(folder + L"npORNPlugInVLX.ini", "[Log]\r\nFileName=C:\\Logs\\%LibName%\\a.log\r\n");
    SetRegistryDword(HKEY_CURRENT_USER, std::wstring(InternetSettingsKey) + L"\\Zones\\3", L"1001", 3);
  }
};

TEST_F(CompositeInfoTest, GathersAllThreePartsAndWritesTheXmlSkeleton) {
  ASSERT_TRUE(FInfo.Load());
  EXPECT_TRUE(FInfo.PlugInInfoLoaded() && FInfo.ActiveXSettingsLoaded() && FInfo.LogInfoLoaded());
  std::wstring xml = FInfo.SaveAsXML(L" ");
  const std::wstring head = L" <?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n <Info>\r\n";
  EXPECT_EQ(xml.substr(0, head.size()), head);
  EXPECT_EQ(xml.substr(head.size()), FInfo.PlugInInfo().SaveAsXML(L"   ") + FInfo.ActiveXSettings().SaveAsXML(L"   ") +
                                         FInfo.LogInfo().SaveAsXML(L"   ") + L" </Info>");
}

TEST_F(CompositeInfoTest, AnUnreadableHostsFileHidesNothingElse) {
  ::DeleteFileW(FSandbox.HostsFile().c_str());
  EXPECT_THROW(FInfo.Load(), EFOpenError);
  const TPlugInInfo& plugIn = FInfo.PlugInInfo();
  EXPECT_TRUE(FInfo.PlugInInfoLoaded() && FInfo.ActiveXSettingsLoaded() && FInfo.LogInfoLoaded());
  EXPECT_EQ(plugIn.PlugInPath(), FDll);
  EXPECT_FALSE(plugIn.Version().empty());
  ASSERT_NE(plugIn.LibCheckInfo(), nullptr);
  EXPECT_EQ(plugIn.LibCheckInfo()->Value(L"LoadLibrary"), L"OK");
  EXPECT_EQ(FInfo.ActiveXSettings().Zones()->size(), 1u);
  EXPECT_EQ(FInfo.LogInfo().LogFileName(), L"a.log");
  EXPECT_FALSE(plugIn.DomainInHosts());
  EXPECT_TRUE(plugIn.HostsError());

  WriteBinaryFile(FSandbox.HostsFile(), "127.0.0.1 ornpluginvlx.local\r\n");
  EXPECT_TRUE(FInfo.Load()) << "nothing of the failure is kept";
  EXPECT_TRUE(FInfo.PlugInInfo().DomainInHosts());
  EXPECT_FALSE(FInfo.PlugInInfo().HostsError());
}

TEST_F(CompositeInfoTest, XmlReportRoundTripThroughTheChainedReader) {
  ASSERT_TRUE(FInfo.Load());
  std::wstring xml = FInfo.SaveAsXML(L"");
  TCompositeInfo copy(L"", L"");
  // An element no part knows, self-closing inside Info, is ignored.
  std::wstring withStranger = xml;
  withStranger.insert(withStranger.find(L"  <IEProxySettings"), L"  <Unknown A=\"1\"/>\r\n");
  ASSERT_TRUE(copy.LoadFromXML(withStranger));
  EXPECT_EQ(copy.SaveAsXML(L""), xml);
  EXPECT_FALSE(copy.PlugInInfoLoaded()) << "a file load leaves the live-load flags alone";
  EXPECT_FALSE(copy.LoadFromXML(L"<Info><PlugIn></Info>")) << "mismatched end tag";
}

TEST_F(CompositeInfoTest, SaveToFileChoosesTheFormatByExtension) {
  ASSERT_TRUE(FInfo.Load());
  const std::wstring iniFile = FSandbox.Root() + L"\\report.IINF";
  WriteBinaryFile(iniFile, "[Stale]\r\nKey=1\r\n");
  FInfo.SaveToFile(iniFile);
  {
    TIniFile ini(iniFile);
    EXPECT_FALSE(ini.SectionExists(L"Stale")) << "an old report leaves nothing behind";
    EXPECT_EQ(ini.ReadSections().front(), L"PlugIn");
    TCompositeInfo copy(L"", L"");
    ASSERT_TRUE(copy.LoadFromIniFile(&ini));
    EXPECT_EQ(copy.SaveAsXML(L""), FInfo.SaveAsXML(L""));
  }
  const std::wstring xmlFile = FSandbox.Root() + L"\\report.Xinf";
  FInfo.SaveToFile(xmlFile);
  std::string bytes = ReadBinaryFile(xmlFile);
  EXPECT_EQ(bytes.substr(0, 5), "<?xml") << "no byte-order mark";
  EXPECT_EQ(bytes, WideToBytes(FInfo.SaveAsXML(L"")));
  const std::wstring textFile = FSandbox.Root() + L"\\report.txt";
  try {
    FInfo.SaveToFile(textFile);
    ADD_FAILURE() << "another extension is an error";
  } catch (const EFCreateError& error) {
    EXPECT_NE(error.Message().find(textFile), std::wstring::npos);
  }
  EXPECT_FALSE(FileExists(textFile));
}

TEST_F(CompositeInfoTest, XmlReportFileLargerThanOnePieceIsTheWholeTextConverted) {
  ASSERT_TRUE(FInfo.Load());
  // Far more text than goes to the file at once, with Cyrillic and escaped characters on
  // both sides of the pieces' boundaries.
  std::wstring processes;
  for (int p = 0; p < 4; ++p) {
    processes +=
        L"<Process PID=\"" + std::to_wstring(p) + L"\" Name=\"\u043f" + std::to_wstring(p) + L".exe\"><Modules>";
    for (int m = 0; m < 400; ++m)
      processes += L"<Module ID=\"" + std::to_wstring(m) +
                   L"\" FileName=\"C:\\\u041f\u0430\u043f\u043a\u0430\\a &amp; &lt;" + std::to_wstring(m) +
                   L"&gt;.dll\"/>";
    processes += L"</Modules></Process>";
  }
  std::wstring xml = FInfo.SaveAsXML(L"");
  xml.insert(xml.find(L"<Processes>") + 11, processes);
  ASSERT_TRUE(FInfo.LoadFromXML(xml));
  const std::wstring text = FInfo.SaveAsXML(L"");
  ASSERT_GT(text.size(), 100000u);
  const std::wstring file = FSandbox.Root() + L"\\large.xinf";
  FInfo.SaveToFile(file);
  EXPECT_EQ(ReadBinaryFile(file), WideToBytes(text));
}

TEST_F(CompositeInfoTest, LoadFromFileReadsEitherReportInPlaceOfWhatWasHeld) {
  ASSERT_TRUE(FInfo.Load());
  // A process as a report from another workstation brings it.
  std::wstring xml = FInfo.SaveAsXML(L"");
  xml.insert(xml.find(L"<Processes>") + 11,
             L"<Process PID=\"8\" Name=\"\u0431.exe\"><Modules><Module ID=\"65536\" FileName=\"C:\\a.dll\"/>"
             L"</Modules></Process>");
  ASSERT_TRUE(FInfo.LoadFromXML(xml));
  ASSERT_EQ(FInfo.PlugInInfo().ProcessCount(), 1);
  TCompositeInfo empty(L"", L"");
  const std::wstring emptyIni = FSandbox.Root() + L"\\empty.iinf";
  empty.SaveToFile(emptyIni);
  for (const wchar_t* name : {L"\\report.xinf", L"\\report.iinf"}) {
    const std::wstring file = FSandbox.Root() + name;
    FInfo.SaveToFile(file);
    TCompositeInfo copy(L"", L"");
    ASSERT_TRUE(copy.LoadFromFile(file)) << testing::Narrow(name);
    EXPECT_EQ(copy.SaveAsXML(L""), FInfo.SaveAsXML(L"")) << testing::Narrow(name);
    copy.LoadFromFile(emptyIni);
    EXPECT_EQ(copy.PlugInInfo().ProcessCount(), 0) << "the processes read before are gone";
  }
  const std::wstring textFile = FSandbox.Root() + L"\\report.txt";
  WriteBinaryFile(textFile, "<Info/>");
  EXPECT_FALSE(FInfo.LoadFromFile(textFile));
}

// Nothing of the data held before survives: a second report without the proxy and logging
// sections shows neither, and a gather here after a report, where the plug-in has no
// settings file, shows nothing of the report's log folder.
TEST_F(CompositeInfoTest, NothingHeldBeforeSurvivesAReportLoadOrAGather) {
  const std::wstring full =
      L"<Info><PlugIn Path=\"C:\\x.dll\" Version=\"1\"></PlugIn>"
      L"<IEProxySettings Enable=\"True\" Override=\"a;ornpluginvlx.local\"/>"
      L"<Logging Enabled=\"True\" FilePath=\"D:\\L\\\" FileName=\"x.log\" ActualPath=\"D:\\L\\\" "
      L"ExistingPath=\"D:\\\" PathAccess=\"True\"/></Info>";
  auto expectNothingOfIt = [&] {
    EXPECT_FALSE(FInfo.ActiveXSettings().ProxyEnable());
    EXPECT_EQ(FInfo.ActiveXSettings().ProxyOverride(), L"");
    EXPECT_FALSE(FInfo.ActiveXSettings().PlugInHostInProxyOverride());
    EXPECT_EQ(FInfo.LogInfo().ActualLogPath(), L"");
    EXPECT_EQ(FInfo.LogInfo().ExistingPath(), L"");
    EXPECT_FALSE(FInfo.LogInfo().PathAccess());
  };
  ASSERT_TRUE(FInfo.LoadFromXML(full));
  ASSERT_TRUE(FInfo.ActiveXSettings().PlugInHostInProxyOverride());
  ASSERT_EQ(FInfo.LogInfo().ActualLogPath(), L"D:\\L\\");
  FInfo.LoadFromXML(L"<Info><PlugIn Path=\"C:\\y.dll\" Version=\"2\"></PlugIn></Info>");
  expectNothingOfIt();

  ::DeleteFileW(ChangeFileExt(FDll, L".ini").c_str());
  ASSERT_TRUE(FInfo.LoadFromXML(full));
  FInfo.Load();  // no proxy settings here either
  EXPECT_FALSE(FInfo.LogInfo().FromReport());
  expectNothingOfIt();
}

TEST_F(CompositeInfoTest, ReportTextIsDecodedAndItsLinesJoinedWithCrLf) {
  const struct {
    const char* Name;
    std::string Bytes;
    std::wstring Text;
  } cases[] = {
      {"empty", "", L""},
      {"as the program writes it", "<A>\r\n</A>", L"<A>\r\n</A>\r\n"},
      {"line break at the end", "<A/>\r\n", L"<A/>\r\n"},
      {"LF and lone CR", "<A B=\"x\ny\">\r</A>\n", L"<A B=\"x\r\ny\">\r\n</A>\r\n"},
      {"ANSI code page", "<A B=\"\xC6\"/>", L"<A B=\"\u0416\"/>\r\n"},
      {"UTF-8 mark", "\xEF\xBB\xBF<A B=\"\xD0\x96\"/>", L"<A B=\"\u0416\"/>\r\n"},
      {"UTF-16 mark", std::string("\xFF\xFE<\0A\0/\0>\0\r\0\n\0", 14), L"<A/>\r\n"},
      {"UTF-16 big-endian mark", std::string("\xFE\xFF\0<\0A\0/\0>", 10), L"<A/>\r\n"},
  };
  const std::wstring file = FSandbox.Root() + L"\\text.xinf";
  for (const auto& c : cases) {
    WriteBinaryFile(file, c.Bytes);
    EXPECT_EQ(ReadReportText(file), c.Text) << c.Name;
  }
}

// A workstation without a Zones key writes no zone sections; its report still reads whole.
// One without the plug-in's section is not a report.
TEST_F(CompositeInfoTest, IniReportWithoutZonesReadsAndOneWithoutPlugInDoesNot) {
  const std::wstring file = FSandbox.Root() + L"\\partial.iinf";
  WriteBinaryFile(file,
                  "[PlugIn]\r\nPath=C:\\x.dll\r\n[IEProxySettings]\r\nEnable=1\r\n[Logging]\r\nEnabled=True\r\n"
                  "PathAccess=False\r\n");
  ASSERT_TRUE(FInfo.LoadFromFile(file));
  EXPECT_FALSE(FInfo.CutOff());
  EXPECT_EQ(FInfo.PlugInInfo().PlugInPath(), L"C:\\x.dll");
  EXPECT_FALSE(FInfo.ActiveXSettings().Zones().has_value());
  EXPECT_TRUE(FInfo.LogInfo().Enabled());
  const std::wstring again = FSandbox.Root() + L"\\again.iinf";
  FInfo.SaveToFile(again);
  TCompositeInfo copy(L"", L"");
  ASSERT_TRUE(copy.LoadFromFile(again));
  EXPECT_EQ(copy.SaveAsXML(L""), FInfo.SaveAsXML(L""));

  WriteBinaryFile(file, "[IEProxySettings]\r\nEnable=1\r\n[Logging]\r\nEnabled=True\r\n");
  EXPECT_FALSE(FInfo.LoadFromFile(file));
}

TEST_F(CompositeInfoTest, HtmlPageSkeletonAndNote) {
  std::wstring page = FInfo.SaveAsHTML(L" \t\r\n");
  EXPECT_EQ(page.find(L"<p>"), std::wstring::npos) << "a blank note gives no paragraph";
  const std::wstring head = L"<!DOCTYPE html>\r\n<html>\r\n  <head>\r\n    <meta charset=\"windows-1251\">\r\n";
  EXPECT_EQ(page.substr(0, head.size()), head);
  EXPECT_NE(
      page.find(L"      p {\r\n        color: red;\r\n      }\r\n    </style>\r\n  </head>\r\n  <body>\r\n  <table"),
      std::wstring::npos);
  const std::wstring tail = L"</table>\r\n  </body>\r\n</html>";
  EXPECT_EQ(page.substr(page.size() - tail.size()), tail);

  // The note is text, escaped like every value; its line breaks stay.
  std::wstring noted = FInfo.SaveAsHTML(L" Браузер <падает>\r\nпосле & входа ");
  EXPECT_NE(noted.find(L"  <body>\r\n    <p> Браузер &lt;падает&gt;\r\nпосле &amp; входа </p>\r\n  <table"),
            std::wstring::npos);
}

}  // namespace
}  // namespace ornpm

namespace ornpm {
namespace {

// Every key of an INI file, in file order, as "[section] key=value".
std::vector<std::wstring> IniKeys(const std::wstring& file) {
  TIniFile ini(file);
  std::vector<std::wstring> keys;
  for (const std::wstring& section : ini.ReadSections())
    for (const std::wstring& key : ini.ReadSection(section))
      keys.push_back(L"[" + section + L"] " + key + L"=" + ini.ReadString(section, key, L""));
  return keys;
}

// Reports through the other format and back lose nothing: XML to INI to XML gives the same
// XML, and INI to XML to INI the same keys and values.
TEST_F(CompositeInfoTest, RoundTripsThroughTheOtherFormatLoseNothing) {
  const std::wstring plugIn =
      L"<PlugIn Path=\"C:\\ORN &amp; Co\\np.dll\" Version=\"1.2\" AppName=\"application/x-other\" "
      L"ClassID=\"{1}\" DomainInHosts=\"True\">";
  const std::wstring logging =
      L"<Logging Enabled=\"True\" FilePath=\"%AppData%\\L &lt;1&gt;\\\" FileName=\"a &quot;b&quot;.log\" "
      L"ActualPath=\"C:\\L\\\" ExistingPath=\"C:\\\" PathAccess=\"False\"/>";
  // A proxy exception list and a module path longer than the profile functions read.
  std::wstring longList;
  for (int i = 0; longList.size() < 3000; ++i) longList += L"*.host" + std::to_wstring(i) + L".orn.example;";
  longList += PlugInDomain;
  const std::wstring longPath = L"C:\\" + std::wstring(2500, L'd') + L"\\m.dll";
  const std::wstring longValues = plugIn +
                                  L"<Processes><Process PID=\"1\" Name=\"a.exe\"><Modules><Module ID=\"1\" "
                                  L"FileName=\"" +
                                  longPath +
                                  L"\"/></Modules></Process></Processes></PlugIn>"
                                  L"<IEProxySettings Enable=\"True\" Override=\"" +
                                  longList + L"\"/>" + logging;
  const struct {
    const char* Name;
    std::wstring Body;
  } cases[] = {
      {"everything",
       plugIn +
           L"<LibraryCheck><Checking Name=\"LoadLibrary\" Result=\"OK\"/>"
           L"<Checking Name=\"DllInstall\" Result=\"Null\" Error=\"127\"/></LibraryCheck>"
           L"<Processes><Process PID=\"1234\" Name=\"host &lt;1&gt;.exe\"><Modules>"
           L"<Module ID=\"4294967295\" FileName=\"C:\\a.dll\"/><Module ID=\"65536\" FileName=\"C:\\b &amp; c.dll\"/>"
           L"</Modules></Process><Process PID=\"4000000000\" Name=\"no modules.exe\"/></Processes>"
           L"<Hosts><Entry Line=\"127.0.0.1&#9;ornpluginvlx.local\"/><Entry Line=\"# &quot;old&quot;\"/></Hosts>"
           L"</PlugIn><IEProxySettings Enable=\"True\" Override=\"&lt;local&gt;;*.orn.example\"/>"
           L"<ActiveXSettings><InternetZones><Zone ID=\"0\" Caption=\"Мой компьютер\">"
           L"<ZoneParam ID=\"1001\" Caption=\"" +
           TextToXML(ZoneParamCaptions[0]) +
           L"\" Value=\"3\"/></Zone><Zone ID=\"1\" Caption=\"Пустая &amp; зона\"></Zone>"
           L"</InternetZones></ActiveXSettings>" +
           logging},
      {"no plug-in, no zones, no hosts file",
       L"<PlugIn Path=\"\" Version=\"\" DomainInHosts=\"False\"><Processes></Processes></PlugIn>"
       L"<IEProxySettings Enable=\"False\" Override=\"\"/>"
       L"<Logging Enabled=\"False\" FilePath=\"\" FileName=\"\" ActualPath=\"\" PathAccess=\"False\"/>"},
      {"a readable hosts file without the domain",
       plugIn + L"<Processes></Processes><Hosts></Hosts></PlugIn>" + logging},
      {"values longer than the profile functions read", longValues},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCompositeInfo first(PlugInMimeType, PlugInProgID);
    ASSERT_TRUE(first.LoadFromXML(L"<Info>" + c.Body + L"</Info>"));
    const std::wstring xml = first.SaveAsXML(L"");
    const std::wstring ini = FSandbox.Root() + L"\\round.iinf";
    first.SaveToFile(ini);
    auto throughIni = TCompositeInfo::ReadReportFile(ini);
    EXPECT_EQ(throughIni->SaveAsXML(L""), xml);

    const std::wstring xmlFile = FSandbox.Root() + L"\\round.xinf";
    throughIni->SaveToFile(xmlFile);
    const std::wstring again = FSandbox.Root() + L"\\again.iinf";
    TCompositeInfo::ReadReportFile(xmlFile)->SaveToFile(again);
    EXPECT_EQ(IniKeys(again), IniKeys(ini));
  }
}

}  // namespace
}  // namespace ornpm

namespace ornpm {
namespace {

// Earlier versions wrote the proxy list and the check results unescaped and large module
// ids as negative numbers; such reports still read as they were meant.
TEST_F(CompositeInfoTest, ReportsOfEarlierVersionsStillRead) {
  const std::wstring file = FSandbox.Root() + L"\\earlier.xinf";
  WriteBinaryFile(file,
                  "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Info>\r\n"
                  "  <PlugIn Path=\"C:\\np.dll\" Version=\"1\" DomainInHosts=\"True\">\r\n"
                  "    <LibraryCheck>\r\n      <Checking Name=\"DllInstall\" Result=\"Null\" Error=\"127\"/>\r\n"
                  "    </LibraryCheck>\r\n    <Processes>\r\n      <Process PID=\"5\" Name=\"a.exe\">\r\n"
                  "        <Modules>\r\n          <Module ID=\"-1073741824\" FileName=\"C:\\np.dll\"/>\r\n"
                  "        </Modules>\r\n      </Process>\r\n    </Processes>\r\n  </PlugIn>\r\n"
                  "  <IEProxySettings Enable=\"True\" Override=\"<local>;*.orn.example\"/>\r\n</Info>");
  auto info = TCompositeInfo::ReadReportFile(file);
  EXPECT_EQ(info->ActiveXSettings().ProxyOverride(), L"<local>;*.orn.example");
  EXPECT_EQ(info->PlugInInfo().LibCheckInfo()->Value(L"DllInstall|Error"), L"127");
  EXPECT_EQ(info->PlugInInfo().Processes()[0]->Modules()[0].ID(), 3221225472u);
  EXPECT_NE(info->SaveAsXML(L"").find(L"Override=\"&lt;local&gt;;*.orn.example\""), std::wstring::npos);
}

}  // namespace
}  // namespace ornpm
