// The plug-in's sections of the XML, INI and HTML reports, written and read back.

#include <gtest/gtest.h>

#include "harness/Sandbox.h"
#include "service/IniFile.h"
#include "service/PlugInInfo.h"

namespace ornpm {
namespace {

using testing::WriteBinaryFile;

std::wstring Lines(std::initializer_list<std::wstring> lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return text;
}

// A report as another workstation would have saved it, with values that need escaping.
const char* const PopulatedIni =
    "[PlugIn]\r\n"
    "Path=C:\\Program Files (x86)\\ORN & Co\\npORNPlugInVLX.dll\r\n"
    "Version=10.0.2.123\r\n"
    "AppName=application/x-ORN-plugin-VLX\r\n"
    "ClassID={11111111-2222-3333-4444-555555555555}\r\n"
    "DomainInHosts=1\r\n"
    "[PlugIn\\LibraryCheck]\r\n"
    "LoadLibrary=OK\r\n"
    "DllGetClassObject=OK\r\n"
    "DllInstall=Null\r\n"
    "DllInstall|Error=127\r\n"
    "[PlugIn\\Processes]\r\n"
    "1234=ornPluginHostVLX.exe\r\n"
    "77=iexplore <x>.exe\r\n"
    "[PlugIn\\Process\\1234]\r\n"
    "4194304=C:\\Program Files (x86)\\ORN & Co\\npORNPlugInVLX.dll\r\n"
    "2088763392=C:\\windows\\system32\\KERNEL32.DLL\r\n"
    "[PlugIn\\Hosts]\r\n"
    "Count=2\r\n"
    "Line1=127.0.0.1\tornpluginvlx.local\r\n"
    "Line2=# 10.1.1.1 ORNPLUGINVLX.LOCAL <there>\r\n";

class PlugInReportTest : public ::testing::Test {
 protected:
  testing::WorkstationSandbox FSandbox;
  TPlugInInfo FInfo{L"application/x-ORN-plugin-VLX", L"ORNPlugin.ORNControlVLX"};

