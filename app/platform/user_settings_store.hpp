#pragma once

#include "platform/settings_store.hpp"

#include <memory>

namespace vxorv {

// The per-user settings store of `application` on this platform (an INI file
// on Linux, the registry on Windows), and where it lives, for messages.
std::unique_ptr<SettingsStore> openUserSettingsStore(const QString& application);
QString userSettingsLocation(const QString& application);

} // namespace vxorv
