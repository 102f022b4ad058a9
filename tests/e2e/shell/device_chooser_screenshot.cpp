// Saves a picture of the properties dialog with its device list open, as the
// README shows it: port 1 mapped to a pseudo-terminal, and the list offering a
// USB scanner by its stable name and a Bluetooth link. The devices come from a
// stand-in list, since a test machine has no such hardware.
//   device_chooser_screenshot FILE.png

#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_serial_devices.hpp"
#include "fakes/fake_serial_port.hpp"
#include "settings/dialog/frm_properties.hpp"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <pty.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace vxorv;
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(pictures);
    if (argc != 2) {
        std::fprintf(stderr, "usage: device_chooser_screenshot FILE.png\n");
        return 2;
    }
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(name);

    FakeSerialPort port;
    SettingsValues settings{.AutoStartEnabled = true};
    FirstLaunchFlags flags;
    FakeMessageBoxes boxes;
    FakeSerialDeviceList devices;
    devices.present = {
        {"/dev/serial/by-id/usb-Acme_HS2040_Scanner_0001234567-if00", "/dev/ttyACM0",
         "Acme HS2040 Scanner"},
        {"/dev/rfcomm0", "/dev/rfcomm0", "Bluetooth 00:1A:7D:DA:71:13"},
    };
    frmProperties dialog({port,
                          settings,
                          flags,
                          boxes,
                          [&](std::int16_t) { return pty; },
                          QPixmap(QStringLiteral(":/vxorv/badge.png")),
                          {},
                          &devices,
                          {}});
    dialog.move(20, 20);
    dialog.show();

    QTimer::singleShot(500, [&] { dialog.btnChooseDevice->showMenu(); });
    QTimer::singleShot(1500, [&] {
        const QRect area = dialog.frameGeometry().united(dialog.mnuDevices->geometry());
        const QPixmap picture =
            QGuiApplication::primaryScreen()->grabWindow(0).copy(area.adjusted(-10, -10, 10, 10));
        const bool saved = picture.save(QString::fromLocal8Bit(argv[1]));
        dialog.mnuDevices->close();
        QApplication::exit(saved ? 0 : 1);
    });
    const int status = QApplication::exec();
    ::close(master);
    ::close(slave);
    return status;
}
