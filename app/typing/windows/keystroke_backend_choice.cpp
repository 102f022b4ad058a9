#include "typing/keystroke_backend_factory.hpp"

#include "typing/windows/send_input_backend.hpp"

#include <algorithm>
#include <cctype>

namespace vxorv {
namespace {

const std::string sendInputName = "SendInput";

bool sameName(const std::string& a, const std::string& b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

} // namespace

// Windows has one way to type into the windows of the desktop: SendInput.
KeystrokeBackendChoice chooseKeystrokeBackend(const std::string& setting) {
    if (!setting.empty() && !sameName(setting, automaticBackend) &&
        !sameName(setting, sendInputName)) {
        return {nullptr, {},
                "The [Typing] Backend setting names no keystroke backend of Windows: \"" +
                    setting + "\". Set it to auto or SendInput."};
    }
    return {std::make_unique<SendInputBackend>(), sendInputName, {}};
}

} // namespace vxorv
