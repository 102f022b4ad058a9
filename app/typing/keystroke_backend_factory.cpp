#include "typing/keystroke_backend_factory.hpp"

#include "typing/uinput/uinput_backend.hpp"
#include "typing/x11/xtest_backend.hpp"

#include <array>
#include <cstdlib>

namespace vxorv {

KeystrokeBackendChoice chooseKeystrokeBackend() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return chooseKeystrokeBackend({
        [](std::string& problem) -> std::unique_ptr<KeystrokeBackend> {
            return XTestBackend::open(problem);
        },
        [](std::string& problem) -> std::unique_ptr<KeystrokeBackend> {
            return UinputBackend::open(problem);
        },
        wayland != nullptr&&* wayland != '\0',
    });
}

KeystrokeBackendChoice chooseKeystrokeBackend(const KeystrokeBackendOpeners& openers) {
    struct Candidate {
        const char* name;
        const KeystrokeBackendOpeners::Opener* open;
        std::string problem;
    };
    std::array<Candidate, 2> candidates{
        {{"XTest", &openers.xtest, {}}, {"uinput", &openers.uinput, {}}}};
    if (openers.waylandSession) {
        std::swap(candidates[0], candidates[1]);
    }
    for (Candidate& candidate : candidates) {
        if (std::unique_ptr<KeystrokeBackend> backend = (*candidate.open)(candidate.problem)) {
            return {std::move(backend), candidate.name, {}};
        }
    }
    const Candidate& xtest = candidates[openers.waylandSession ? 1 : 0];
    const Candidate& uinput = candidates[openers.waylandSession ? 0 : 1];
    return {nullptr,
            {},
            "No way to type keystrokes on this desktop. X11 (XTest): " + xtest.problem +
                ". Virtual keyboard (uinput): " + uinput.problem +
                ". Run VXORV in an X11 session, or give it access to /dev/uinput as the README "
                "describes."};
}

} // namespace vxorv
