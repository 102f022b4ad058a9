#pragma once

#include "platform/serial_port_component.hpp"
#include "platform/settings_store.hpp"

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

// Reads the six settings into memory and into the serial port. After
// "AutoStart", the first value that does not convert or that the port rejects
// ends the load silently: it and all later values keep their previous values.
void loadSettings(const SettingsStore& store, SettingsValues& values, SerialPortComponent& MSComm1);

// Writes the six settings and the first-run marker, every write attempted;
// the first write that fails is reported.
Status saveSettings(SettingsStore& store, const SettingsValues& values,
                    const SerialPortComponent& MSComm1);

// The [Typing] Backend setting: "auto" (the default) or the name of the one
// keystroke backend to use.
QString typingBackend(const SettingsStore& store);

// An optionally signed decimal number with blanks around it, within the
// target width; nullopt for anything else.
std::optional<std::int16_t> textToInt16(const QString& text);
std::optional<std::int32_t> textToInt32(const QString& text);

} // namespace vxorv
