#pragma once

#include "collection/receive_trace.hpp"
#include "platform/link_library.hpp"
#include "platform/message_boxes.hpp"
#include "platform/serial_port_component.hpp"
#include "platform/timer.hpp"
#include "platform/tray_icon.hpp"
#include "settings/settings.hpp"
#include "typing/keystroke_injector.hpp"

#include <functional>

namespace vxorv {

// What data collection works with; all owned by the application.
struct DataCollectionParts {
    SerialPortComponent& MSComm1;
    Timer& BTPollingTimer;
    LinkLibrary& library;
    KeystrokeInjector& injector;
    TrayIcon& trayIcon;
    MessageBoxes& messageBoxes;
    const SettingsValues& settings;
    const FirstLaunchFlags& flags;
};

inline const QString applicationTitle = QStringLiteral("Veltrix Orvex");

// Starting and stopping data collection, and the receive path that carries
// received data from the serial port to the keyboard. Data collection runs
// exactly while the serial port is open. Everything runs on the
// user-interface thread. One instance at a time: it owns the registration
// through which the library's replies reach the serial port.
class DataCollection {
  public:
    explicit DataCollection(const DataCollectionParts& parts);
    ~DataCollection();

    DataCollection(const DataCollection&) = delete;
    DataCollection& operator=(const DataCollection&) = delete;

    // Opens the port for the receive path the settings choose; true when the
    // port is open at the end. A failure is shown in a message box only when
    // `verbose`.
    bool dataCollectionStart(bool verbose);
    // Closes the port and the channel and drops the keys not yet typed.
    void dataCollectionStop();
    bool IsDataCollectionRunnning() const;
    // The program ends: drops the keys not yet typed and takes no more data
    // for typing, whether or not collection goes on until then.
    void endTyping();

    // The serial port's OnComm event and the BTPollingTimer tick; wired by
    // the constructor, public so that tests can drive them.
    void onComm();
    void onPollingTick();

    // Called when the device vanished while collecting: the port is closed
    // and the icon shows collection stopped; the text says what happened.
    void setOnDeviceLost(std::function<void(const QString&)> handler);

    const ReceiveTrace& trace() const { return m_trace; }
    // Why the last start failed or the device was lost, as a message box would
    // say it; empty once a start succeeded or collection was stopped.
    const QString& lastFailure() const { return m_lastFailure; }

  private:
    bool fail(bool verbose, const QString& description);
    void showTrayState(bool started);
    void receiveFrames();
    void receiveText();
    void onDeviceLost();
    std::size_t typingRoom() const;

    DataCollectionParts m_parts;
    bool m_protocolPath = false; // the path the port was last prepared for
    bool m_typingEnded = false;
    ReceiveTrace m_trace;
    std::function<void(const QString&)> m_onDeviceLost;
    QString m_lastFailure;
};

} // namespace vxorv
