#include "typing/kde/kde_backend.hpp"

#include "typing/kde/fake_input_key_device.hpp"
#include "typing/uinput/session_layout.hpp"
#include "typing/uinput/uinput_backend.hpp"

namespace vxorv {

std::unique_ptr<KeystrokeBackend> openKdeBackend(std::string& problem) {
    std::unique_ptr<kde::FakeInputKeyDevice> device = kde::FakeInputKeyDevice::open(problem);
    if (!device) {
        return nullptr;
    }
    std::unique_ptr<uinput::LayoutKeys> layout = uinput::sessionLayout(problem);
    if (!layout) {
        return nullptr;
    }
    return std::make_unique<UinputBackend>(std::move(device), std::move(layout));
}

} // namespace vxorv
