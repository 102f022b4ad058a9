// VXORV: types what a remote scanner sends over a serial port into the
// focused window, and lives in the notification area.

#include "collection/data_collection.hpp"
#include "platform/port_device.hpp"
#include "platform/qlibrary_link_library.hpp"
#include "platform/qt_serial_devices.hpp"
#include "platform/qt_serial_port.hpp"
#include "platform/qt_timer.hpp"
#include "platform/single_instance.hpp"
#include "platform/user_settings_store.hpp"
#include "platform/widgets/qt_message_boxes.hpp"
#include "platform/widgets/qt_tray_icon.hpp"
#include "settings/settings.hpp"
#include "shell/form1.hpp"
#include "shell/own_focus_watch.hpp"
#include "shell/popup_menu.hpp"
#include "shell/qt_shell_windows.hpp"
#include "shell/shell.hpp"
#include "shell/termination_signals.hpp"
#include "typing/keystroke_backend_factory.hpp"
#include "typing/send_keys.hpp"

#include <QApplication>
#include <QDir>
#include <QPushButton>

#include <chrono>

int main(int argc, char** argv) {
    using namespace vxorv;

    QApplication application(argc, argv);
    QApplication::setApplicationName(settingsApplication);
    QApplication::setApplicationVersion(QStringLiteral(VXORV_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vxorv"));
    // The program stays resident in the notification area with no window shown.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per user, display and settings file: a later start brings the
    // running copy's main window up and ends.
    SingleInstance instance(
        SingleInstance::defaultDirectory(),
        SingleInstance::keyFor(userSettingsLocation(settingsApplication)));
    if (!instance.claim()) {
        if (instance.activateRunningCopy(std::chrono::seconds(5))) {
            qInfo("VXORV is already running; its main window is shown.");
            return 0;
        }
        qCritical("VXORV is already running but does not answer; end it before starting it again.");
        return 1;
    }

    const std::unique_ptr<SettingsStore> userSettings = openUserSettingsStore(settingsApplication);
    SettingsStore& store = *userSettings;
    auto devicePath = [&store](std::int16_t port) { return devicePathForPort(store, port); };
    QtSerialPort MSComm1(devicePath, portMappingHint(userSettingsLocation(settingsApplication)));
    QLibraryLinkLibrary library(QLibraryLinkLibrary::defaultFileName(),
                                QLibraryLinkLibrary::defaultDirectories());
    KeystrokeBackendChoice backend = chooseKeystrokeBackend(typingBackend(store).toStdString());
    const QString typingBackendName = QString::fromStdString(backend.name);
    SendKeys injector(std::move(backend.backend), QString::fromStdString(backend.problem));
    QtTimer BTPollingTimer;
    QtTimer RetryTimer;
    QtTrayIcon trayIcon(QIcon(QStringLiteral(":/vxorv/started.png")),
                        QIcon(QStringLiteral(":/vxorv/stopped.png")));
    QtMessageBoxes messageBoxes;
    // Keys that could not be typed: traced by the injector, and told to the
    // user once per message, in a balloon or, without one, a message box.
    injector.setOnUntyped([&application, &trayIcon, &messageBoxes](const UntypedKeys& untyped) {
        QMetaObject::invokeMethod(
            &application,
            [&trayIcon, &messageBoxes, text = describeUntyped(untyped)] {
                if (!trayIcon.showBalloon(text)) {
                    messageBoxes.show(text, MessageBoxes::Icon::Exclamation,
                                      MessageBoxes::Buttons::Ok);
                }
            },
            Qt::QueuedConnection);
    });
    SettingsValues settings;
    FirstLaunchFlags flags;

    DataCollection collection(
        {MSComm1, BTPollingTimer, library, injector, trayIcon, messageBoxes, settings, flags});
    Form1 form;
    QtSerialDeviceList serialDevices;
    // The help page of an install, found from the program's place; else the
    // source tree's, for a program run from its build tree.
    const QStringList helpPages{
        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                            .filePath(QStringLiteral(VXORV_MANUAL_FROM_BINDIR))),
        QStringLiteral(VXORV_SOURCE_MANUAL)};
    QtShellWindows windows(form, {MSComm1, settings, flags, messageBoxes, devicePath,
                                  QPixmap(QStringLiteral(":/vxorv/badge.png")), helpPages,
                                  &serialDevices, [&store](std::int16_t port, const QString& path) {
                                      return mapPortToDevice(store, port, path);
                                  }});
    Shell shell({store, settings, flags, MSComm1, collection, library, trayIcon, messageBoxes,
                 RetryTimer, windows, devicePath, typingBackendName},
                {VXORV_VERSION_MAJOR, VXORV_VERSION_MINOR, VXORV_VERSION_PATCH});

    QObject::connect(form.btnStart, &QPushButton::clicked, [&shell] { shell.startCommand(); });
    QObject::connect(form.btnStop, &QPushButton::clicked, [&shell] { shell.stopCommand(); });
    QObject::connect(form.btnProperties, &QPushButton::clicked,
                     [&shell] { shell.propertiesOpen(); });
    QObject::connect(form.btnHide, &QPushButton::clicked, [&shell] { shell.hideCommand(); });
    QObject::connect(form.btnExit, &QPushButton::clicked, [&shell] { shell.applicationExit(); });
    form.setOnCloseRequest([&shell] { shell.hideCommand(); });

    PopupMenu popup({.state = [&shell] { return shell.popupMenuState(); },
                     .start = [&shell] { shell.startCommand(); },
                     .stop = [&shell] { shell.stopCommand(); },
                     .properties = [&shell] { shell.propertiesOpen(); },
                     .about = [&windows] { windows.showMainWindow(); },
                     .exit = [&shell] { shell.applicationExit(); }});
    trayIcon.setContextMenu(&popup);
    OwnFocusWatch focusWatch([&injector](bool ours) { injector.setHeld(ours); });
    focusWatch.watchMenu(popup);
    trayIcon.setOnLeftClick([&windows] { windows.showMainWindow(); });
    instance.setOnActivation([&windows] { windows.showMainWindow(); });

    // The end of the session and a request to terminate end the program
    // as the Exit command does, settings saved, without waiting for anyone.
    const auto unattendedExit = [&shell] { shell.applicationExit(ExitRequest::Unattended); };
    TerminationSignals terminationSignals(unattendedExit);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, unattendedExit);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, unattendedExit);

    shell.startUp();
    if (shell.ended()) {
        return windows.exitStatus(); // ended before the event loop ran
    }
    return QApplication::exec();
}
