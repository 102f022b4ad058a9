#pragma once

#include "platform/message_boxes.hpp"
#include "platform/serial_port_component.hpp"
#include "settings/settings.hpp"

#include <QDialog>
#include <QPixmap>
#include <QUrl>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

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
    QUrl makerPage;
};

// The properties dialog: port, speed, character format, handshaking,
// extended conversion, link protocol and auto-start. It fills itself from
// the in-memory settings when created and writes them back on OK; it never
// touches the settings store.
class frmProperties final : public QDialog {
  public:
    explicit frmProperties(const PropertiesParts& parts, QWidget* parent = nullptr);

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

  private:
    void createControls();
    void load();
    void showDeviceOfPort();
    void onAutostartChanged();
    void btnOk_Click();
    void btnCancel_Click();

    PropertiesParts m_parts;
};

} // namespace vxorv
