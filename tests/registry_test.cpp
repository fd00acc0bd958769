#include "service/Registry.h"

#include <gtest/gtest.h>

#include "harness/Sandbox.h"
#include "win/Exceptions.h"

namespace ornpm {
namespace {

using testing::GetRegistryString;
using testing::RegistryKeyExists;
using testing::SetRegistryDword;
using testing::SetRegistryString;
using testing::SetRegistryValue;

constexpr wchar_t Key[] = L"Software\\ORN\\Test";

class RegistryTest : public ::testing::Test {
 protected:
  testing::RegistrySandbox FSandbox;
};

TEST_F(RegistryTest, ReadsStringsLiterallyAndMissingValuesAsEmpty) {
  SetRegistryString(HKEY_CURRENT_USER, Key, L"Plain", L"значение");
  SetRegistryString(HKEY_CURRENT_USER, Key, L"Expandable", L"%windir%\\ORN", REG_EXPAND_SZ);
  SetRegistryString(HKEY_CURRENT_USER, Key, L"", L"default");
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, Key);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString(L"Plain"), L"значение");
  EXPECT_EQ(key->ReadString(L"Expandable"), L"%windir%\\ORN");
  EXPECT_EQ(key->ReadString(L""), L"default");
  EXPECT_EQ(key->ReadString(L"Missing"), L"");
  EXPECT_FALSE(key->ReadInteger(L"Missing"));
  EXPECT_TRUE(key->ValueExists(L"Plain"));
  EXPECT_FALSE(key->ValueExists(L"Missing"));
}

TEST_F(RegistryTest, ReadsLongStrings) {
  std::wstring longValue(70000, L'x');
  SetRegistryString(HKEY_CURRENT_USER, Key, L"Long", longValue);
  EXPECT_EQ(TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, Key)->ReadString(L"Long"), longValue);
}

TEST_F(RegistryTest, ValuesOfAnotherTypeRaiseReadErrors) {
  const BYTE binary[] = {1, 2, 3, 4};
  const wchar_t multi[] = L"a\0b\0";
  const ULONGLONG quad = 1;
  SetRegistryDword(HKEY_CURRENT_USER, Key, L"Number", 7);
  SetRegistryString(HKEY_CURRENT_USER, Key, L"Text", L"1");
  SetRegistryValue(HKEY_CURRENT_USER, Key, L"Binary", REG_BINARY, binary, sizeof(binary));
  SetRegistryValue(HKEY_CURRENT_USER, Key, L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
  SetRegistryValue(HKEY_CURRENT_USER, Key, L"Quad", REG_QWORD, &quad, sizeof(quad));
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, Key);
  ASSERT_TRUE(key);

  EXPECT_EQ(key->ReadInteger(L"Number"), 7u);
  for (const wchar_t* name : {L"Number", L"Binary", L"Multi"}) {
    try {
      key->ReadString(name);
      ADD_FAILURE() << "no error for a string read of a non-string value";
    } catch (const ERegistryException& error) {
      EXPECT_STREQ(error.KindName(), L"ERegistryException");
      EXPECT_NE(error.Message().find(name), std::wstring::npos) << "the message names the value";
    }
  }
  for (const wchar_t* name : {L"Text", L"Binary", L"Quad"})
    EXPECT_THROW(key->ReadInteger(name), ERegistryException) << "value " << name;
}

TEST_F(RegistryTest, OpensForWritingCreateOnlyWhenAsked) {
  EXPECT_FALSE(TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, Key));
  EXPECT_FALSE(TRegistryKey::OpenForWriting(HKEY_CURRENT_USER, Key, false));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Key));

  auto created = TRegistryKey::OpenForWriting(HKEY_CURRENT_USER, Key, true);
  ASSERT_TRUE(created);
  created->WriteString(L"SMTPHost", L"mail.example");
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, Key, L"SMTPHost"), L"mail.example");
  EXPECT_TRUE(TRegistryKey::OpenForWriting(HKEY_CURRENT_USER, Key, false));
}

TEST_F(RegistryTest, WriteThroughReadOnlyKeyRaisesWriteError) {
  SetRegistryString(HKEY_CURRENT_USER, Key, L"Value", L"old");
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, Key);
  ASSERT_TRUE(key);
  EXPECT_THROW(key->WriteString(L"Value", L"new"), ERegistryException);
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, Key, L"Value"), L"old");
}

TEST_F(RegistryTest, ListsSubkeysInRegistryOrderWithLongNames) {
  const std::wstring longName(200, L'z');
  for (const std::wstring& name : {std::wstring(L"4"), std::wstring(L"0"), longName, std::wstring(L"Other")})
    SetRegistryDword(HKEY_CURRENT_USER, std::wstring(Key) + L"\\Zones\\" + name, L"1001", 0);
  auto zones = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, std::wstring(Key) + L"\\Zones");
  ASSERT_TRUE(zones);
  EXPECT_EQ(zones->SubKeyNames(), (std::vector<std::wstring>{L"0", L"4", L"Other", longName}));
}

TEST_F(RegistryTest, SandboxRedirectsBothPredefinedKeys) {
  SetRegistryString(HKEY_CLASSES_ROOT, L"ORNPlugin.ORNControlVLX\\CLSID", L"", L"{0}");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"ORNPlugin.ORNControlVLX"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"ORNPlugin.ORNControlVLX"));
  // The real classes root, where every Windows has this key, is out of sight.
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
}

}  // namespace
}  // namespace ornpm
