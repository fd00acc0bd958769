#include <gtest/gtest.h>
#include <sstream>

#include "harness/Sandbox.h"
#include "service/CustomInfo.h"
#include "win/Exceptions.h"

namespace ornpm {
namespace {

// An information object that takes one element name and records what it took.
class TNamedInfo : public TCustomInfo {
 public:
  TNamedInfo(std::wstring element, std::vector<std::wstring>& log) : FElement(std::move(element)), FLog(log) {}

  void DoBeginNode(const std::wstring& name) override {
    if (name == FElement)
      FLog.push_back(FElement + L" took <" + name);
    else
      TCustomInfo::DoBeginNode(name);
  }
  void DoEndNode(const std::wstring& name) override {
    if (name == FElement)
      FLog.push_back(FElement + L" took </" + name);
    else
      TCustomInfo::DoEndNode(name);
  }
  void Clear() override {}
  bool Load() override { return true; }
  std::wstring SaveAsXML(const std::wstring& indent) const override { return indent + L"<" + FElement + L"/>\r\n"; }
  std::wstring SaveAsHTML(const std::wstring&) const override { return {}; }
  bool LoadFromIniFile(TIniFile*) override { return false; }
  void SaveToIniFile(TIniFile*) const override {}

 private:
  std::wstring FElement;
  std::vector<std::wstring>& FLog;
};

TEST(CustomInfo, AttachedObjectsFormAChainAndDetachingRestoresTheReader) {
  std::vector<std::wstring> log;
  TSimpleXMLParser parser;
  int original = 0;
  parser.OnBeginNode = {&original, [&](const std::wstring& name) { log.push_back(L"reader got <" + name); }};
  parser.OnEndNode = {&original, [&](const std::wstring& name) { log.push_back(L"reader got </" + name); }};
  TNamedInfo first(L"A", log);
  TNamedInfo second(L"B", log);
  first.SetXMLParser(&parser);
  second.SetXMLParser(&parser);

  EXPECT_TRUE(parser.Parse(L"<C><A/><B></B></C>"));
  EXPECT_EQ(log, (std::vector<std::wstring>{L"reader got <C", L"A took <A", L"A took </A", L"B took <B", L"B took </B",
                                            L"reader got </C"}));

  second.SetXMLParser(nullptr);
  first.SetXMLParser(nullptr);
  EXPECT_EQ(parser.OnBeginNode.Owner, &original);
  EXPECT_EQ(parser.OnEndNode.Owner, &original);
}

TEST(CustomInfo, DetachingLeavesAHandlerThatIsNoLongerItsOwn) {
  std::vector<std::wstring> log;
  TSimpleXMLParser parser;
  TNamedInfo first(L"A", log);
  TNamedInfo second(L"B", log);
  first.SetXMLParser(&parser);
  second.SetXMLParser(&parser);
  first.SetXMLParser(nullptr);  // out of order: the reader's handlers are the second's
  EXPECT_EQ(parser.OnBeginNode.Owner, &second);
  EXPECT_EQ(parser.OnEndNode.Owner, &second);
  second.SetXMLParser(nullptr);
  // The second restores what it found: the first object's handlers, as it had attached.
  EXPECT_EQ(parser.OnBeginNode.Owner, &first);
}

TEST(CustomInfo, LoadFromXMLOnItsOwnOnlyGuardsAndParses) {
  std::vector<std::wstring> log;
  TNamedInfo info(L"A", log);
  EXPECT_FALSE(info.LoadFromXML(L""));
  EXPECT_TRUE(info.LoadFromXML(L"<A/>"));
  EXPECT_TRUE(log.empty()) << "no handlers are attached to its own reader";
  TSimpleXMLParser busy;
  info.SetXMLParser(&busy);
  EXPECT_FALSE(info.LoadFromXML(L"<A/>")) << "a load is under way";
  info.SetXMLParser(nullptr);
}

TEST(CustomInfo, SavesTheXMLFormAsAnsiTextWithoutByteOrderMark) {
  std::vector<std::wstring> log;
  TNamedInfo info(L"Плагин", log);
  std::ostringstream stream;
  stream << "head:";
  info.SaveToStream(&stream);
  EXPECT_EQ(stream.str(), "head:<\xCF\xEB\xE0\xE3\xE8\xED/>\r\n") << "code page 1251 under the test locale";
  info.SaveToStream(nullptr);

  testing::TempFolder folder;
  const std::wstring file = folder.Path() + L"\\report.xinf";
  testing::WriteBinaryFile(file, std::string(100, 'x'));
  info.SaveToFile(file);
  EXPECT_EQ(testing::ReadBinaryFile(file), "<\xCF\xEB\xE0\xE3\xE8\xED/>\r\n") << "an existing file is emptied first";
  EXPECT_THROW(info.SaveToFile(folder.Path() + L"\\missing\\report.xinf"), EFCreateError);
}

}  // namespace
}  // namespace ornpm
