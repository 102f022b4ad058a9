#include "platform/registry_settings_store.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace vxorv {
namespace {

const std::wstring settingsRoot = L"Software\\VB and VBA Program Settings\\";

// A store of its own per test, under the key every such program uses, removed
// afterwards.
class RegistrySettingsStoreTest : public ::testing::Test {
  protected:
    ~RegistrySettingsStoreTest() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, (settingsRoot + m_application).c_str());
    }

    QString application() const { return QString::fromStdWString(m_application); }

    std::wstring sectionKey(const std::wstring& section) const {
        return settingsRoot + m_application + L"\\" + section;
    }

    // What another program reading the registry finds: the value's type and text.
    std::pair<DWORD, std::wstring> readRaw(const std::wstring& section, const std::wstring& key) {
        wchar_t text[256] = {};
        DWORD size = sizeof(text);
        DWORD type = REG_NONE;
        const LSTATUS status =
            RegGetValueW(HKEY_CURRENT_USER, sectionKey(section).c_str(), key.c_str(),
                         RRF_RT_ANY | RRF_NOEXPAND, &type, text, &size);
        return {status == ERROR_SUCCESS ? type : REG_NONE, text};
    }

    void writeRaw(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, sectionKey(section).c_str(), key.c_str(),
                                  REG_SZ, value.c_str(),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

  private:
    std::wstring m_application = L"VXORV-test-" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(RegistrySettingsStoreTest, SavedSettingsAreStringValuesOfTheSectionsKey) {
    RegistrySettingsStore store(application());
    ASSERT_TRUE(store
                    .SaveSetting(QStringLiteral("PROPERTIES"), QStringLiteral("CommSettings"),
                                 QStringLiteral("9600,n,8,1"))
                    .isOk());
    ASSERT_TRUE(
        store.SaveSetting(QStringLiteral("FirstRun"), QStringLiteral("When"), QStringLiteral("OK"))
            .isOk());

    EXPECT_EQ(readRaw(L"PROPERTIES", L"CommSettings"),
              std::make_pair(DWORD{REG_SZ}, std::wstring(L"9600,n,8,1")));
    EXPECT_EQ(readRaw(L"FirstRun", L"When"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"OK")));
    EXPECT_EQ(RegistrySettingsStore(application())
                  .GetSetting(QStringLiteral("PROPERTIES"), QStringLiteral("CommSettings"), {}),
              QStringLiteral("9600,n,8,1"));
}

TEST_F(RegistrySettingsStoreTest, ValuesAnEarlierInstallationLeftReadAsTheyStand) {
    writeRaw(L"PROPERTIES", L"CommSettings", L"19200,E,7,2");
    writeRaw(L"PROPERTIES", L"KeystrokeConversion", L"2");
    writeRaw(L"PROPERTIES", L"Empty", L"");

    RegistrySettingsStore store(application());
    const auto get = [&store](const char* key) {
        return store.GetSetting(QStringLiteral("PROPERTIES"), QString::fromLatin1(key),
                                QStringLiteral("default"));
    };
    EXPECT_EQ(get("CommSettings"), QStringLiteral("19200,E,7,2"));
    EXPECT_EQ(get("KeystrokeConversion"), QStringLiteral("2"));
    EXPECT_EQ(get("Empty"), QString());
    EXPECT_EQ(get("Missing"), QStringLiteral("default"));
    EXPECT_EQ(store.GetSetting(QStringLiteral("NoSuchSection"), QStringLiteral("When"),
                               QStringLiteral("default")),
              QStringLiteral("default"));
}

} // namespace
} // namespace vxorv
