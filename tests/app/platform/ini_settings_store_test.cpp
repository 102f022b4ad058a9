#include "platform/ini_settings_store.hpp"
#include "platform/qt_serial_port.hpp"
#include "settings/settings.hpp"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vxorv {
namespace {

class IniSettingsStoreTest : public ::testing::Test {
  protected:
    IniSettingsStoreTest() { qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit()); }
    ~IniSettingsStoreTest() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString iniPath() const { return m_home.path() + QStringLiteral("/VXORV/VXORV.ini"); }
    void writeIni(const QByteArray& text) {
        QDir().mkpath(m_home.path() + QStringLiteral("/VXORV"));
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir m_home;
};

TEST_F(IniSettingsStoreTest, LivesInTheUsersConfigDirectory) {
    IniSettingsStore store(settingsApplication);
    EXPECT_EQ(store.fileName(), iniPath());
    ASSERT_TRUE(store.SaveSetting(QStringLiteral("PROPERTIES"), QStringLiteral("AutoStart"),
                                  QStringLiteral("0")));
    EXPECT_TRUE(QFile::exists(iniPath()));
    IniSettingsStore reread(settingsApplication);
    EXPECT_EQ(reread.GetSetting(QStringLiteral("PROPERTIES"), QStringLiteral("AutoStart"),
                                QStringLiteral("1")),
              "0");
}

TEST_F(IniSettingsStoreTest, SeesTheFileEditedWhileItIsOpen) {
    writeIni("[FirstRun]\nWhen=OK\n");
    IniSettingsStore store(settingsApplication);
    EXPECT_EQ(store.GetSetting(QStringLiteral("Ports"), QStringLiteral("COM1"), QString()), "");
    writeIni("[FirstRun]\nWhen=OK\n[Ports]\nCOM1=/dev/serial/by-id/usb-Scanner-if00\n");
    EXPECT_EQ(store.GetSetting(QStringLiteral("Ports"), QStringLiteral("COM1"), QString()),
              "/dev/serial/by-id/usb-Scanner-if00");
}

TEST_F(IniSettingsStoreTest, MissingOrEmptyFileReadsTheDefaults) {
    {
        IniSettingsStore store(settingsApplication);
        EXPECT_EQ(store.GetSetting(QStringLiteral("FirstRun"), QStringLiteral("When"),
                                   QStringLiteral("FFF")),
                  "FFF");
    }
    writeIni("");
    IniSettingsStore store(settingsApplication);
    EXPECT_TRUE(isFirstLaunch(store));
}

TEST_F(IniSettingsStoreTest, AFileEditedByHandStillLoads) {
    writeIni("[PROPERTIES]\n"
             "AutoStart=0\n"
             "ExtendedConversion= 1 \n"
             "VXBlueToothSecurity=1\n"
             "MSCOMMSettings=19200,E,7,1\n"
             "MSCOMMCommPort=2\n"
             "MSCOMMHandshaking=2\n"
             "[FirstRun]\n"
             "When=OK\n");
    IniSettingsStore store(settingsApplication);
    SettingsValues values;
    QtSerialPort port([](std::int16_t) { return QString(); }, QString());
    loadSettings(store, values, port);
    EXPECT_FALSE(isFirstLaunch(store));
    EXPECT_FALSE(values.AutoStartEnabled);
    EXPECT_EQ(values.ExtendedConversionMode, 1);
    EXPECT_EQ(values.VXBTSecurityMode, 1);
    EXPECT_EQ(port.Settings(), "19200,e,7,1");
    EXPECT_EQ(port.CommPort(), 2);
    EXPECT_EQ(port.Handshaking(), 2);
}

TEST_F(IniSettingsStoreTest, SavedSettingsLoadBackTheSame) {
    IniSettingsStore store(settingsApplication);
    QtSerialPort port([](std::int16_t) { return QString(); }, QString());
    ASSERT_TRUE(port.setSettings(QStringLiteral("2400,O,8,2")));
    const SettingsValues saved{false, 3, 1};
    ASSERT_TRUE(saveSettings(store, saved, port));

    IniSettingsStore reread(settingsApplication);
    SettingsValues loaded;
    QtSerialPort reloaded([](std::int16_t) { return QString(); }, QString());
    loadSettings(reread, loaded, reloaded);
    EXPECT_EQ(loaded.AutoStartEnabled, false);
    EXPECT_EQ(loaded.ExtendedConversionMode, 3);
    EXPECT_EQ(reloaded.Settings(), "2400,o,8,2");
    EXPECT_EQ(reread.GetSetting(QStringLiteral("FirstRun"), QStringLiteral("When"), QString()),
              "OK");
}

TEST_F(IniSettingsStoreTest, AnUnreadableFileIsReportedAndAFailedWriteSaysWhyInWords) {
    // A directory where the file should be: it can be neither read nor written.
    QDir().mkpath(iniPath());
    IniSettingsStore store(settingsApplication);
    EXPECT_TRUE(isFirstLaunch(store));
    const Status readable = store.readStatus();
    ASSERT_FALSE(readable);
    EXPECT_TRUE(readable.description().contains(iniPath())) << readable.description().toStdString();

    const Status saved =
        store.SaveSetting(QStringLiteral("FirstRun"), QStringLiteral("When"), QStringLiteral("OK"));
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.description(),
              QStringLiteral("Writing the settings file %1 failed: Filename refers to a directory.")
                  .arg(iniPath()));
}

TEST_F(IniSettingsStoreTest, AMissingFileIsNoReadFailure) {
    EXPECT_TRUE(IniSettingsStore(settingsApplication).readStatus());
}

class HandEditedFile : public IniSettingsStoreTest,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(HandEditedFile, LoadsAndEverySaveSucceeds) {
    writeIni(QByteArray(GetParam()) + "[PROPERTIES]\nMSCOMMCommPort=3\n[FirstRun]\nWhen=OK\n");
    IniSettingsStore store(settingsApplication);
    EXPECT_TRUE(store.readStatus());
    EXPECT_EQ(store.GetSetting(QStringLiteral("PROPERTIES"), QStringLiteral("MSCOMMCommPort"),
                               QStringLiteral("1")),
              "3");
    for (const char* value : {"0", "1"}) {
        const Status saved = store.SaveSetting(
            QStringLiteral("PROPERTIES"), QStringLiteral("AutoStart"), QString::fromLatin1(value));
        EXPECT_TRUE(saved) << saved.description().toStdString();
    }
    QSettings written(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(written.value(QStringLiteral("PROPERTIES/AutoStart")).toString(), "1");
    EXPECT_EQ(written.value(QStringLiteral("PROPERTIES/MSCOMMCommPort")).toString(), "3");
}

INSTANTIATE_TEST_SUITE_P(IniSettingsStore, HandEditedFile,
                         ::testing::Values("# a comment\n", "\xEF\xBB\xBF", "a broken line\n",
                                           "[unclosed\n"));

} // namespace
} // namespace vxorv
