#include "settings/settings.hpp"

#include <array>
#include <functional>
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

template <typename Integer> Status notAWholeNumber() {
    return Status::failure(QStringLiteral("Not a whole number from %1 to %2.")
                               .arg(std::numeric_limits<Integer>::min())
                               .arg(std::numeric_limits<Integer>::max()));
}

// Converts a stored 16-bit number and hands it to `assign`.
Status assignInt16(const QString& text, const std::function<void(std::int16_t)>& assign) {
    const auto value = textToInt16(text);
    if (!value) {
        return notAWholeNumber<std::int16_t>();
    }
    assign(*value);
    return Status::ok();
}

// The texts saveSettings writes, in the order it writes them.
struct StoredText {
    QString section;
    QString key;
    QString text;
};
std::array<StoredText, 7> storedTexts(const SettingsValues& values,
                                      const SerialPortComponent& MSComm1) {
    return {{
        {properties, autoStart.name,
         values.AutoStartEnabled ? QStringLiteral("1") : QStringLiteral("0")},
        {properties, extendedConversion.name, QString::number(values.ExtendedConversionMode)},
        {properties, securityMode.name, QString::number(values.VXBTSecurityMode)},
        {properties, portSettings.name, MSComm1.Settings()},
        {properties, commPort.name, QString::number(MSComm1.CommPort())},
        {properties, handshaking.name, QString::number(MSComm1.Handshaking())},
        {firstRun, when.name, configured},
    }};
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

QList<UnusableSetting> loadSettings(const SettingsStore& store, SettingsValues& values,
                                    SerialPortComponent& MSComm1) {
    values.AutoStartEnabled = read(store, autoStart) != u"0";

    QList<UnusableSetting> unusable;
    // Applies the stored text of `key`, or its default when the stored one is
    // refused; every default is accepted.
    const auto load = [&](const Key& key, const std::function<Status(const QString&)>& apply) {
        const QString text = read(store, key);
        if (Status applied = apply(text); !applied) {
            unusable.append({key.name, text, applied.description(), key.defaultText});
            (void)apply(key.defaultText);
        }
    };
    load(extendedConversion, [&](const QString& text) {
        return assignInt16(text, [&](std::int16_t mode) { values.ExtendedConversionMode = mode; });
    });
    load(securityMode, [&](const QString& text) {
        return assignInt16(text, [&](std::int16_t mode) { values.VXBTSecurityMode = mode; });
    });
    load(portSettings, [&](const QString& text) { return MSComm1.setSettings(text); });
    load(commPort, [&](const QString& text) {
        const auto port = textToInt16(text);
        return port ? MSComm1.setCommPort(*port) : notAWholeNumber<std::int16_t>();
    });
    load(handshaking, [&](const QString& text) {
        const auto code = textToInt32(text);
        return code ? MSComm1.setHandshaking(*code) : notAWholeNumber<std::int32_t>();
    });
    return unusable;
}

QString unusableSettingsText(const QList<UnusableSetting>& unusable) {
    QString text = QStringLiteral("Some stored settings could not be used. Each of them is "
                                  "replaced by its default, which is saved in its place at exit; "
                                  "the other settings are used as stored.\n");
    for (const UnusableSetting& setting : unusable) {
        text += QStringLiteral("\n%1 = \"%2\": %3 %4 is used instead.")
                    .arg(setting.key, setting.storedText, setting.reason, setting.usedText);
    }
    return text;
}

Status saveSettings(SettingsStore& store, const SettingsValues& values,
                    const SerialPortComponent& MSComm1) {
    Status result = Status::ok();
    for (const StoredText& stored : storedTexts(values, MSComm1)) {
        Status written = store.SaveSetting(stored.section, stored.key, stored.text);
        if (result && !written) {
            result = written;
        }
    }
    return result;
}

QString typingBackend(const SettingsStore& store) {
    const QString value = store.GetSetting(typing, backend.name, backend.defaultText).trimmed();
    return value.isEmpty() ? backend.defaultText : value;
}

QStringList settingsTexts(const SettingsValues& values, const SerialPortComponent& MSComm1) {
    QStringList texts;
    for (const StoredText& stored : storedTexts(values, MSComm1)) {
        texts << stored.text;
    }
    return texts;
}

} // namespace vxorv
