#include "typing/kde/kde_backend.hpp"

#include "typing/kde/fake_input_key_device.hpp"
#include "typing/uinput/uinput_backend.hpp"

namespace vxorv {

std::unique_ptr<KeystrokeBackend> openKdeBackend(std::string& problem) {
    std::unique_ptr<kde::FakeInputKeyDevice> device = kde::FakeInputKeyDevice::open(problem);
    return device ? UinputBackend::forSession(std::move(device), problem) : nullptr;
}

} // namespace vxorv
