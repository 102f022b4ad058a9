#include "typing/kde/fake_input_key_device.hpp"

#include "fake-input-client-protocol.h"
#include "typing/wayland/wayland_round_trip.hpp"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

namespace vxorv::kde {

namespace {

// keyboard_key came with version 4 of the interface.
constexpr std::uint32_t keyboardVersion = 4;

struct Globals {
    org_kde_kwin_fake_input* fakeInput = nullptr;
    std::uint32_t version = 0;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (globals->fakeInput == nullptr &&
        std::string_view(interface) == org_kde_kwin_fake_input_interface.name) {
        globals->version = std::min(version, keyboardVersion);
        globals->fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, globals->version));
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

} // namespace

std::unique_ptr<FakeInputKeyDevice> FakeInputKeyDevice::open(std::string& problem) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        problem = "no Wayland compositor";
        return nullptr;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    std::string failure;
    const bool answered = waylandRoundTrip(display, failure);
    if (!answered || globals.fakeInput == nullptr || globals.version < keyboardVersion) {
        problem = !answered ? failure
                  : globals.fakeInput == nullptr
                      ? "the compositor offers no fake input to VXORV (not KDE Plasma, or "
                        "VXORV's desktop entry is not installed)"
                      : "KDE's fake input is too old to type keys (version " +
                            std::to_string(globals.version) + ")";
        if (globals.fakeInput != nullptr) {
            org_kde_kwin_fake_input_destroy(globals.fakeInput);
        }
        wl_registry_destroy(registry);
        wl_display_disconnect(display);
        return nullptr;
    }
    org_kde_kwin_fake_input_authenticate(globals.fakeInput, "VXORV",
                                         "types what a remote scanner reads");
    return std::unique_ptr<FakeInputKeyDevice>(
        new FakeInputKeyDevice(display, registry, globals.fakeInput));
}

FakeInputKeyDevice::FakeInputKeyDevice(wl_display* display, wl_registry* registry,
                                       org_kde_kwin_fake_input* fakeInput)
    : m_display(display), m_registry(registry), m_fakeInput(fakeInput) {}

FakeInputKeyDevice::~FakeInputKeyDevice() {
    org_kde_kwin_fake_input_destroy(m_fakeInput);
    wl_registry_destroy(m_registry);
    std::string failure;
    waylandRoundTrip(m_display, failure);
    wl_display_disconnect(m_display);
}

bool FakeInputKeyDevice::key(uinput::EvdevCode code, bool down) {
    if (!m_failure.empty()) {
        return false;
    }
    org_kde_kwin_fake_input_keyboard_key(m_fakeInput, code, down ? 1 : 0);
    // A roundtrip after each release confirms that the compositor has the
    // key before it counts as typed, and keeps us from writing faster than
    // its socket drains (which would end the connection).
    std::string failure;
    const bool delivered = down ? wl_display_flush(m_display) >= 0 || errno == EAGAIN
                                : waylandRoundTrip(m_display, failure);
    if (!delivered) {
        m_failure = failure.empty() ? "lost the connection to KDE's compositor" : failure;
    }
    return delivered;
}

std::optional<std::uint32_t> FakeInputKeyDevice::activeLayout() {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.keyboard"), QStringLiteral("/Layouts"),
        QStringLiteral("org.kde.KeyboardLayouts"), QStringLiteral("getLayout"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt; // a single layout, or no keyboard settings service
    }
    return reply.arguments().constFirst().toUInt();
}

} // namespace vxorv::kde
