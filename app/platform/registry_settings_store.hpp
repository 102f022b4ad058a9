#pragma once

#include "platform/settings_store.hpp"

#include <QSettings>

namespace vxorv {

// The settings store in the Windows registry, where programs of this kind have
// always kept theirs: HKEY_CURRENT_USER\Software\VB and VBA Program
// Settings\<application>\<section>, one string value per key. Values an
// earlier installation left there read as they stand.
class RegistrySettingsStore final : public SettingsStore {
  public:
    explicit RegistrySettingsStore(const QString& application);

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    Status SaveSetting(const QString& section, const QString& key, const QString& value) override;
    Status readStatus() const override { return m_readStatus; }

    // The registry key of `application`'s sections.
    static QString keyFor(const QString& application);

  private:
    mutable QSettings m_settings;
    Status m_readStatus;
};

} // namespace vxorv
