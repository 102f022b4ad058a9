#include "settings/dialog/frm_properties.hpp"

#include "fakes/fake_message_boxes.hpp"
#include "fakes/fake_serial_devices.hpp"
#include "fakes/fake_serial_port.hpp"
#include "platform/widgets/clickable_picture.hpp"
#include "settings/dialog/properties_lists.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace vxorv {
namespace {

QStringList itemsOf(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

class FrmPropertiesTest : public testing::Test {
  protected:
    FakeSerialPort port;
    SettingsValues settings{.AutoStartEnabled = true};
    FirstLaunchFlags flags;
    FakeMessageBoxes boxes;
    FakeSerialDeviceList devices;
    std::map<std::int16_t, QString> mapped; // what OK wrote to [Ports]

    std::unique_ptr<frmProperties> open() {
        return std::make_unique<frmProperties>(PropertiesParts{
            port, settings, flags, boxes,
            [](std::int16_t n) {
                return n == 3 ? QStringLiteral("/dev/rfcomm0")
                              : QStringLiteral("/dev/ttyS%1").arg(n - 1);
            },
            QPixmap(), QStringList{QStringLiteral("/nonexistent/vxorv/README.md")}, &devices,
            [this](std::int16_t n, const QString& path) {
                mapped[n] = path;
                return Status::ok();
            }});
    }
    // Opens the device chooser's menu and answers its item texts.
    static QStringList deviceMenu(frmProperties& dialog) {
        emit dialog.mnuDevices->aboutToShow();
        QStringList texts;
        for (const QAction* action : dialog.mnuDevices->actions()) {
            texts << (action->isChecked() ? QStringLiteral("[x] ") : QString()) + action->text();
        }
        return texts;
    }
    static void choose(frmProperties& dialog, const QString& start) {
        for (QAction* action : dialog.mnuDevices->actions()) {
            if (action->text().startsWith(start)) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no device item starting with " << start.toStdString();
    }
    void portHas(const char* portSettings, std::int16_t commPort = 1, std::int32_t handshake = 0) {
        ASSERT_TRUE(port.setSettings(QString::fromLatin1(portSettings)));
        ASSERT_TRUE(port.setCommPort(commPort));
        ASSERT_TRUE(port.setHandshaking(handshake));
    }
};

TEST_F(FrmPropertiesTest, CaptionLabelsListsAndButtonsAreExact) {
    const auto dialog = open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("VX Orvex -  Properties"));
    EXPECT_EQ(dialog->size(), QSize(389, 377));
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);

    QStringList labels;
    for (const QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->geometry().left() == 80) {
            labels << label->text();
        }
    }
    EXPECT_EQ(labels, (QStringList{"Com Port :", "Baud Rate :", "Data  :", "Parity :", "Stop :",
                                   "Handshake  :", "VX Extended Keyboard :",
                                   "VX BT Security Protocol :", "Auto Start"}));

