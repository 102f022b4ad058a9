#include "platform/ini_settings_store.hpp"

#include <QStandardPaths>
#include <QStringList>

namespace vxorv {
namespace {

QString keyPath(const QString& section, const QString& key) {
    return section + u'/' + key;
}

} // namespace

IniSettingsStore::IniSettingsStore(const QString& application)
    : m_settings(fileNameFor(application), QSettings::IniFormat) {}

QString IniSettingsStore::fileNameFor(const QString& application) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           application + u'/' + application + QStringLiteral(".ini");
}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    const QVariant value = m_settings.value(keyPath(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // An unquoted value with commas, typed by hand ("9600,N,8,1"), reads as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u',');
    }
    return value.toString();
}

Status IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                     const QString& value) {
    m_settings.setValue(keyPath(section, key), value);
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError) {
        return Status::failure(QStringLiteral("The setting %1/%2 could not be written to %3.")
                                   .arg(section, key, m_settings.fileName()));
    }
    return Status::ok();
}

} // namespace vxorv
