#pragma once

#include "typing/keystroke_injector.hpp"

#include <QStringList>

#include <algorithm>

namespace vxorv {

// Records every keystroke string handed to it; `roomLeft` is what room()
// answers, lowered by each string taken.
class FakeKeystrokeInjector final : public KeystrokeInjector {
  public:
    QStringList sent;
    QString missing; // non-empty: no backend, for this reason
    std::size_t roomLeft = 1'000'000;
    int discards = 0;

    bool available() const override { return missing.isEmpty(); }
    QString unavailableReason() const override { return missing; }
    std::size_t room() const override { return roomLeft; }
    void sendKeys(const QString& keystrokes) override {
        sent << keystrokes;
        roomLeft -= std::min(roomLeft, static_cast<std::size_t>(keystrokes.size()));
    }
    std::size_t discardPending() override {
        ++discards;
        return 0;
    }
};

} // namespace vxorv
