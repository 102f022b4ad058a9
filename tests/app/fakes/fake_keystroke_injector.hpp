#pragma once

#include "typing/keystroke_injector.hpp"

#include <QStringList>

namespace vxorv {

// Records every keystroke string handed to it.
class FakeKeystrokeInjector final : public KeystrokeInjector {
  public:
    QStringList sent;
    QString missing; // non-empty: no backend, for this reason

    bool available() const override { return missing.isEmpty(); }
    QString unavailableReason() const override { return missing; }
    void sendKeys(const QString& keystrokes) override { sent << keystrokes; }
};

} // namespace vxorv
