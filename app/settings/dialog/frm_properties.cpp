#include "settings/dialog/frm_properties.hpp"

#include "platform/port_device.hpp"
#include "platform/widgets/clickable_picture.hpp"
#include "platform/widgets/fit_text.hpp"
#include "platform/widgets/twips.hpp"
#include "settings/dialog/properties_lists.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

#include <array>

namespace vxorv {
namespace {

constexpr int labelLeft = 1200;
constexpr int labelHeight = 195;
constexpr int listLeft = 3120;
constexpr int listWidth = 2415;
constexpr int listHeight = 315;

// An empty pick-only list; loading fills it.
QComboBox* addList(QWidget* parent, int top) {
    auto* list = new QComboBox(parent);
    list->setEditable(false);
    list->setGeometry(twipsRect(listLeft, top, listWidth, listHeight));
    return list;
}

void addTaggedItems(QComboBox* list, std::span<const TaggedItem> items) {
    for (const TaggedItem& item : items) {
        list->addItem(QString::fromLatin1(item.text), item.tag);
    }
}

// Selects the item at `position` when it shows `text`. A value the list does
// not offer (a store edited by hand) is added as an extra item instead, so
// that OK keeps it rather than the first item.
void selectOrAdd(QComboBox* list, int position, const QString& text) {
    if (list->itemText(position) != text) {
        list->addItem(text);
        position = list->count() - 1;
    }
    list->setCurrentIndex(position);
}

void selectOrAddTag(QComboBox* list, int position, std::int32_t tag) {
    if (list->itemData(position).toInt() != tag) {
        list->addItem(unlistedModeItem(tag), tag);
        position = list->count() - 1;
    }
    list->setCurrentIndex(position);
}

} // namespace

frmProperties::frmProperties(const PropertiesParts& parts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_parts(parts) {
    setWindowTitle(QStringLiteral("Properties"));
    setFixedSize(twipsToPixels(5835), twipsToPixels(5655));
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPointSizeF(8.25);
    setFont(windowFont);
    createControls();
    load();
}

void frmProperties::createControls() {
    // The labels of rows 1 to 9, top to bottom.
    const std::array<std::pair<const char*, int>, 9> labels{{
        {"Com Port :", 600},
        {"Baud Rate :", 1080},
        {"Data  :", 1560},
        {"Parity :", 2040},
        {"Stop :", 2520},
        {"Handshake  :", 3000},
        {"VX Extended Keyboard :", 3480},
        {"VX BT Security Protocol :", 3930},
        {"Auto Start", 4320},
    }};
    for (const auto& [text, top] : labels) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setGeometry(twipsRect(labelLeft, top, listLeft - labelLeft, labelHeight));
        fitText(label);
    }

    cmbComPort = addList(this, 480);
    cmbBaudRate = addList(this, 960);
    cmbDataBit = addList(this, 1440);
    cmbParity = addList(this, 1920);
    cmbStopBit = addList(this, 2400);
    cmbHandshake = addList(this, 2880);
    cmbExtendedConversion = addList(this, 3360);
    cmbVXBlueToothSecurity = addList(this, 3840);

    chkAutostart = new QCheckBox(this);
    chkAutostart->setGeometry(twipsRect(listLeft, 4230, 255, 375));

    btnOk = new QPushButton(QStringLiteral("&OK"), this);
    btnOk->setGeometry(twipsRect(3000, 5040, 1215, 375));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setGeometry(twipsRect(4320, 5040, 1215, 375));

    Image1 = new ClickablePicture(this);
    Image1->setGeometry(twipsRect(240, 240, 705, 480));
    Image1->setPixmap(m_parts.makerPicture);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("Help"));
    Image1->setOnClick([this] { openHelpPage(); });

    createDeviceChooser();

    QWidget::setTabOrder(cmbBaudRate, cmbDataBit);
    QWidget::setTabOrder(cmbDataBit, cmbParity);
    QWidget::setTabOrder(cmbParity, cmbComPort);
    QWidget::setTabOrder(cmbComPort, btnOk);
    QWidget::setTabOrder(btnOk, btnCancel);
    QWidget::setTabOrder(btnCancel, cmbStopBit);
    QWidget::setTabOrder(cmbStopBit, cmbHandshake);
    QWidget::setTabOrder(cmbHandshake, chkAutostart);
    QWidget::setTabOrder(chkAutostart, cmbExtendedConversion);
    QWidget::setTabOrder(cmbExtendedConversion, cmbVXBlueToothSecurity);
    QWidget::setTabOrder(cmbVXBlueToothSecurity, btnChooseDevice);
    cmbBaudRate->setFocus();

    connect(cmbComPort, &QComboBox::currentIndexChanged, this, [this] { showDeviceOfPort(); });
    connect(chkAutostart, &QCheckBox::stateChanged, this, [this] { onAutostartChanged(); });
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOk_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancel_Click(); });
}

