#include "command.hpp"

#include "collection/keystroke_conversion.hpp"
#include "platform/code_page.hpp"
#include "platform/user_settings_store.hpp"
#include "settings/settings.hpp"
#include "typing/keystroke_backend_factory.hpp"
#include "typing/send_keys.hpp"

#include <QStringList>

#include <limits>
#include <memory>
#include <mutex>
#include <ostream>

namespace vxorv::vxbt {
namespace {

int runType(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {"mode"}, {});
    const auto mode =
        static_cast<std::int32_t>(options.number("mode", std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max(), 0));
    const std::string bytes = readAll(io.in);
    const std::unique_ptr<SettingsStore> store = openUserSettingsStore(settingsApplication);
    KeystrokeBackendChoice choice = chooseKeystrokeBackend(typingBackend(*store).toStdString());
    if (!choice.backend) {
        throw Failure(choice.problem);
    }
    const QString text =
        decodeWindows1252(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    SendKeys injector(std::move(choice.backend));
    std::mutex mutex;
    QStringList untyped;
    injector.setOnUntyped([&](const UntypedKeys& keys) {
        const std::lock_guard lock(mutex);
        untyped.append(describeUntyped(keys));
    });
    injector.sendKeys(textToKeystrokes(text, mode));
    injector.waitUntilTyped();
    const std::lock_guard lock(mutex);
    if (!untyped.isEmpty()) {
        io.err << "vxbt type: through " << choice.name << ": "
               << untyped.join(QStringLiteral("; ")).toStdString() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

Command typeCommand() {
    return {
        "type", "[--mode N]",
        "Reads raw bytes from standard input and types them into the window that has\n"
        "the keyboard focus, exactly as VXORV types received data: decoded as\n"
        "Windows-1252, converted by `vxbt keys` with the same mode, then typed through\n"
        "the keystroke backend VXORV would choose (its [Typing] Backend setting; by\n"
        "default XTest on an X11 display, and in a Wayland session the compositor's\n"
        "virtual keyboard, GNOME, KDE or a uinput keyboard). Waits until everything\n"
        "is typed, then exits.\n"
        "\n"
        "  --mode N   extended conversion mode (default 0): 1 \"IBM AT\", 2, 3 and 4 the\n"
        "             further tables; any other value converts nothing\n"
        "\n"
        "Exit status: 0 when everything was typed; 1 when no backend is available (the\n"
        "message says what is missing and how to fix it) or when some keys could not be\n"
        "typed; 2 for a usage error.\n"
        "\n"
        "The focused window at the moment typing starts gets the keys, so give yourself\n"
        "time to switch to it:\n"
        "  sleep 3; printf 'Order 4711\\203' | vxbt type --mode 1   (types Order 4711, Enter)\n",
        runType};
}

} // namespace vxorv::vxbt
