#pragma once

#include "platform/message_boxes.hpp"
#include "platform/serial_devices.hpp"
#include "platform/serial_port_component.hpp"
#include "settings/settings.hpp"

#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace vxorv {

class ClickablePicture;

// What the properties dialog reads and edits, all owned by the application.
struct PropertiesParts {
    SerialPortComponent& MSComm1;
    SettingsValues& settings;
    FirstLaunchFlags& flags;
    MessageBoxes& messageBoxes;
    // The device a port number opens, shown beside the port list.
    std::function<QString(std::int16_t)> devicePathForPort;
    QPixmap makerPicture;
    // Where the help page may be, in order; the picture opens the first that exists.
    QStringList helpPages;
    // The serial devices present, offered as the chosen port's device; null
    // offers none, and a path can still be typed.
    SerialDeviceList* serialDevices = nullptr;
    // Maps a port number to a device on OK (an empty path: the built-in port).
    std::function<Status(std::int16_t, const QString&)> mapPortToDevice = {};
};

// The properties dialog: port, speed, character format, handshaking,
// extended conversion, link protocol and auto-start. It fills itself from
// the in-memory settings when created and writes them back on OK. The one
// thing it writes to the settings store is the device a port number opens.
class frmProperties final : public QDialog {
  public:
    explicit frmProperties(const PropertiesParts& parts, QWidget* parent = nullptr);
    ~frmProperties() override;

    QComboBox* cmbComPort = nullptr;
    QComboBox* cmbBaudRate = nullptr;
    QComboBox* cmbDataBit = nullptr;
    QComboBox* cmbParity = nullptr;
    QComboBox* cmbStopBit = nullptr;
    QComboBox* cmbHandshake = nullptr;
    QComboBox* cmbExtendedConversion = nullptr;
    QComboBox* cmbVXBlueToothSecurity = nullptr;
    QCheckBox* chkAutostart = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    ClickablePicture* Image1 = nullptr;
    QLabel* lblComPortDevice = nullptr;
    QToolButton* btnChooseDevice = nullptr;
    QMenu* mnuDevices = nullptr;

  private:
    void createControls();
    void createDeviceChooser();
    void load();
    std::int16_t chosenPort() const;
    QString deviceOfChosenPort() const;
    void showDeviceOfPort();
    void fillDeviceMenu();
    void chooseDevice(const QString& path);
    void typeDevicePath();
    bool applyDeviceChoices();
    void openHelpPage();
    void onAutostartChanged();
    void btnOk_Click();
    void btnCancel_Click();

    PropertiesParts m_parts;
    std::map<std::int16_t, QString> m_chosenDevices; // by port number, until OK
};

} // namespace vxorv
