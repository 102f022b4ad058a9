#include "fakes/fake_serial_port.hpp"
#include "fakes/fake_settings_store.hpp"
#include "settings/settings.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void store(const QString& key, const QString& value) {
        m_store.values[QStringLiteral("PROPERTIES/") + key] = value;
    }
    void load() { loadSettings(m_store, m_values, m_port); }

    FakeSettingsStore m_store;
    SettingsValues m_values;
    FakeSerialPort m_port;
};

TEST(NumberText, AcceptsSignedDecimalsWithBlanksAround) {
    EXPECT_EQ(textToInt16(QStringLiteral("  42 ")), 42);
    EXPECT_EQ(textToInt16(QStringLiteral("\t-7")), -7);
    EXPECT_EQ(textToInt16(QStringLiteral("+3")), 3);
    EXPECT_EQ(textToInt16(QStringLiteral("-32768")), -32768);
    EXPECT_EQ(textToInt16(QStringLiteral("32767")), 32767);
    EXPECT_EQ(textToInt32(QStringLiteral("-2147483648")), INT32_MIN);
    EXPECT_EQ(textToInt32(QStringLiteral("0002147483647")), INT32_MAX);
}

TEST(NumberText, RejectsEverythingElse) {
    for (const char* text : {"", " ", "+", "-", "1 2", "12a", "0x10", "1.0", "--1", "+-1", "32768",
                             "-32769", "99999999999999999999999", "\xd9\xa3"}) {
        EXPECT_FALSE(textToInt16(QString::fromUtf8(text))) << text;
    }
    EXPECT_FALSE(textToInt32(QStringLiteral("2147483648")));
    EXPECT_FALSE(textToInt32(QStringLiteral("-2147483649")));
}

TEST_F(SettingsTest, EmptyStoreLoadsTheDefaultsAndIsAFirstLaunch) {
    ASSERT_TRUE(m_port.setSettings(QStringLiteral("1200,E,7,2")));
    ASSERT_TRUE(m_port.setCommPort(5));
    ASSERT_TRUE(m_port.setHandshaking(2));
    load();
    EXPECT_TRUE(m_values.AutoStartEnabled);
    EXPECT_EQ(m_values.ExtendedConversionMode, 0);
    EXPECT_EQ(m_values.VXBTSecurityMode, 0);
    EXPECT_EQ(m_port.Settings(), "9600,n,8,1");
    EXPECT_EQ(m_port.CommPort(), 1);
    EXPECT_EQ(m_port.Handshaking(), 0);
    EXPECT_TRUE(isFirstLaunch(m_store));
}

TEST_F(SettingsTest, TypingBackendIsAutoUnlessOneIsNamed) {
    EXPECT_EQ(typingBackend(m_store), QStringLiteral("auto"));
    m_store.values[QStringLiteral("Typing/Backend")] = QStringLiteral("  ");
    EXPECT_EQ(typingBackend(m_store), QStringLiteral("auto"));
    m_store.values[QStringLiteral("Typing/Backend")] = QStringLiteral(" XTest ");
    EXPECT_EQ(typingBackend(m_store), QStringLiteral("XTest"));
}

TEST_F(SettingsTest, AutoStartIsOffOnlyForExactlyZero) {
    for (const char* text : {"1", "", "no", " 0", "0 ", "00"}) {
        store(QStringLiteral("AutoStart"), QString::fromLatin1(text));
        load();
        EXPECT_TRUE(m_values.AutoStartEnabled) << '"' << text << '"';
    }
    store(QStringLiteral("AutoStart"), QStringLiteral("0"));
    load();
    EXPECT_FALSE(m_values.AutoStartEnabled);
}

TEST_F(SettingsTest, FirstLaunchOnlyWhileTheMarkerReadsAsTheSentinel) {
    for (const char* text : {"OK", "", "fff", "anything"}) {
        m_store.values[QStringLiteral("FirstRun/When")] = QString::fromLatin1(text);
        EXPECT_FALSE(isFirstLaunch(m_store)) << text;
    }
    m_store.values[QStringLiteral("FirstRun/When")] = QStringLiteral("FFF");
    EXPECT_TRUE(isFirstLaunch(m_store));
}

TEST_F(SettingsTest, ValuesAreReadWidenedAndAssignedToThePort) {
    store(QStringLiteral("ExtendedConversion"), QStringLiteral(" 4"));
    store(QStringLiteral("VXBlueToothSecurity"), QStringLiteral("-1"));
    store(QStringLiteral("MSCOMMSettings"), QStringLiteral("115200,e,7,2"));
    store(QStringLiteral("MSCOMMCommPort"), QStringLiteral("16"));
    store(QStringLiteral("MSCOMMHandshaking"), QStringLiteral("1"));
    load();
    EXPECT_EQ(m_values.ExtendedConversionMode, 4);
    EXPECT_EQ(m_values.VXBTSecurityMode, -1);
    EXPECT_EQ(m_port.Settings(), "115200,e,7,2");
    EXPECT_EQ(m_port.CommPort(), 16);
    EXPECT_EQ(m_port.Handshaking(), 1);
}

// A value that cannot be used, and the default that takes its place.
struct UnusableCase {
    const char* key;
    const char* text;
    const char* usedText;
};

