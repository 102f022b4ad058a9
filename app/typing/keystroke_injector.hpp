#pragma once

#include <QString>

#include <cstddef>

namespace vxorv {

// The keystroke injector the receive path types through (`SendKeys`): takes a
// keystroke string (syntax: keystroke_parser.hpp) and returns as soon as its
// keys are queued for the focused application. The queue (the backlog) is
// bounded: the receive path takes no more data than room() allows, so a
// sender faster than typing is held back instead of filling memory.
class KeystrokeInjector {
  public:
    virtual ~KeystrokeInjector() = default;

    // False when no way to type keystrokes exists on this desktop;
    // unavailableReason() then says what is missing and how to fix it.
    virtual bool available() const = 0;
    virtual QString unavailableReason() const = 0;

    // Keys that still fit in the backlog. A keystroke string of n characters
    // never makes more than n keys.
    virtual std::size_t room() const = 0;
    // Queues the keys of `keystrokes`; when they do not fit in the backlog,
    // none of them is queued and they count as discarded.
    virtual void sendKeys(const QString& keystrokes) = 0;
    // Drops every key not yet typed (the key being typed is finished) and
    // returns how many were dropped.
    virtual std::size_t discardPending() = 0;
};

} // namespace vxorv
