#pragma once

#include "platform/tray_icon.hpp"

#include <optional>
#include <utility>
#include <vector>

namespace vxorv {

class FakeTrayIcon final : public TrayIcon {
  public:
    std::vector<std::pair<Picture, QString>> updates;
    int removals = 0;

    std::optional<Picture> picture() const {
        return updates.empty() ? std::nullopt : std::optional(updates.back().first);
    }
    QString tip() const { return updates.empty() ? QString() : updates.back().second; }

    void trayIconUpdate(Picture picture, const QString& tip) override {
        updates.emplace_back(picture, tip);
    }
    void trayIconRemove() override { ++removals; }
};

} // namespace vxorv