class EachValueStandsAlone : public SettingsTest,
                             public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(EachValueStandsAlone, AnUnusableOneFallsBackToItsDefaultAndIsNamed) {
    const QMap<QString, QString> stored{
        {"AutoStart", "0"},           {"ExtendedConversion", "1"},
        {"VXBlueToothSecurity", "1"}, {"MSCOMMSettings", "19200,O,7,2"},
        {"MSCOMMCommPort", "3"},      {"MSCOMMHandshaking", "2"}};
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        store(it.key(), it.value());
    }
    const QString key = QString::fromLatin1(GetParam().key);
    store(key, QString::fromLatin1(GetParam().text));

    const QList<UnusableSetting> unusable = loadSettings(m_store, m_values, m_port);

    ASSERT_EQ(unusable.size(), 1);
    EXPECT_EQ(unusable[0].key, key);
    EXPECT_EQ(unusable[0].storedText, QString::fromLatin1(GetParam().text));
    EXPECT_EQ(unusable[0].usedText, QString::fromLatin1(GetParam().usedText));
    EXPECT_FALSE(unusable[0].reason.isEmpty());
    const auto expect = [&](const char* name, const char* loaded) {
        return key == QLatin1String(name) ? QString::fromLatin1(GetParam().usedText)
                                          : QString::fromLatin1(loaded);
    };
    EXPECT_FALSE(m_values.AutoStartEnabled);
    EXPECT_EQ(QString::number(m_values.ExtendedConversionMode), expect("ExtendedConversion", "1"));
    EXPECT_EQ(QString::number(m_values.VXBTSecurityMode), expect("VXBlueToothSecurity", "1"));
    EXPECT_EQ(m_port.Settings().toUpper(), expect("MSCOMMSettings", "19200,O,7,2"));
    EXPECT_EQ(QString::number(m_port.CommPort()), expect("MSCOMMCommPort", "3"));
    EXPECT_EQ(QString::number(m_port.Handshaking()), expect("MSCOMMHandshaking", "2"));
}

INSTANTIATE_TEST_SUITE_P(Settings, EachValueStandsAlone,
                         ::testing::Values(UnusableCase{"ExtendedConversion", "abc", "0"},
                                           UnusableCase{"ExtendedConversion", "32768", "0"},
                                           UnusableCase{"VXBlueToothSecurity", "yes", "0"},
                                           UnusableCase{"MSCOMMSettings", "garbage", "9600,N,8,1"},
                                           UnusableCase{"MSCOMMSettings", "12345678,n,8,1",
                                                        "9600,N,8,1"},
                                           UnusableCase{"MSCOMMCommPort", "-1", "1"},
                                           UnusableCase{"MSCOMMCommPort", "99999", "1"},
                                           UnusableCase{"MSCOMMHandshaking", "3", "0"},
                                           UnusableCase{"MSCOMMHandshaking", "2147483648", "0"}));

TEST_F(SettingsTest, EveryUnusableValueIsNamedWithWhatIsUsedInstead) {
    store(QStringLiteral("ExtendedConversion"), QStringLiteral("abc"));
    store(QStringLiteral("MSCOMMCommPort"), QStringLiteral("99999"));
    const QString text = unusableSettingsText(loadSettings(m_store, m_values, m_port));
    EXPECT_TRUE(text.contains(QStringLiteral("ExtendedConversion = \"abc\": Not a whole number "
                                             "from -32768 to 32767. 0 is used instead.")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("MSCOMMCommPort = \"99999\"")));
    EXPECT_TRUE(loadSettings(FakeSettingsStore(), m_values, m_port).isEmpty());
}

TEST_F(SettingsTest, SaveWritesEveryKeyInOrderThenTheMarker) {
    m_values = {false, -3, 1};
    ASSERT_TRUE(m_port.setSettings(QStringLiteral("57600,E,7,1")));
    ASSERT_TRUE(m_port.setCommPort(12));
    ASSERT_TRUE(m_port.setHandshaking(1));

    ASSERT_TRUE(saveSettings(m_store, m_values, m_port));

    EXPECT_EQ(m_store.writes, QStringList({"PROPERTIES/AutoStart", "PROPERTIES/ExtendedConversion",
                                           "PROPERTIES/VXBlueToothSecurity",
                                           "PROPERTIES/MSCOMMSettings", "PROPERTIES/MSCOMMCommPort",
                                           "PROPERTIES/MSCOMMHandshaking", "FirstRun/When"}));
    EXPECT_EQ(m_store.values.value("PROPERTIES/AutoStart"), "0");
    EXPECT_EQ(m_store.values.value("PROPERTIES/ExtendedConversion"), "-3");
    EXPECT_EQ(m_store.values.value("PROPERTIES/VXBlueToothSecurity"), "1");
    EXPECT_EQ(m_store.values.value("PROPERTIES/MSCOMMSettings"), "57600,e,7,1");
    EXPECT_EQ(m_store.values.value("PROPERTIES/MSCOMMCommPort"), "12");
    EXPECT_EQ(m_store.values.value("PROPERTIES/MSCOMMHandshaking"), "1");
    EXPECT_EQ(m_store.values.value("FirstRun/When"), "OK");
    EXPECT_FALSE(isFirstLaunch(m_store));
}

TEST_F(SettingsTest, RoundTripKeepsThePortSettings) {
    load();
    ASSERT_TRUE(saveSettings(m_store, m_values, m_port));
    EXPECT_EQ(m_store.values.value("PROPERTIES/MSCOMMSettings"), "9600,n,8,1");
    FakeSerialPort reloaded;
    ASSERT_TRUE(reloaded.setSettings(QStringLiteral("1200,e,7,2")));
    loadSettings(m_store, m_values, reloaded);
    EXPECT_EQ(reloaded.Settings(), m_port.Settings());
}

TEST_F(SettingsTest, AFailedWriteIsReportedAndTheOthersAreStillAttempted) {
    m_store.refuseWrites = true;
    const Status saved = saveSettings(m_store, m_values, m_port);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.description(), "disk full");
    EXPECT_EQ(m_store.writes.size(), 7);
}

} // namespace
} // namespace vxorv
