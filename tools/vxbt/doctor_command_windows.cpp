#include "command.hpp"

#include "platform/port_device.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/serial_device_check.hpp"
#include "platform/user_settings_store.hpp"
#include "settings/settings.hpp"
#include "typing/keystroke_backend_factory.hpp"

#include <QSerialPortInfo>

#include <ostream>

namespace vxorv::vxbt {
namespace {

void section(std::ostream& out, const std::string& label, const std::string& text) {
    out << label << ':' << std::string(17 - 1 - label.size(), ' ') << text << '\n';
}

bool checkTyping(std::ostream& out, const SettingsStore& store) {
    const KeystrokeBackendChoice choice =
        chooseKeystrokeBackend(typingBackend(store).toStdString());
    section(out, "Typing",
            choice.backend ? choice.name + ", the backend VXORV would type through"
                           : "no way to type keys. " + choice.problem);
    return choice.backend != nullptr;
}

void listSerialPorts(std::ostream& out) {
    std::string names;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        names += (names.empty() ? "" : ", ") + port.portName().toStdString();
    }
    section(out, "Serial ports", names.empty() ? "none found" : names);
}

bool checkConfiguredPort(std::ostream& out, const SettingsStore& store) {
    SettingsValues values;
    QtSerialPort port([](std::int16_t) { return QString(); }, QString());
    loadSettings(store, values, port);
    const QString path = devicePathForPort(store, port.CommPort());
    const bool present = serialDeviceKind(path) == SerialDeviceKind::SerialPort;
    section(out, "Configured port",
            "port " + std::to_string(port.CommPort()) + " opens " + path.toStdString() +
                (present ? ", which Windows lists"
                         : ", which Windows does not list: connect and switch on the scanner, "
                           "or choose another port in VXORV's Properties"));
    return present;
}

bool checkLinkLibrary(std::ostream& out) {
    QLibraryLinkLibrary library(QLibraryLinkLibrary::defaultFileName(),
                                QLibraryLinkLibrary::defaultDirectories());
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint8_t build = 0;
    if (!library.VXBT_get_ver(&major, &minor, &build)) {
        section(out, "Link library", library.bindingError().toStdString());
        return false;
    }
    section(out, "Link library",
            "winvxbt.dll " + std::to_string(major) + '.' + std::to_string(minor) + '.' +
                std::to_string(build) + " loads from " + library.loadedFrom().toStdString());
    return true;
}

int runDoctor(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {}, {});
    const std::unique_ptr<SettingsStore> store = openUserSettingsStore(settingsApplication);
    const bool types = checkTyping(io.out, *store);
    listSerialPorts(io.out);
    const bool collects = checkConfiguredPort(io.out, *store);
    const bool links = checkLinkLibrary(io.out);
    if (types && collects && links) {
        io.out << "\nVXORV can collect and type here.\n";
        return 0;
    }
    io.out << "\nVXORV cannot " << (types ? "collect" : "type") << " here: see above.\n";
    return 1;
}

} // namespace

Command doctorCommand() {
    return {"doctor", "",
            "Checks this machine for VXORV and says what to do, in words: the keystroke\n"
            "backend, the serial ports Windows lists, whether the configured port is among\n"
            "them, and whether the link library loads. Reads the settings VXORV keeps\n"
            "(HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\VXORV).\n"
            "\n"
            "Exit status: 0 when VXORV can collect and type here, 1 otherwise.\n",
            runDoctor};
}

} // namespace vxorv::vxbt
