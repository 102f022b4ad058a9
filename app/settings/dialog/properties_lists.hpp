#pragma once

#include "settings/settings.hpp"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

namespace vxorv {

// The fixed items of the properties dialog's lists and the conversions
// between their texts and the settings values. Every comparison is exact and
// case-sensitive; an input the tables do not list gives the last fallback.

struct TaggedItem {
    const char* text;
    std::int32_t tag;
};

// "COM  1" ... "COM  16": the number is written with a blank for its sign.
QStringList comPortItems();
// The item of any port number, listed or not ("COM  20").
QString comPortItem(std::int16_t port);
QStringList baudRateItems();
QStringList dataBitItems();
QStringList parityItems();
QStringList stopBitItems();
QStringList handshakeItems();
std::span<const TaggedItem> extendedConversionItems();
std::span<const TaggedItem> securityItems();

// Parity item to the letter the port settings string carries ("N", "O", "E").
QString getParity(const QString& text);
// The port's lower-case parity letter to the position of its item.
std::int16_t getParityIndex(const QString& text);
std::int16_t getDataIndex(const QString& text);
std::int16_t getStopIndex(const QString& text);
std::int16_t getBaudRateIndex(const QString& text);
// Handshake item to the handshaking code; the code is also its position.
std::int16_t getHandShake(const QString& text);
// Position of the first item whose tag equals the mode, else 0.
std::int16_t getExtConversionIndex(std::int32_t extMode);
std::int16_t getVXBTSecurityIndex(std::int32_t vxbtMode);

// The item of a conversion or security mode that the list does not offer.
QString unlistedModeItem(std::int32_t mode);

// The port number a port item stands for ("COM  12" -> 12).
std::int16_t comPortNumber(const QString& item);

// The fields of a port settings string, split at the first three commas;
// the stop field keeps any further commas. Missing fields are empty.
struct PortSettingsFields {
    QString baud;
    QString parity;
    QString data;
    QString stop;
};
PortSettingsFields splitPortSettings(const QString& settings);

// What closing the dialog with OK or Cancel reports to the main window.
void propertiesAccepted(FirstLaunchFlags& flags);
void propertiesCancelled(FirstLaunchFlags& flags);

} // namespace vxorv