void frmProperties::createDeviceChooser() {
    // Port numbers are mapped to devices: the line above the port list says
    // which one the chosen number opens, and its button chooses another.
    constexpr int buttonWidth = 285;
    lblComPortDevice = new QLabel(this);
    lblComPortDevice->setGeometry(twipsRect(listLeft, 195, listWidth - buttonWidth - 30, 270));
    QPalette grey = lblComPortDevice->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    lblComPortDevice->setPalette(grey);

    btnChooseDevice = new QToolButton(this);
    btnChooseDevice->setGeometry(
        twipsRect(listLeft + listWidth - buttonWidth, 195, buttonWidth, 270));
    btnChooseDevice->setArrowType(Qt::DownArrow);
    btnChooseDevice->setToolTip(QStringLiteral("Choose the device for this port"));
    btnChooseDevice->setPopupMode(QToolButton::InstantPopup);
    mnuDevices = new QMenu(btnChooseDevice);
    btnChooseDevice->setMenu(mnuDevices);
    connect(mnuDevices, &QMenu::aboutToShow, this, [this] { fillDeviceMenu(); });
    if (m_parts.serialDevices) {
        m_parts.serialDevices->setOnChange([this] {
            if (mnuDevices->isVisible()) {
                fillDeviceMenu();
            }
        });
    }
}

frmProperties::~frmProperties() {
    if (m_parts.serialDevices) {
        m_parts.serialDevices->setOnChange({});
    }
}

void frmProperties::load() {
    setWindowTitle(QStringLiteral("VX Orvex -  Properties"));
    cmbComPort->addItems(comPortItems());
    cmbBaudRate->addItems(baudRateItems());
    cmbDataBit->addItems(dataBitItems());
    cmbParity->addItems(parityItems());
    cmbStopBit->addItems(stopBitItems());
    cmbHandshake->addItems(handshakeItems());
    addTaggedItems(cmbExtendedConversion, extendedConversionItems());
    addTaggedItems(cmbVXBlueToothSecurity, securityItems());

    const SerialPortComponent& port = m_parts.MSComm1;
    const PortSettingsFields fields = splitPortSettings(port.Settings());
    selectOrAdd(cmbComPort, port.CommPort() - 1, comPortItem(port.CommPort()));
    cmbParity->setCurrentIndex(getParityIndex(fields.parity));
    selectOrAdd(cmbDataBit, getDataIndex(fields.data), fields.data);
    selectOrAdd(cmbStopBit, getStopIndex(fields.stop), fields.stop);
    selectOrAdd(cmbBaudRate, getBaudRateIndex(fields.baud), fields.baud);
    // The port accepts only listed handshaking codes; anything else would be a fault.
    const auto handshakePosition = static_cast<std::int16_t>(port.Handshaking());
    cmbHandshake->setCurrentIndex(
        handshakePosition < cmbHandshake->count() && handshakePosition >= 0 ? handshakePosition
                                                                            : 0);
    chkAutostart->setChecked(m_parts.settings.AutoStartEnabled);
    selectOrAddTag(cmbExtendedConversion,
                   getExtConversionIndex(m_parts.settings.ExtendedConversionMode),
                   m_parts.settings.ExtendedConversionMode);
    selectOrAddTag(cmbVXBlueToothSecurity, getVXBTSecurityIndex(m_parts.settings.VXBTSecurityMode),
                   m_parts.settings.VXBTSecurityMode);
    showDeviceOfPort();
}

std::int16_t frmProperties::chosenPort() const {
    return comPortNumber(cmbComPort->currentText());
}

QString frmProperties::deviceOfChosenPort() const {
    if (const auto chosen = m_chosenDevices.find(chosenPort()); chosen != m_chosenDevices.end()) {
        return chosen->second.isEmpty() ? builtInDevicePath(chosenPort()) : chosen->second;
    }
    return m_parts.devicePathForPort ? m_parts.devicePathForPort(chosenPort()) : QString();
}

void frmProperties::showDeviceOfPort() {
    const QString device = deviceOfChosenPort();
    // A by-id name is long: keep its start and its end, the whole in the tooltip.
    const QString prefix = QStringLiteral("Device: ");
    const QFontMetrics metrics(lblComPortDevice->font());
    const int room = lblComPortDevice->width() - metrics.horizontalAdvance(prefix);
    lblComPortDevice->setText(prefix + metrics.elidedText(device, Qt::ElideMiddle, room));
    lblComPortDevice->setToolTip(device);
    cmbComPort->setToolTip(QStringLiteral("%1 opens %2").arg(cmbComPort->currentText(), device));
}

