#include "platform/registry_settings_store.hpp"

#include "platform/user_settings_store.hpp"

namespace vxorv {

namespace {

// Reads the application's key once: a key that exists but cannot be read
// (its permissions changed) reads as empty, and the user must hear of it.
Status checkReadable(QSettings& settings) {
    settings.childGroups();
    if (settings.status() == QSettings::AccessError) {
        return Status::failure(
            QStringLiteral("The settings under %1 could not be read.").arg(settings.fileName()));
    }
    return Status::ok();
}

} // namespace

RegistrySettingsStore::RegistrySettingsStore(const QString& application)
    : m_settings(keyFor(application), QSettings::NativeFormat),
      m_readStatus(checkReadable(m_settings)) {}

QString RegistrySettingsStore::keyFor(const QString& application) {
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
           application;
}

QString RegistrySettingsStore::GetSetting(const QString& section, const QString& key,
                                          const QString& defaultValue) const {
    const QVariant value = m_settings.value(section + u'/' + key);
    return value.isValid() ? value.toString() : defaultValue;
}

Status RegistrySettingsStore::SaveSetting(const QString& section, const QString& key,
                                          const QString& value) {
    m_settings.setValue(section + u'/' + key, value);
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError) {
        return Status::failure(QStringLiteral("The setting %1/%2 could not be written to %3.")
                                   .arg(section, key, m_settings.fileName()));
    }
    return Status::ok();
}

std::unique_ptr<SettingsStore> openUserSettingsStore(const QString& application) {
    return std::make_unique<RegistrySettingsStore>(application);
}

QString userSettingsLocation(const QString& application) {
    return RegistrySettingsStore::keyFor(application);
}

} // namespace vxorv