  void SetUp() override {
    WriteBinaryFile(FSandbox.HostsFile(),
                    "127.0.0.1 localhost\r\n"
                    "  127.0.0.1\tornpluginvlx.local  \r\n"
                    "# 127.0.0.1 ORNPLUGINVLX.LOCAL <old>\n"
                    "10.0.0.1 other.local");
  }
  void LoadFromIni(const std::string& content) {
    std::wstring file = FSandbox.Root() + L"\\report.iinf";
    WriteBinaryFile(file, content);
    TIniFile ini(file);
    ASSERT_TRUE(FInfo.LoadFromIniFile(&ini));
  }
  bool LoadFromXML(TPlugInInfo& info, const std::wstring& xml) {
    info.SetFromReport(true);  // as the composite marks its parts for a report
    TSimpleXMLParser parser;
    info.SetXMLParser(&parser);
    bool result = parser.Parse(xml);
    info.SetXMLParser(nullptr);
    return result;
  }
};

const std::wstring PopulatedXML = Lines({
    L"  <PlugIn Path=\"C:\\Program Files (x86)\\ORN &amp; Co\\npORNPlugInVLX.dll\" Version=\"10.0.2.123\" "
    L"AppName=\"application/x-ORN-plugin-VLX\" ClassID=\"{11111111-2222-3333-4444-555555555555}\" "
    L"DomainInHosts=\"True\">",
    L"    <LibraryCheck>",
    L"      <Checking Name=\"LoadLibrary\" Result=\"OK\"/>",
    L"      <Checking Name=\"DllGetClassObject\" Result=\"OK\"/>",
    L"      <Checking Name=\"DllInstall\" Result=\"Null\" Error=\"127\"/>",
    L"    </LibraryCheck>",
    L"    <Processes>",
    L"      <Process PID=\"1234\" Name=\"ornPluginHostVLX.exe\">",
    L"        <Modules>",
    L"          <Module ID=\"4194304\" FileName=\"C:\\Program Files (x86)\\ORN &amp; Co\\npORNPlugInVLX.dll\"/>",
    L"          <Module ID=\"2088763392\" FileName=\"C:\\windows\\system32\\KERNEL32.DLL\"/>",
    L"        </Modules>",
    L"      </Process>",
    L"      <Process PID=\"77\" Name=\"iexplore &lt;x&gt;.exe\"/>",
    L"    </Processes>",
    L"    <Hosts>",
    L"      <Entry Line=\"127.0.0.1\tornpluginvlx.local\"/>",
    L"      <Entry Line=\"# 10.1.1.1 ORNPLUGINVLX.LOCAL &lt;there&gt;\"/>",
    L"    </Hosts>",
    L"  </PlugIn>",
});

// A report keeps its own hosts lines, not this workstation's, and escapes its values.
TEST_F(PlugInReportTest, WritesThePopulatedObjectExactly) {
  LoadFromIni(PopulatedIni);
  EXPECT_EQ(FInfo.SaveAsXML(L"  "), PopulatedXML);
  EXPECT_EQ(FInfo.SaveAsHTML(L""), Lines({
                                       L"<table style=\"width:100%\">",
                                       L"  <caption><br>Информация о плагине</caption>",
                                       L"  <tr>",
                                       L"    <th>Путь к плагину:</th>",
                                       L"    <td>C:\\Program Files (x86)\\ORN &amp; Co\\npORNPlugInVLX.dll</td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <th>Версия:</th>",
                                       L"    <td>10.0.2.123</td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <th>Домен в Hosts:</th>",
                                       L"    <td>Да</td>",
                                       L"  </tr>",
                                       L"</table>",
                                       L"<table style=\"width:100%\">",
                                       L"  <caption>Проверка динамической библиотеки</caption>",
                                       L"  <tr>",
                                       L"    <th>Название проверки</th>",
                                       L"    <th>Результат проверки</th>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <td>LoadLibrary</td>",
                                       L"    <td>OK</td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <td>DllGetClassObject</td>",
                                       L"    <td>OK</td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <td>DllInstall</td>",
                                       L"    <td>Ошибка: 127</td>",
                                       L"  </tr>",
                                       L"</table>",
                                       L"<table style=\"width:100%\">",
                                       L"  <caption>Процессы, использующие плагин</caption>",
                                       L"  <tr>",
                                       L"    <th>PID</th>",
                                       L"    <th>Имя образа</th>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <td>1234</td>",
                                       L"    <td>ornPluginHostVLX.exe</td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <td>77</td>",
                                       L"    <td>iexplore &lt;x&gt;.exe</td>",
                                       L"  </tr>",
                                       L"</table>",
                                   }));
}

TEST_F(PlugInReportTest, WritesTheUnregisteredObjectExactly) {
  EXPECT_EQ(FInfo.SaveAsXML(L""), Lines({
                                      L"<PlugIn Path=\"\" Version=\"\" AppName=\"application/x-ORN-plugin-VLX\" "
                                      L"DomainInHosts=\"False\">",
                                      L"  <Processes>",
                                      L"  </Processes>",
                                      L"  <Hosts>",
                                      L"    <Entry Line=\"127.0.0.1\tornpluginvlx.local\"/>",
                                      L"    <Entry Line=\"# 127.0.0.1 ORNPLUGINVLX.LOCAL &lt;old&gt;\"/>",
                                      L"  </Hosts>",
                                      L"</PlugIn>",
                                  }));
  EXPECT_EQ(FInfo.SaveAsHTML(L""), Lines({
                                       L"<table style=\"width:100%\">",
                                       L"  <caption><br>Информация о плагине</caption>",
                                       L"  <tr>",
                                       L"    <th>Путь к плагину:</th>",
                                       L"    <td></td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <th>Версия:</th>",
                                       L"    <td></td>",
                                       L"  </tr>",
                                       L"  <tr>",
                                       L"    <th>Домен в Hosts:</th>",
                                       L"    <td>Нет</td>",
                                       L"  </tr>",
                                       L"</table>",
                                   }));
  std::wstring file = FSandbox.Root() + L"\\empty.iinf";
  {
    TIniFile ini(file);
    FInfo.SaveToIniFile(&ini);
    ini.UpdateFile();
  }
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"PlugIn", L"PlugIn\\Hosts"}));
  EXPECT_EQ(ini.ReadSection(L"PlugIn"),
            (std::vector<std::wstring>{L"Path", L"Version", L"AppName", L"ClassID", L"DomainInHosts"}));
  EXPECT_EQ(ini.ReadString(L"PlugIn", L"DomainInHosts", L"?"), L"0");
  // Live data: this workstation's lines.
  EXPECT_EQ(ini.ReadString(L"PlugIn\\Hosts", L"Count", L""), L"2");
  EXPECT_EQ(ini.ReadString(L"PlugIn\\Hosts", L"Line2", L""), L"# 127.0.0.1 ORNPLUGINVLX.LOCAL <old>");
}

