#include "command.hpp"

#include "platform/ini_settings_store.hpp"
#include "platform/port_device.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_devices.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/serial_device_check.hpp"
#include "settings/settings.hpp"
#include "typing/keystroke_backend_factory.hpp"

#include <QFileInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>

namespace vxorv::vxbt {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Prints "Label:  first line" and further lines indented under it.
class Report {
  public:
    explicit Report(std::ostream& out) : m_out(out) {}

    void section(const std::string& label, const std::string& text) {
        m_out << label << ':' << std::string(column - 1 - label.size(), ' ') << text << '\n';
    }
    void more(const std::string& text) { m_out << std::string(column, ' ') << text << '\n'; }

  private:
    static constexpr std::size_t column = 17; // after the longest label, "Configured port:"
    std::ostream& m_out;
};

std::string session() {
    const std::string desktop = env("XDG_CURRENT_DESKTOP");
    if (!env("WAYLAND_DISPLAY").empty()) {
        std::string compositor = desktop;
        if (!env("SWAYSOCK").empty()) {
            compositor = "sway";
        } else if (!env("HYPRLAND_INSTANCE_SIGNATURE").empty()) {
            compositor = "Hyprland";
        }
        return "Wayland (" + (compositor.empty() ? "compositor unknown" : compositor) +
               ", WAYLAND_DISPLAY=" + env("WAYLAND_DISPLAY") + ")";
    }
    if (!env("DISPLAY").empty()) {
        return "X11 (" + (desktop.empty() ? std::string() : desktop + ", ") +
               "DISPLAY=" + env("DISPLAY") + ")";
    }
    return "none: neither DISPLAY nor WAYLAND_DISPLAY is set, so there is no window to type into";
}

bool checkTyping(Report& report, const SettingsStore& store) {
    const KeystrokeBackendChoice choice =
        chooseKeystrokeBackend(typingBackend(store).toStdString());
    if (choice.backend) {
        report.section("Typing", choice.name + ", the backend VXORV would type through");
    } else {
        report.section("Typing", "no way to type keys. " + choice.problem);
    }
    for (const KeystrokeBackendCheck& other : checkKeystrokeBackends()) {
        if (other.name == choice.name) {
            continue;
        }
        report.more(other.name + ": " +
                    (other.problem.empty() ? "could type too, but is not the one chosen here"
                                           : "cannot type: " + other.problem));
    }
    return choice.backend != nullptr;
}

// Whether this user may read and write `path`, and if not, what to do.
std::string accessAdvice(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    if (::access(file.constData(), R_OK | W_OK) == 0) {
        return "you may open it";
    }
    struct stat info {};
    if (::stat(file.constData(), &info) != 0) {
        return "cannot be examined";
    }
    const group* owner = ::getgrgid(info.st_gid);
    const std::string groupName = owner ? owner->gr_name : std::to_string(info.st_gid);
    if (info.st_gid == 0 || !(info.st_mode & S_IWGRP)) {
        return "you may not open it: ask your administrator for read and write access";
    }
    const passwd* user = ::getpwuid(::getuid());
    bool listed = false;
    for (char** member = owner ? owner->gr_mem : nullptr; member && *member; ++member) {
        listed = listed || (user && std::string(*member) == user->pw_name);
    }
    if (listed) {
        return "you may not open it yet: you are in the group \"" + groupName +
               "\", but this session began before; log out and in again";
    }
    return "you may not open it: join the group \"" + groupName + "\" with \"sudo usermod -aG " +
           groupName + " $USER\", then log out and in again";
}

void listSerialDevices(Report& report) {
    const std::vector<SerialDevice> devices = QtSerialDeviceList().devices();
    if (devices.empty()) {
        report.section("Serial devices", "none found (USB, Bluetooth rfcomm or built-in)");
        return;
    }
    bool first = true;
    for (const SerialDevice& device : devices) {
        const std::string line = device.path.toStdString() + " (" +
                                 device.description.toStdString() +
                                 "): " + accessAdvice(device.systemPath);
        first ? report.section("Serial devices", line) : report.more(line);
        first = false;
    }
}

bool checkConfiguredPort(Report& report, const IniSettingsStore& store) {
    SettingsValues values;
    QtSerialPort port([](std::int16_t) { return QString(); }, QString());
    loadSettings(store, values, port);
    const QString path = devicePathForPort(store, port.CommPort());
    const std::string opens = "port " + std::to_string(port.CommPort()) + " opens " +
                              path.toStdString() + " (" + store.fileName().toStdString() + ")";
    const SerialDeviceKind kind = serialDeviceKind(path);
    if (kind == SerialDeviceKind::Missing) {
        report.section("Configured port", opens);
        report.more("the device does not exist: connect and switch on the scanner, or choose its "
                    "device in VXORV's Properties");
        return false;
    }
    if (const QString reason = notASerialPortReason(path, kind); !reason.isEmpty()) {
        report.section("Configured port", opens);
        report.more(reason.toStdString() + " Choose the scanner's device in VXORV's Properties");
        return false;
    }
    const std::string advice = accessAdvice(path);
    report.section("Configured port", opens);
    report.more("a serial port; " + advice);
    return advice == "you may open it";
}

std::string loadedFrom(const QLibraryLinkLibrary& library) {
    const QString file = library.loadedFrom();
    return QFileInfo(file).isAbsolute() ? file.toStdString() : "the system's library path";
}

bool checkLinkLibrary(Report& report) {
    QLibraryLinkLibrary library(QStringLiteral("libwinvxbt.so"),
                                QLibraryLinkLibrary::defaultDirectories());
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t build = 0;
    if (!library.VXBT_get_ver(&major, &minor, &build)) {
        report.section("Link library", library.bindingError().toStdString());
        return false;
    }
    report.section("Link library", "libwinvxbt.so " + std::to_string(major) + '.' +
                                       std::to_string(minor) + '.' + std::to_string(build) +
                                       " loads from " + loadedFrom(library));
    return true;
}

void checkUinput(Report& report) {
    const QString uinput = QStringLiteral("/dev/uinput");
    if (!QFileInfo::exists(uinput)) {
        report.section("uinput", "/dev/uinput is missing (load the module: sudo modprobe uinput); "
                                 "needed only where no other backend types");
        return;
    }
    report.section("uinput", "/dev/uinput: " + accessAdvice(uinput));
}

int runDoctor(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {}, {});
    Report report(io.out);
    const IniSettingsStore store(settingsApplication);
    report.section("Session", session());
    const bool types = checkTyping(report, store);
    listSerialDevices(report);
    const bool collects = checkConfiguredPort(report, store);
    const bool links = checkLinkLibrary(report);
    checkUinput(report);
    if (types && collects && links) {
        io.out << "\nVXORV can collect and type here.\n";
        return 0;
    }
    const char* cannot = !types && !(collects && links) ? "collect or type"
                         : !types                       ? "type"
                                                        : "collect";
    io.out << "\nVXORV cannot " << cannot << " here: see above for what to do.\n";
    return 1;
}

} // namespace

Command doctorCommand() {
    return {"doctor", "",
            "Checks this machine for VXORV and says what to do, in words: the desktop\n"
            "session, the keystroke backend VXORV would type through (and what the others\n"
            "lack), the serial devices present and whether you may open them, whether the\n"
            "device of the configured port exists and is a serial port, whether the link\n"
            "library loads, and access to /dev/uinput. Reads the settings VXORV keeps\n"
            "(~/.config/VXORV/VXORV.ini).\n"
            "\n"
            "Exit status: 0 when VXORV can collect and type here, 1 otherwise.\n",
            runDoctor};
}

} // namespace vxorv::vxbt
