#pragma once

#include "platform/settings_store.hpp"

#include <QSettings>

namespace vxorv {

// The settings store as an INI file, one per user and application:
// $XDG_CONFIG_HOME/<application>/<application>.ini (~/.config/... by default),
// sections as groups. A missing or empty file reads as empty; so does one
// that cannot be read, which readStatus reports.
class IniSettingsStore final : public SettingsStore {
  public:
    explicit IniSettingsStore(const QString& application);

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    Status SaveSetting(const QString& section, const QString& key, const QString& value) override;
    Status readStatus() const override { return m_readStatus; }

    QString fileName() const { return m_settings.fileName(); }

    // Where the store of `application` lives for the current user.
    static QString fileNameFor(const QString& application);

  private:
    mutable QSettings m_settings;
    Status m_readStatus;
};

} // namespace vxorv