TEST_F(PlugInReportTest, HostsElementIsLeftOutWhenTheFileCannotBeRead) {
  ::DeleteFileW(FSandbox.HostsFile().c_str());
  std::wstring xml = FInfo.SaveAsXML(L"");
  EXPECT_EQ(xml.find(L"<Hosts>"), std::wstring::npos);
  EXPECT_NE(xml.find(L"  </Processes>\r\n</PlugIn>\r\n"), std::wstring::npos);
}

TEST_F(PlugInReportTest, IniRoundTripKeepsEverythingInOrder) {
  LoadFromIni(PopulatedIni);
  std::wstring file = FSandbox.Root() + L"\\again.iinf";
  {
    TIniFile ini(file);
    FInfo.SaveToIniFile(&ini);
    ini.UpdateFile();
  }
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::wstring>{L"PlugIn", L"PlugIn\\LibraryCheck", L"PlugIn\\Processes",
                                                           L"PlugIn\\Process\\1234", L"PlugIn\\Hosts"}));
  EXPECT_EQ(ini.ReadSection(L"PlugIn\\LibraryCheck"),
            (std::vector<std::wstring>{L"LoadLibrary", L"DllGetClassObject", L"DllInstall", L"DllInstall|Error"}));
  EXPECT_EQ(ini.ReadString(L"PlugIn\\Processes", L"77", L""), L"iexplore <x>.exe");

  TPlugInInfo copy(L"other", L"other");
  ASSERT_TRUE(copy.LoadFromIniFile(&ini));
  EXPECT_EQ(copy.SaveAsXML(L"  "), PopulatedXML);
  EXPECT_EQ(copy.PlugInName(), L"npORNPlugInVLX.dll");
  EXPECT_EQ(copy.ClassName(), L"other") << "the ProgID never travels";
}

TEST_F(PlugInReportTest, IniWithoutPlugInSectionIsRefusedAndChangesNothing) {
  LoadFromIni(PopulatedIni);
  std::wstring file = FSandbox.Root() + L"\\other.iinf";
  WriteBinaryFile(file, "[Logging]\r\nEnable=1\r\n");
  TIniFile ini(file);
  EXPECT_FALSE(FInfo.LoadFromIniFile(&ini));
  EXPECT_FALSE(FInfo.LoadFromIniFile(nullptr));
  EXPECT_EQ(FInfo.SaveAsXML(L"  "), PopulatedXML);
}

TEST_F(PlugInReportTest, XmlRoundTripLosesNothing) {
  LoadFromIni(PopulatedIni);
  TPlugInInfo copy(L"other", L"other");
  // Listeners hear of the emptied list and then of the whole new one, not of each process.
  std::vector<int> countsAnnounced;
  copy.OnProcessesChanged = [&](TPlugInInfo* sender) { countsAnnounced.push_back(sender->ProcessCount()); };
  ASSERT_TRUE(LoadFromXML(copy, PopulatedXML));
  EXPECT_EQ(countsAnnounced, (std::vector<int>{0, 2}));
  EXPECT_EQ(copy.PlugInPath(), L"C:\\Program Files (x86)\\ORN & Co\\npORNPlugInVLX.dll");
  EXPECT_EQ(copy.PlugInName(), L"npORNPlugInVLX.dll");
  EXPECT_EQ(copy.AppName(), L"application/x-ORN-plugin-VLX");
  EXPECT_TRUE(copy.DomainInHosts());
  // The process without modules, the report's hosts lines: everything comes back in order.
  ASSERT_EQ(copy.ProcessCount(), 2);
  EXPECT_EQ(copy.SaveAsXML(L"  "), PopulatedXML);

  // Module ids are unsigned 32-bit numbers; one written signed by an earlier version reads
  // as the same id. Anything else is 0.
  TPlugInInfo big(L"", L"");
  ASSERT_TRUE(
      LoadFromXML(big,
                  L"<PlugIn Path=\"p\" Version=\"\" DomainInHosts=\"TRUE\"><Processes>"
                  L"<Process PID=\"4294967295\" Name=\"a.exe\"><Modules><Module ID=\"3221225472\" FileName=\"x.dll\"/>"
                  L"<Module ID=\"-1073741824\" FileName=\"y.dll\"/><Module ID=\"4294967296\" FileName=\"z.dll\"/>"
                  L"<Module ID=\"0x10\" FileName=\"w.dll\"/>"
                  L"</Modules></Process></Processes></PlugIn>"));
  ASSERT_EQ(big.ProcessCount(), 1);
  EXPECT_EQ(big.Processes()[0]->ID(), 4294967295u);
  ASSERT_EQ(big.Processes()[0]->Modules().size(), 4u);
  EXPECT_EQ(big.Processes()[0]->Modules()[0].ID(), 3221225472u);
  EXPECT_EQ(big.Processes()[0]->Modules()[1].ID(), 3221225472u);
  EXPECT_EQ(big.Processes()[0]->Modules()[2].ID(), 0u);
  EXPECT_EQ(big.Processes()[0]->Modules()[3].ID(), 0u);
  EXPECT_TRUE(big.DomainInHosts());
  EXPECT_EQ(big.LibCheckInfo(), nullptr) << "no check results in the report";
}

