#pragma once

#include <QString>

namespace vxorv {

// The keystroke injector the receive path types through (`SendKeys`): takes a
// keystroke string (syntax: keystroke_parser.hpp) and returns as soon as its
// keys are queued for the focused application.
class KeystrokeInjector {
  public:
    virtual ~KeystrokeInjector() = default;

    // False when no way to type keystrokes exists on this desktop;
    // unavailableReason() then says what is missing and how to fix it.
    virtual bool available() const = 0;
    virtual QString unavailableReason() const = 0;

    virtual void sendKeys(const QString& keystrokes) = 0;
};

} // namespace vxorv
