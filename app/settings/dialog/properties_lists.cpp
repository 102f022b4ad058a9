#include "settings/dialog/properties_lists.hpp"

#include <array>

namespace vxorv {
namespace {

constexpr std::array baudRates{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
constexpr std::array dataBits{"7", "8"};
constexpr std::array parities{"No Parity", "Odd Parity", "Even Parity"};
constexpr std::array parityLetters{"N", "O", "E"};
constexpr std::array portParityLetters{"n", "o", "e"};
constexpr std::array stopBits{"1", "2"};
constexpr std::array handshakes{"None", "XOnXOff", "RTS", "RTSXOnXOff"};
constexpr std::array extendedConversions{TaggedItem{"None", 0}, TaggedItem{"IBM AT", 1}};
constexpr std::array securities{TaggedItem{"Disable", 0}, TaggedItem{"Enable", 1}};
constexpr std::int16_t portCount = 16;

template <std::size_t N> QStringList toList(const std::array<const char*, N>& texts) {
    QStringList list;
    for (const char* text : texts) {
        list << QString::fromLatin1(text);
    }
    return list;
}

// Position of `text` in `texts`, or 0 when it is not there.
template <std::size_t N>
std::int16_t indexOf(const std::array<const char*, N>& texts, const QString& text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == QLatin1String(texts[i])) {
            return static_cast<std::int16_t>(i);
        }
    }
    return 0;
}

std::int16_t indexOfTag(std::span<const TaggedItem> items, std::int32_t tag) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].tag == tag) {
            return static_cast<std::int16_t>(i);
        }
    }
    return 0;
}

} // namespace

QStringList comPortItems() {
    QStringList items;
    for (std::int16_t port = 1; port <= portCount; ++port) {
        items << comPortItem(port);
    }
    return items;
}

QString comPortItem(std::int16_t port) {
    return (port < 0 ? QStringLiteral("COM ") : QStringLiteral("COM  ")) + QString::number(port);
}

QString unlistedModeItem(std::int32_t mode) {
    return QStringLiteral("Stored value %1").arg(mode);
}

QStringList baudRateItems() {
    return toList(baudRates);
}
QStringList dataBitItems() {
    return toList(dataBits);
}
QStringList parityItems() {
    return toList(parities);
}
QStringList stopBitItems() {
    return toList(stopBits);
}
QStringList handshakeItems() {
    return toList(handshakes);
}
std::span<const TaggedItem> extendedConversionItems() {
    return extendedConversions;
}
std::span<const TaggedItem> securityItems() {
    return securities;
}

QString getParity(const QString& text) {
    for (std::size_t i = 0; i < parities.size(); ++i) {
        if (text == QLatin1String(parities[i])) {
            return QString::fromLatin1(parityLetters[i]);
        }
    }
    return QString();
}

std::int16_t getParityIndex(const QString& text) {
    return indexOf(portParityLetters, text);
}
std::int16_t getDataIndex(const QString& text) {
    return indexOf(dataBits, text);
}
std::int16_t getStopIndex(const QString& text) {
    return indexOf(stopBits, text);
}
std::int16_t getBaudRateIndex(const QString& text) {
    return indexOf(baudRates, text);
}
std::int16_t getHandShake(const QString& text) {
    return indexOf(handshakes, text);
}
std::int16_t getExtConversionIndex(std::int32_t extMode) {
    return indexOfTag(extendedConversions, extMode);
}
std::int16_t getVXBTSecurityIndex(std::int32_t vxbtMode) {
    return indexOfTag(securities, vxbtMode);
}

std::int16_t comPortNumber(const QString& item) {
    return static_cast<std::int16_t>(item.mid(4).trimmed().toShort());
}

PortSettingsFields splitPortSettings(const QString& settings) {
    const QStringList parts = settings.split(u',');
    PortSettingsFields fields;
    fields.baud = parts.value(0);
    fields.parity = parts.value(1);
    fields.data = parts.value(2);
    fields.stop = parts.size() > 3 ? parts.mid(3).join(u',') : QString();
    return fields;
}

void propertiesAccepted(FirstLaunchFlags& flags) {
    flags.FormPropertiesOK = true;
    if (flags.ThisWasFirstLaunch) {
        flags.SettingsForFirstLaunchCoerrectlyPerformed = true;
    }
}

void propertiesCancelled(FirstLaunchFlags& flags) {
    flags.FormPropertiesOK = false;
}

} // namespace vxorv
