#pragma once

#include "collection/data_collection.hpp"
#include "platform/link_library.hpp"
#include "platform/message_boxes.hpp"
#include "platform/serial_port_component.hpp"
#include "platform/settings_store.hpp"
#include "platform/timer.hpp"
#include "platform/tray_icon.hpp"
#include "settings/settings.hpp"
#include "shell/shell_windows.hpp"

#include <cstdint>
#include <functional>

namespace vxorv {

// What the shell works with; all owned by the application.
struct ShellParts {
    SettingsStore& store;
    SettingsValues& settings;
    FirstLaunchFlags& flags;
    SerialPortComponent& MSComm1;
    DataCollection& collection;
    LinkLibrary& library;
    TrayIcon& trayIcon;
    MessageBoxes& messageBoxes;
    Timer& RetryTimer;
    ShellWindows& windows;
    // The device a port number opens, and the name of the keystroke backend
    // in use (empty: none): both for the main window's status line.
    std::function<QString(std::int16_t)> devicePathForPort = {};
    QString typingBackend = {};
};

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// "Version: 2.0.3 - WinVXBT.dll version: 2.0.0": every number in decimal
// without padding.
QString versionLabelText(ProgramVersion program, std::uint8_t verMajor, std::uint8_t verMinor,
                         std::uint8_t verBuild);

// Who ends the program: the user's Exit command can be answered with a
// message box; log-out and termination signals cannot wait for anyone.
enum class ExitRequest { Command, Unattended };

// What the main window's status line says about collection.
struct CollectionStatus {
    bool running = false;
    std::int16_t port = 1;
    QString device = {};
    QString stopReason = {}; // of the last failed start or lost device; empty: none
    bool retrying = false;
    QString typingBackend = {}; // empty: nothing can type
};

// One line: collecting on which port and device, or stopped with the reason
// and whether it retries; and how keys are typed.
QString statusLineText(const CollectionStatus& status);

// The enabled state of the popup menu's Start and Stop items.
struct PopupMenuState {
    bool startEnabled = false;
    bool stopEnabled = false;
};

// Start-up, the auto-start and its retry, the Properties command, the
// popup menu's state and the exit: the logic of the main window, written
// against the platform's interfaces. Everything runs on the user-interface
// thread.
class Shell {
  public:
    Shell(const ShellParts& parts, ProgramVersion version);
    ~Shell();

    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Runs the whole start-up once the main window exists. When it ends the
    // program (the link library cannot be bound), ended() is true afterwards.
    void startUp();
    void applicationStart(bool startAllowed);
    // Removes the icon, saves the settings unless a first setup is
    // unconfirmed, and ends the program. A failed save is shown in a message
    // box after the Exit command, and only written to the trace (standard
    // error) when nobody can answer a box. Runs once; a later unattended
    // request ends the program even while that box is open.
    void applicationExit(ExitRequest request = ExitRequest::Command);
    void propertiesOpen();

    // The main window's Start and Stop commands and those of the popup menu.
    void startCommand();
    // Also ends the retry that follows a vanished device: the user chose to stop.
    void stopCommand();
    // Hide button and close box: hides the window, or minimises it where no
    // notification area can bring it back.
    void hideCommand();

    PopupMenuState popupMenuState() const;

    // RetryTimer's tick; wired by the constructor, public so that tests can
    // drive it.
    void onRetryTick();

    bool ended() const { return m_ended; }

  private:
    void armRetry();
    void onDeviceLost();
    // Tells the user in a message box and writes it to the trace.
    void report(const QString& text, MessageBoxes::Icon icon);
    void showStatus();

    ShellParts m_parts;
    ProgramVersion m_version;
    bool m_ended = false;
    int m_exitStatus = 0;
    // What the settings were once loaded, and whether the confirmed first
    // setup failed to reach the store: together, whether a failed save at
    // exit loses anything.
    QStringList m_loadedSettings;
    bool m_firstSetupUnsaved = false;
    bool m_resumeAfterLoss = false; // RetryTimer armed because the device vanished
};

} // namespace vxorv
