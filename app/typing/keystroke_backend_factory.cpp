#include "typing/keystroke_backend_factory.hpp"

#include "typing/gnome/gnome_backend.hpp"
#include "typing/kde/kde_backend.hpp"
#include "typing/uinput/uinput_backend.hpp"
#include "typing/wayland/virtual_keyboard_backend.hpp"
#include "typing/x11/xtest_backend.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

namespace vxorv {

namespace {

const char* const virtualKeyboardName = "virtual-keyboard";
const char* const gnomeName = "GNOME";
const char* const kdeName = "KDE";
const char* const uinputName = "uinput";
const char* const xtestName = "XTest";

template <typename Backend> KeystrokeBackendOpener::Open openerOf() {
    return [](std::string& problem) -> std::unique_ptr<KeystrokeBackend> {
        return Backend::open(problem);
    };
}

// Every backend this build has.
std::vector<KeystrokeBackendOpener> allOpeners() {
    return {
        {virtualKeyboardName, openerOf<VirtualKeyboardBackend>()},
        {gnomeName, openerOf<GnomeBackend>()},
        {kdeName, openKdeBackend},
        {uinputName, openerOf<UinputBackend>()},
        {xtestName, openerOf<XTestBackend>()},
    };
}

std::vector<std::string> automaticOrder(DesktopSession session) {
    if (session == DesktopSession::Wayland) {
        return {virtualKeyboardName, gnomeName, kdeName, uinputName};
    }
    return {xtestName, uinputName};
}

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const KeystrokeBackendOpener* find(const std::vector<KeystrokeBackendOpener>& openers,
                                   const std::string& name) {
    const auto found = std::find_if(openers.begin(), openers.end(), [&](const auto& opener) {
        return sameName(opener.name, name);
    });
    return found == openers.end() ? nullptr : &*found;
}

std::string namesOf(const std::vector<KeystrokeBackendOpener>& openers) {
    std::string names;
    for (const KeystrokeBackendOpener& opener : openers) {
        names += (names.empty() ? "" : ", ") + opener.name;
    }
    return names;
}

std::string whatToDo(DesktopSession session) {
    if (session == DesktopSession::Wayland) {
        return "See \"Typing on Wayland\" in the README: on this desktop VXORV can type through "
               "/dev/uinput once you have access to it; XTest reaches X11 windows only and is "
               "used only when the [Typing] Backend setting is XTest.";
    }
    return "Run VXORV in an X11 session, or give it access to /dev/uinput as the README "
           "describes.";
}

} // namespace

KeystrokeBackendChoice chooseKeystrokeBackend(const std::string& setting) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool waylandSession = wayland != nullptr && *wayland != '\0';
    return chooseKeystrokeBackend(
        allOpeners(), waylandSession ? DesktopSession::Wayland : DesktopSession::X11, setting);
}

KeystrokeBackendChoice chooseKeystrokeBackend(const std::vector<KeystrokeBackendOpener>& openers,
                                              DesktopSession session, const std::string& setting) {
    if (!setting.empty() && !sameName(setting, automaticBackend)) {
        const KeystrokeBackendOpener* pinned = find(openers, setting);
        if (pinned == nullptr) {
            return {nullptr,
                    {},
                    "The [Typing] Backend setting names no keystroke backend: \"" + setting +
                        "\". Set it to auto or to one of: " + namesOf(openers) + "."};
        }
        std::string problem;
        if (std::unique_ptr<KeystrokeBackend> backend = pinned->open(problem)) {
            return {std::move(backend), pinned->name, {}};
        }
        return {nullptr,
                {},
                "The [Typing] Backend setting chooses " + pinned->name +
                    ", which cannot type: " + problem + ". Set it to auto to let VXORV choose."};
    }
    std::string problems;
    for (const std::string& name : automaticOrder(session)) {
        const KeystrokeBackendOpener* opener = find(openers, name);
        if (opener == nullptr) {
            continue;
        }
        std::string problem;
        if (std::unique_ptr<KeystrokeBackend> backend = opener->open(problem)) {
            return {std::move(backend), opener->name, {}};
        }
        problems += opener->name + ": " + problem + ". ";
    }
    return {
        nullptr, {}, "No way to type keystrokes on this desktop. " + problems + whatToDo(session)};
}

std::vector<KeystrokeBackendCheck> checkKeystrokeBackends() {
    std::vector<KeystrokeBackendCheck> checks;
    for (const KeystrokeBackendOpener& opener : allOpeners()) {
        std::string problem;
        const bool opens = opener.open(problem) != nullptr;
        checks.push_back({opener.name, opens ? std::string() : problem});
    }
    return checks;
}

} // namespace vxorv
