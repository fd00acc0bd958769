#include <gtest/gtest.h>

#include "harness/FakeUserInteraction.h"
#include "harness/Sandbox.h"
#include "service/ProxyOverride.h"
#include "service/Registry.h"
#include "win/Exceptions.h"

namespace ornpm {
namespace {

using testing::GetRegistryString;
using testing::RegistryKeyExists;
using testing::SetRegistryDword;
using testing::SetRegistryString;

class ProxyOverrideTest : public ::testing::Test {
 protected:
  testing::RegistrySandbox FSandbox;
  testing::FakeUserInteraction FUser;

  std::optional<std::wstring> ProxyOverride() {
    return GetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride");
  }
};

TEST_F(ProxyOverrideTest, AppendsTheDomainWithOneSeparator) {
  struct Case {
    std::optional<std::wstring> Before;  // nothing: the value is missing
    std::wstring After;
  };
  const Case cases[] = {
      {std::nullopt, L"ornpluginvlx.local"},
      {L"", L"ornpluginvlx.local"},
      {L"a;b", L"a;b;ornpluginvlx.local"},
      {L"a;b;", L"a;b;ornpluginvlx.local"},
      {L"<local>", L"<local>;ornpluginvlx.local"},
      // The list is compared with letter case: another spelling counts as absent.
      {L"ORNPLUGINVLX.LOCAL", L"ORNPLUGINVLX.LOCAL;ornpluginvlx.local"},
  };
  for (const Case& c : cases) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, InternetSettingsKey);
    SetRegistryDword(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyEnable", 1);
    if (c.Before) SetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride", *c.Before);
    EXPECT_FALSE(IsPlugInDomainInProxyOverride());
    EXPECT_EQ(WritePlugInDomainToProxyOverride(true), 0);
    EXPECT_EQ(ProxyOverride(), c.After);
    EXPECT_TRUE(IsPlugInDomainInProxyOverride());
  }
  EXPECT_TRUE(FUser.Messages.empty());
}

TEST_F(ProxyOverrideTest, DomainAnywhereInTheListCountsAsPresent) {
  const std::wstring before = L"*.example;x-ornpluginvlx.local-y;<local>";
  SetRegistryString(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride", before);
  EXPECT_TRUE(IsPlugInDomainInProxyOverride());
  EXPECT_EQ(WritePlugInDomainToProxyOverride(false), 0);
  ASSERT_EQ(FUser.Messages.size(), 1u);
  EXPECT_EQ(FUser.Messages[0].Kind, TMsgKind::Information);
  EXPECT_EQ(FUser.Messages[0].Text, L"Информация о домене плагина уже содержится в исключениях прокси-сервера");
  EXPECT_EQ(ProxyOverride(), before);
}

TEST_F(ProxyOverrideTest, MissingSettingsKeyIsNeitherCreatedNorAnError) {
  EXPECT_FALSE(IsPlugInDomainInProxyOverride());
  EXPECT_EQ(WritePlugInDomainToProxyOverride(false), 0);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, InternetSettingsKey));
  EXPECT_TRUE(FUser.Messages.empty());
}

TEST_F(ProxyOverrideTest, ListOfAnotherTypeRaisesFromThePresenceCheck) {
  SetRegistryDword(HKEY_CURRENT_USER, InternetSettingsKey, L"ProxyOverride", 1);
  EXPECT_THROW(IsPlugInDomainInProxyOverride(), ERegistryException);
  EXPECT_THROW(WritePlugInDomainToProxyOverride(false), ERegistryException);
  EXPECT_TRUE(FUser.Messages.empty());
}

}  // namespace
}  // namespace ornpm
