#include "settings/settings.hpp"

#include <limits>

namespace vxorv {
namespace {

const QString properties = QStringLiteral("PROPERTIES");
const QString firstRun = QStringLiteral("FirstRun");

// The persisted keys with their defaults, in the order they are written.
struct Key {
    QString name;
    QString defaultText;
};
const Key autoStart{QStringLiteral("AutoStart"), QStringLiteral("1")};
const Key extendedConversion{QStringLiteral("ExtendedConversion"), QStringLiteral("0")};
const Key securityMode{QStringLiteral("VXBlueToothSecurity"), QStringLiteral("0")};
const Key portSettings{QStringLiteral("MSCOMMSettings"), QStringLiteral("9600,N,8,1")};
const Key commPort{QStringLiteral("MSCOMMCommPort"), QStringLiteral("1")};
const Key handshaking{QStringLiteral("MSCOMMHandshaking"), QStringLiteral("0")};
const Key when{QStringLiteral("When"), QStringLiteral("FFF")};
const QString configured = QStringLiteral("OK");

QString read(const SettingsStore& store, const Key& key) {
    return store.GetSetting(properties, key.name, key.defaultText);
}

const QString typing = QStringLiteral("Typing");
const Key backend{QStringLiteral("Backend"), QStringLiteral("auto")};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

std::optional<std::int64_t> textToInteger(const QString& text, std::int64_t min, std::int64_t max) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (begin < end && (text[begin] == u'+' || text[begin] == u'-')) {
        negative = text[begin] == u'-';
        ++begin;
    }
    if (begin == end) {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > max + 1) {
            return std::nullopt; // beyond every target width; stops before overflow
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<std::int16_t> textToInt16(const QString& text) {
    const auto value = textToInteger(text, std::numeric_limits<std::int16_t>::min(),
                                     std::numeric_limits<std::int16_t>::max());
    return value ? std::optional(static_cast<std::int16_t>(*value)) : std::nullopt;
}

std::optional<std::int32_t> textToInt32(const QString& text) {
    const auto value = textToInteger(text, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    return value ? std::optional(static_cast<std::int32_t>(*value)) : std::nullopt;
}

bool isFirstLaunch(const SettingsStore& store) {
    return store.GetSetting(firstRun, when.name, when.defaultText) == when.defaultText;
}

void loadSettings(const SettingsStore& store, SettingsValues& values,
                  SerialPortComponent& MSComm1) {
    values.AutoStartEnabled = read(store, autoStart) != u"0";

    const auto conversion = textToInt16(read(store, extendedConversion));
    if (!conversion) {
        return;
    }
    values.ExtendedConversionMode = *conversion;

    const auto security = textToInt16(read(store, securityMode));
    if (!security) {
        return;
    }
    values.VXBTSecurityMode = *security;

    if (!MSComm1.setSettings(read(store, portSettings))) {
        return;
    }

    const auto port = textToInt16(read(store, commPort));
    if (!port || !MSComm1.setCommPort(*port)) {
        return;
    }

    const auto code = textToInt32(read(store, handshaking));
    if (!code) {
        return;
    }
    (void)MSComm1.setHandshaking(*code); // the last step: a rejected code changes nothing
}

Status saveSettings(SettingsStore& store, const SettingsValues& values,
                    const SerialPortComponent& MSComm1) {
    Status result = Status::ok();
    const auto write = [&](const QString& section, const QString& key, const QString& value) {
        Status written = store.SaveSetting(section, key, value);
        if (result && !written) {
            result = written;
        }
    };
    write(properties, autoStart.name,
          values.AutoStartEnabled ? QStringLiteral("1") : QStringLiteral("0"));
    write(properties, extendedConversion.name, QString::number(values.ExtendedConversionMode));
    write(properties, securityMode.name, QString::number(values.VXBTSecurityMode));
    write(properties, portSettings.name, MSComm1.Settings());
    write(properties, commPort.name, QString::number(MSComm1.CommPort()));
    write(properties, handshaking.name, QString::number(MSComm1.Handshaking()));
    write(firstRun, when.name, configured);
    return result;
}

QString typingBackend(const SettingsStore& store) {
    const QString value = store.GetSetting(typing, backend.name, backend.defaultText).trimmed();
    return value.isEmpty() ? backend.defaultText : value;
}

} // namespace vxorv