    EXPECT_EQ(itemsOf(dialog->cmbComPort).size(), 16);
    EXPECT_EQ(itemsOf(dialog->cmbBaudRate),
              (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(itemsOf(dialog->cmbDataBit), (QStringList{"7", "8"}));
    EXPECT_EQ(itemsOf(dialog->cmbParity), (QStringList{"No Parity", "Odd Parity", "Even Parity"}));
    EXPECT_EQ(itemsOf(dialog->cmbStopBit), (QStringList{"1", "2"}));
    EXPECT_EQ(itemsOf(dialog->cmbHandshake), (QStringList{"None", "XOnXOff", "RTS", "RTSXOnXOff"}));
    EXPECT_EQ(itemsOf(dialog->cmbExtendedConversion), (QStringList{"None", "IBM AT"}));
    EXPECT_EQ(dialog->cmbExtendedConversion->itemData(1).toInt(), 1);
    EXPECT_EQ(itemsOf(dialog->cmbVXBlueToothSecurity), (QStringList{"Disable", "Enable"}));
    EXPECT_EQ(dialog->cmbVXBlueToothSecurity->itemData(1).toInt(), 1);
    for (const QComboBox* list : dialog->findChildren<QComboBox*>()) {
        EXPECT_FALSE(list->isEditable());
    }
    EXPECT_EQ(dialog->btnOk->text(), QStringLiteral("&OK"));
    EXPECT_EQ(dialog->btnCancel->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(dialog->btnOk->geometry(), QRect(200, 336, 81, 25));
    EXPECT_EQ(dialog->cmbComPort->geometry(), QRect(208, 32, 161, 21));
    EXPECT_TRUE(dialog->chkAutostart->text().isEmpty());
}

TEST_F(FrmPropertiesTest, TabOrderStartsInTheBaudRateList) {
    const auto dialog = open();
    const std::vector<QWidget*> expected{dialog->cmbBaudRate,
                                         dialog->cmbDataBit,
                                         dialog->cmbParity,
                                         dialog->cmbComPort,
                                         dialog->btnOk,
                                         dialog->btnCancel,
                                         dialog->cmbStopBit,
                                         dialog->cmbHandshake,
                                         dialog->chkAutostart,
                                         dialog->cmbExtendedConversion,
                                         dialog->cmbVXBlueToothSecurity};
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, expected[i + 1]) << i;
    }
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    EXPECT_EQ(dialog->focusWidget(), dialog->cmbBaudRate);
}

TEST_F(FrmPropertiesTest, ShowsTheDefaultsOfAFirstLaunch) {
    const auto dialog = open();
    EXPECT_EQ(dialog->cmbComPort->currentText(), QStringLiteral("COM  1"));
    EXPECT_EQ(dialog->cmbBaudRate->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(dialog->cmbDataBit->currentText(), QStringLiteral("8"));
    EXPECT_EQ(dialog->cmbParity->currentText(), QStringLiteral("No Parity"));
    EXPECT_EQ(dialog->cmbStopBit->currentText(), QStringLiteral("1"));
    EXPECT_EQ(dialog->cmbHandshake->currentText(), QStringLiteral("None"));
    EXPECT_TRUE(dialog->chkAutostart->isChecked());
    EXPECT_EQ(dialog->cmbExtendedConversion->currentText(), QStringLiteral("None"));
    EXPECT_EQ(dialog->cmbVXBlueToothSecurity->currentText(), QStringLiteral("Disable"));
    EXPECT_TRUE(boxes.shown.empty()) << "loading the check box shows no message";
}

TEST_F(FrmPropertiesTest, OkWithoutChangesAssignsWhatIsShown) {
    portHas("115200,E,7,2", 12, 2);
    settings = {.AutoStartEnabled = false, .ExtendedConversionMode = 1, .VXBTSecurityMode = 1};
    const auto dialog = open();
    EXPECT_EQ(dialog->cmbBaudRate->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(dialog->cmbParity->currentText(), QStringLiteral("Even Parity"));
    EXPECT_EQ(dialog->cmbDataBit->currentText(), QStringLiteral("7"));
    EXPECT_EQ(dialog->cmbStopBit->currentText(), QStringLiteral("2"));
    EXPECT_EQ(dialog->cmbComPort->currentText(), QStringLiteral("COM  12"));
    EXPECT_EQ(dialog->cmbHandshake->currentText(), QStringLiteral("RTS"));
    EXPECT_FALSE(dialog->chkAutostart->isChecked());

    ASSERT_TRUE(port.setSettings(QStringLiteral("9600,n,8,1")));
    ASSERT_TRUE(port.setCommPort(1));
    dialog->btnOk->click();
    EXPECT_EQ(port.Settings(), QStringLiteral("115200,e,7,2"));
    EXPECT_EQ(port.CommPort(), 12);
    EXPECT_EQ(port.Handshaking(), 2);
    EXPECT_FALSE(settings.AutoStartEnabled);
    EXPECT_EQ(settings.ExtendedConversionMode, 1);
    EXPECT_EQ(settings.VXBTSecurityMode, 1);
    EXPECT_TRUE(flags.FormPropertiesOK);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(FrmPropertiesTest, OkAssignsTheChoicesMade) {
    const auto dialog = open();
    dialog->cmbComPort->setCurrentIndex(11);
    dialog->cmbBaudRate->setCurrentText(QStringLiteral("19200"));
    dialog->cmbParity->setCurrentText(QStringLiteral("Odd Parity"));
    dialog->cmbStopBit->setCurrentText(QStringLiteral("2"));
    dialog->cmbHandshake->setCurrentText(QStringLiteral("XOnXOff"));
    dialog->cmbExtendedConversion->setCurrentIndex(1);
    dialog->btnOk->click();
    EXPECT_EQ(port.CommPort(), 12);
    EXPECT_EQ(port.Settings(), QStringLiteral("19200,o,8,2"));
    EXPECT_EQ(port.Handshaking(), 1);
    EXPECT_EQ(settings.ExtendedConversionMode, 1);
}

TEST_F(FrmPropertiesTest, UnlistedValuesAreShownAsExtraItemsAndSurviveOk) {
    portHas("14400,n,8,1", 20);
    settings.ExtendedConversionMode = 3; // a table the dialog does not offer
    settings.VXBTSecurityMode = 5;
    const auto dialog = open();
    const QStringList ports = comPortItems();
    EXPECT_EQ(itemsOf(dialog->cmbComPort), ports + QStringList{"COM  20"});
    EXPECT_EQ(dialog->cmbComPort->currentText(), QStringLiteral("COM  20"));
    EXPECT_EQ(itemsOf(dialog->cmbBaudRate), baudRateItems() + QStringList{"14400"});
    EXPECT_EQ(dialog->cmbBaudRate->currentText(), QStringLiteral("14400"));
    EXPECT_EQ(itemsOf(dialog->cmbExtendedConversion),
              (QStringList{"None", "IBM AT", "Stored value 3"}));
    EXPECT_EQ(dialog->cmbExtendedConversion->currentText(), QStringLiteral("Stored value 3"));
    EXPECT_EQ(itemsOf(dialog->cmbVXBlueToothSecurity),
              (QStringList{"Disable", "Enable", "Stored value 5"}));
    EXPECT_EQ(dialog->lblComPortDevice->text(), QStringLiteral("Device: /dev/ttyS19"));

    dialog->btnOk->click();
    EXPECT_EQ(port.Settings(), QStringLiteral("14400,n,8,1"));
    EXPECT_EQ(port.CommPort(), 20);
    EXPECT_EQ(settings.ExtendedConversionMode, 3);
    EXPECT_EQ(settings.VXBTSecurityMode, 5);

    const auto again = open();
    again->cmbBaudRate->setCurrentText(QStringLiteral("9600"));
    again->cmbExtendedConversion->setCurrentText(QStringLiteral("IBM AT"));
    again->btnOk->click();
    EXPECT_EQ(port.Settings(), QStringLiteral("9600,n,8,1")) << "a listed choice still applies";
    EXPECT_EQ(settings.ExtendedConversionMode, 1);
}

TEST_F(FrmPropertiesTest, HandshakeThePortCannotDoIsRefusedAndTheDialogStaysOpen) {
    const auto dialog = open();
    dialog->show();
    dialog->cmbHandshake->setCurrentText(QStringLiteral("RTSXOnXOff"));
    dialog->btnOk->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(flags.FormPropertiesOK);
    EXPECT_EQ(port.Handshaking(), 0);
}

TEST_F(FrmPropertiesTest, OkConfirmsAFirstSetupAndCancelReportsFalse) {
    flags.ThisWasFirstLaunch = true;
    open()->btnOk->click();
    EXPECT_TRUE(flags.FormPropertiesOK);
    EXPECT_TRUE(flags.SettingsForFirstLaunchCoerrectlyPerformed);

    const auto dialog = open();
    dialog->cmbBaudRate->setCurrentText(QStringLiteral("1200"));
    dialog->btnCancel->click();
    EXPECT_FALSE(flags.FormPropertiesOK);
    EXPECT_TRUE(flags.SettingsForFirstLaunchCoerrectlyPerformed);
    EXPECT_EQ(port.Settings(), QStringLiteral("9600,n,8,1")) << "Cancel applies nothing";
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(FrmPropertiesTest, ClosingByTheFrameAppliesNothingAndLeavesTheOutcome) {
    flags.FormPropertiesOK = true;
    const auto dialog = open();
    dialog->show();
    dialog->cmbBaudRate->setCurrentText(QStringLiteral("1200"));
    dialog->close();
    EXPECT_TRUE(flags.FormPropertiesOK);
    EXPECT_EQ(port.Settings(), QStringLiteral("9600,n,8,1"));
}

TEST_F(FrmPropertiesTest, AutoStartChangesWhileShownBringTheNextLaunchMessage) {
    const auto dialog = open();
    dialog->chkAutostart->setChecked(false); // not visible yet: no message
    EXPECT_TRUE(boxes.shown.empty());
    dialog->chkAutostart->setChecked(true);

    dialog->show();
    QTest::mouseClick(dialog->chkAutostart, Qt::LeftButton);
    QTest::mouseClick(dialog->chkAutostart, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 2u) << "unchecking and checking alike";
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Changes to this value will be applied at the next application "
                             "launch."));
    EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Information);
    EXPECT_EQ(boxes.shown[0].buttons, MessageBoxes::Buttons::Ok);

    QTest::mouseClick(dialog->chkAutostart, Qt::LeftButton);
    dialog->btnCancel->click();
    EXPECT_TRUE(settings.AutoStartEnabled) << "Cancel keeps the value";
}

TEST_F(FrmPropertiesTest, ShowsTheDeviceTheChosenPortOpens) {
    const auto dialog = open();
    EXPECT_EQ(dialog->lblComPortDevice->text(), QStringLiteral("Device: /dev/ttyS0"));
    dialog->cmbComPort->setCurrentIndex(2);
    EXPECT_EQ(dialog->lblComPortDevice->text(), QStringLiteral("Device: /dev/rfcomm0"));
    EXPECT_TRUE(dialog->cmbComPort->toolTip().contains(QStringLiteral("/dev/rfcomm0")));
}

TEST_F(FrmPropertiesTest, DeviceChooserOffersThePresentDevicesAndOkMapsThePort) {
    devices.present = {
        {"/dev/serial/by-id/usb-Acme_Scanner_42-if00", "/dev/ttyACM0", "Acme Scanner"},
        {"/dev/rfcomm0", "/dev/rfcomm0", "Bluetooth 00:11:22:33:44:55"}};
    const auto dialog = open();
    EXPECT_EQ(deviceMenu(*dialog),
              (QStringList{"usb-Acme_Scanner_42-if00 \u2014 Acme Scanner (ttyACM0)",
                           "rfcomm0 \u2014 Bluetooth 00:11:22:33:44:55 (rfcomm0)", "",
                           "[x] /dev/ttyS0 \u2014 built-in serial port", "Other device\u2026"}));

    choose(*dialog, "usb-Acme");
    EXPECT_EQ(dialog->lblComPortDevice->toolTip(), "/dev/serial/by-id/usb-Acme_Scanner_42-if00");
    EXPECT_TRUE(deviceMenu(*dialog).contains("[x] usb-Acme_Scanner_42-if00 \u2014 Acme Scanner "
                                             "(ttyACM0)"));
    EXPECT_TRUE(mapped.empty()) << "nothing is written before OK";

    // Another port keeps its own device; going back shows the choice again.
    dialog->cmbComPort->setCurrentIndex(2);
    EXPECT_EQ(dialog->lblComPortDevice->toolTip(), "/dev/rfcomm0");
    deviceMenu(*dialog);
    choose(*dialog, "/dev/ttyS2");
    dialog->cmbComPort->setCurrentIndex(0);
    EXPECT_EQ(dialog->lblComPortDevice->toolTip(), "/dev/serial/by-id/usb-Acme_Scanner_42-if00");

    dialog->btnOk->click();
    EXPECT_EQ(mapped, (std::map<std::int16_t, QString>{
                          {1, "/dev/serial/by-id/usb-Acme_Scanner_42-if00"}, {3, ""}}));
}

TEST_F(FrmPropertiesTest, DeviceChoiceIsDroppedOnCancel) {
    devices.present = {{"/dev/ttyUSB0", "/dev/ttyUSB0", "FTDI FT232R"}};
    const auto dialog = open();
    deviceMenu(*dialog);
    choose(*dialog, "ttyUSB0");
    dialog->btnCancel->click();
    EXPECT_TRUE(mapped.empty());
}

TEST_F(FrmPropertiesTest, DeviceMenuFollowsDevicesPluggedInWhileOpen) {
    const auto dialog = open();
    dialog->show();
    dialog->mnuDevices->popup(dialog->btnChooseDevice->mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(dialog->mnuDevices->isVisible());
    EXPECT_EQ(dialog->mnuDevices->actions().first()->text(), "No serial device found");
    devices.plug({"/dev/serial/by-id/usb-Scanner-if00", "/dev/ttyUSB1", "Scanner"});
    EXPECT_EQ(dialog->mnuDevices->actions().first()->text(),
              "usb-Scanner-if00 \u2014 Scanner (ttyUSB1)");
    dialog->mnuDevices->hide();
}

TEST_F(FrmPropertiesTest, AMappedDeviceNotPresentIsOfferedAsSetAndAPathCanBeTyped) {
    const auto dialog = open();
    QTimer::singleShot(0, [] {
        auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(input, nullptr);
        input->setTextValue(QStringLiteral("  /tmp/vxorv-pty  "));
        input->accept();
    });
    deviceMenu(*dialog);
    choose(*dialog, "Other device");
    EXPECT_EQ(dialog->lblComPortDevice->toolTip(), "/tmp/vxorv-pty");
    EXPECT_TRUE(deviceMenu(*dialog).contains("[x] /tmp/vxorv-pty \u2014 as set now"));
}

TEST_F(FrmPropertiesTest, ALongDevicePathIsElidedInTheMiddleAndWholeInTheTooltip) {
    const QString longPath =
        QStringLiteral("/dev/serial/by-id/usb-Acme_Corporation_Handheld_Scanner_0123456789-if00");
    devices.present = {{longPath, "/dev/ttyACM0", "Acme Scanner"}};
    const auto dialog = open();
    deviceMenu(*dialog);
    choose(*dialog, "usb-Acme");
    const QString shown = dialog->lblComPortDevice->text();
    EXPECT_TRUE(shown.startsWith("Device: /dev/")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("-if00")) << shown.toStdString();
    EXPECT_LE(dialog->lblComPortDevice->fontMetrics().horizontalAdvance(shown),
              dialog->lblComPortDevice->width());
    EXPECT_EQ(dialog->lblComPortDevice->toolTip(), longPath);
}

TEST_F(FrmPropertiesTest, AHelpPageThatIsNotInstalledIsReported) {
    const auto dialog = open();
    dialog->show();
    QTest::mouseClick(dialog->Image1, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("/nonexistent/vxorv/README.md"));
}

} // namespace
} // namespace vxorv