void frmProperties::fillDeviceMenu() {
    mnuDevices->clear();
    const QString current = deviceOfChosenPort();
    bool currentListed = false;
    const auto addChoice = [&](const QString& text, const QString& path) {
        QAction* action = mnuDevices->addAction(text, this, [this, path] { chooseDevice(path); });
        action->setCheckable(true);
        const bool isCurrent = (path.isEmpty() ? builtInDevicePath(chosenPort()) : path) == current;
        action->setChecked(isCurrent);
        currentListed = currentListed || isCurrent;
    };
    const std::vector<SerialDevice> devices =
        m_parts.serialDevices ? m_parts.serialDevices->devices() : std::vector<SerialDevice>{};
    for (const SerialDevice& device : devices) {
        addChoice(QStringLiteral("%1 \u2014 %2 (%3)")
                      .arg(QFileInfo(device.path).fileName(), device.description,
                           QFileInfo(device.systemPath).fileName()),
                  device.path);
    }
    if (devices.empty()) {
        mnuDevices->addAction(QStringLiteral("No serial device found"))->setEnabled(false);
    }
    mnuDevices->addSeparator();
    addChoice(QStringLiteral("%1 \u2014 built-in serial port").arg(builtInDevicePath(chosenPort())),
              QString());
    if (!currentListed) {
        // A device mapped by hand, or one that is not plugged in now.
        addChoice(QStringLiteral("%1 \u2014 as set now").arg(current), current);
    }
    mnuDevices->addAction(QStringLiteral("Other device\u2026"), this, [this] { typeDevicePath(); });
}

void frmProperties::chooseDevice(const QString& path) {
    m_chosenDevices[chosenPort()] = path;
    showDeviceOfPort();
}

void frmProperties::typeDevicePath() {
    bool accepted = false;
    const QString path = QInputDialog::getText(
        this, windowTitle(),
        QStringLiteral("Device for %1 (such as /dev/rfcomm0 or /dev/ttyUSB0):")
            .arg(cmbComPort->currentText()),
        QLineEdit::Normal, deviceOfChosenPort(), &accepted);
    if (accepted && !path.trimmed().isEmpty()) {
        chooseDevice(path.trimmed());
    }
}

bool frmProperties::applyDeviceChoices() {
    if (!m_parts.mapPortToDevice) {
        return true;
    }
    for (const auto& [port, path] : m_chosenDevices) {
        if (Status mapped = m_parts.mapPortToDevice(port, path); !mapped) {
            m_parts.messageBoxes.show(mapped.description(), MessageBoxes::Icon::Exclamation,
                                      MessageBoxes::Buttons::Ok);
            return false;
        }
    }
    return true;
}

void frmProperties::openHelpPage() {
    for (const QString& page : m_parts.helpPages) {
        if (QFileInfo(page).isFile()) {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
                m_parts.messageBoxes.show(
                    QStringLiteral("The help page %1 could not be opened: no program to show "
                                   "it was found.")
                        .arg(page),
                    MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
            }
            return;
        }
    }
    m_parts.messageBoxes.show(QStringLiteral("The help page is not installed (looked for %1).")
                                  .arg(m_parts.helpPages.join(QStringLiteral(", "))),
                              MessageBoxes::Icon::Exclamation, MessageBoxes::Buttons::Ok);
}

void frmProperties::onAutostartChanged() {
    // Loading sets the box before the dialog is shown: that is no change of the user's.
    if (!isVisible()) {
        return;
    }
    m_parts.messageBoxes.show(
        QStringLiteral("Changes to this value will be applied at the next application launch."),
        MessageBoxes::Icon::Information, MessageBoxes::Buttons::Ok);
}

void frmProperties::btnOk_Click() {
    SerialPortComponent& port = m_parts.MSComm1;
    const QString portSettings = cmbBaudRate->currentText() + u',' +
                                 getParity(cmbParity->currentText()) + u',' +
                                 cmbDataBit->currentText() + u',' + cmbStopBit->currentText();
    // The lists offer a choice this system's ports cannot carry out
    // (handshaking "RTSXOnXOff"); say so and let the user choose again.
    Status status = port.setCommPort(comPortNumber(cmbComPort->currentText()));
    if (status) {
        status = port.setHandshaking(getHandShake(cmbHandshake->currentText()));
    }
    if (status) {
        status = port.setSettings(portSettings);
    }
    if (!status) {
        m_parts.messageBoxes.show(status.description(), MessageBoxes::Icon::Exclamation,
                                  MessageBoxes::Buttons::Ok);
        return;
    }
    if (!applyDeviceChoices()) {
        return;
    }
    m_parts.settings.AutoStartEnabled = chkAutostart->checkState() != Qt::Unchecked;
    m_parts.settings.ExtendedConversionMode = cmbExtendedConversion->currentData().toInt();
    m_parts.settings.VXBTSecurityMode = cmbVXBlueToothSecurity->currentData().toInt();
    propertiesAccepted(m_parts.flags);
    accept();
}

void frmProperties::btnCancel_Click() {
    propertiesCancelled(m_parts.flags);
    reject();
}

} // namespace vxorv
