#pragma once

#include "platform/status.hpp"

#include <QString>

namespace vxorv {

// The per-user settings store of one application (`GetSetting` /
// `SaveSetting`): values addressed by section and key, every value text.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // The stored text, or `defaultValue` when the section or key does not exist.
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultValue) const = 0;
    // Creates or replaces the value; a value that could not be stored is a
    // failure the caller sees, described in words a user can act on.
    virtual Status SaveSetting(const QString& section, const QString& key,
                               const QString& value) = 0;
    // A failure when the store exists but could not be read: it then reads
    // as empty, and the user must hear of it.
    virtual Status readStatus() const = 0;
};

} // namespace vxorv