TEST_F(PlugInReportTest, PlugInElementWithoutChildrenIsReadAtItsEnd) {
  TPlugInInfo info(L"", L"");
  ASSERT_TRUE(LoadFromXML(info,
                          L"<Info><PlugIn Path=\"C:\\a &lt;b&gt;.dll\" Version=\"1.2.3.4\" "
                          L"DomainInHosts=\"False\"/><Other/></Info>"));
  EXPECT_EQ(info.PlugInPath(), L"C:\\a <b>.dll");
  EXPECT_EQ(info.PlugInName(), L"a <b>.dll");
  EXPECT_EQ(info.Version(), L"1.2.3.4");
}

// Check names are one name whatever the letter case of any letter, not only of ASCII ones:
// the XML report's later line of a name replaces its value, the INI report's first counts,
// and an error line in other letters still belongs to its check.
TEST_F(PlugInReportTest, CheckNamesIgnoreLetterCaseInEveryScript) {
  TPlugInInfo xml(L"", L"");
  ASSERT_TRUE(LoadFromXML(xml,
                          L"<PlugIn Path=\"p\"><LibraryCheck>"
                          L"<Checking Name=\"Проверка Ёж\" Result=\"Null\" Error=\"127\"/>"
                          L"<Checking Name=\"ПРОВЕРКА ёЖ\" Result=\"OK\"/>"
                          L"<Checking Name=\"Straße\" Result=\"OK\"/>"
                          L"<Checking Name=\"Ωmega\" Result=\"OK\"/>"
                          L"<Checking Name=\"ωMEGA\" Result=\"Null\"/>"
                          L"</LibraryCheck></PlugIn>"));
  ASSERT_NE(xml.LibCheckInfo(), nullptr);
  const TNameValueList& checks = *xml.LibCheckInfo();
  EXPECT_EQ(checks.Value(L"проверка ёж"), L"OK");
  EXPECT_EQ(checks.Value(L"ПРОВЕРКА ЁЖ|error"), L"127");
  EXPECT_EQ(checks.Value(L"STRASSE"), L"") << "folding keeps the length: ß is not SS";
  EXPECT_EQ(checks.Value(L"ΩMEGA"), L"Null");
  EXPECT_EQ(checks.Count(), 4u) << "two checks, their one error line and Straße";

  LoadFromIni(
      "\xEF\xBB\xBF[PlugIn]\r\nPath=p\r\n[PlugIn\\LibraryCheck]\r\n"
      "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0=OK\r\n"         // Проба
      "\xD0\x9F\xD0\xA0\xD0\x9E\xD0\x91\xD0\x90=Null\r\n"       // ПРОБА
      "\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0|ERROR=5\r\n");  // проба|ERROR
  ASSERT_NE(FInfo.LibCheckInfo(), nullptr);
  EXPECT_EQ(FInfo.LibCheckInfo()->Count(), 2u);
  EXPECT_EQ(FInfo.LibCheckInfo()->Value(L"ПРОБА"), L"OK");
  EXPECT_EQ(FInfo.LibCheckInfo()->Value(L"Проба|Error"), L"5");
}

}  // namespace
}  // namespace ornpm
