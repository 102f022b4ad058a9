#pragma once

#include "platform/serial_port_component.hpp"
#include "platform/settings_store.hpp"

#include <QList>

#include <cstdint>
#include <optional>

namespace vxorv {

// The settings values the application reads while it runs. The port number,
// port settings string and handshaking code live in the serial port itself.
struct SettingsValues {
    bool AutoStartEnabled = false;
    std::int32_t ExtendedConversionMode = 0;
    std::int32_t VXBTSecurityMode = 0;
};

// Whether this run began without a completed setup, and what became of it.
struct FirstLaunchFlags {
    bool ThisWasFirstLaunch = false;
    bool SettingsForFirstLaunchCoerrectlyPerformed = false;
    bool FormPropertiesOK = false;
};

inline const QString settingsApplication = QStringLiteral("VXORV");

// True while the store holds no first-run marker.
bool isFirstLaunch(const SettingsStore& store);

// A stored value that could not be used, and what is used in its place.
struct UnusableSetting {
    QString key;
    QString storedText;
    QString reason;
    QString usedText;
};

// Reads the six settings into memory and into the serial port. Each value
// stands alone: one that does not convert, or that the port rejects, gives
// way to its default and is listed in the result; the others load as stored.
QList<UnusableSetting> loadSettings(const SettingsStore& store, SettingsValues& values,
                                    SerialPortComponent& MSComm1);

// What the user is told about the values loadSettings could not use.
QString unusableSettingsText(const QList<UnusableSetting>& unusable);

// Writes the six settings and the first-run marker, every write attempted;
// the first write that fails is reported.
Status saveSettings(SettingsStore& store, const SettingsValues& values,
                    const SerialPortComponent& MSComm1);

// The [Typing] Backend setting: "auto" (the default) or the name of the one
// keystroke backend to use.
QString typingBackend(const SettingsStore& store);

// The texts saveSettings would write, in its order: equal lists are equal settings.
QStringList settingsTexts(const SettingsValues& values, const SerialPortComponent& MSComm1);

// An optionally signed decimal number with blanks around it, within the
// target width; nullopt for anything else.
std::optional<std::int16_t> textToInt16(const QString& text);
std::optional<std::int32_t> textToInt32(const QString& text);

} // namespace vxorv
