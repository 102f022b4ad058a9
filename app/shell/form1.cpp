#include "shell/form1.hpp"

#include "platform/widgets/fit_text.hpp"
#include "platform/widgets/twips.hpp"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

// The pictures live in a static library: register them before first use.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace vxorv {
namespace {

constexpr int shadowOffset = 70; // twips to the right and down
constexpr int statusLineHeight = 300;
const QColor grey(128, 128, 128);
const QColor lightGrey(229, 229, 229);

QFont tahoma(double points, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* addLabel(QWidget* parent, QRect twips, const QFont& font, const QColor* colour) {
    auto* label = new QLabel(parent);
    label->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    label->setFont(font);
    if (colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *colour);
        label->setPalette(palette);
    }
    return label;
}

QLabel* addPicture(QWidget* parent, QRect twips, const QString& resource) {
    auto* picture = new QLabel(parent);
    picture->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    picture->setPixmap(QPixmap(resource));
    return picture;
}

QPushButton* addButton(QWidget* parent, const QString& text, int top) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(twipsRect(5160, top, 1000, 375));
    return button;
}

// A shadow sits 70 twips right of and below its control's current place.
void placeShadow(QWidget* shadow, const QWidget* control) {
    shadow->move(twipsToPixels(pixelsToTwips(control->x()) + shadowOffset),
                 twipsToPixels(pixelsToTwips(control->y()) + shadowOffset));
}

} // namespace

const QString Form1::shortTitle = QStringLiteral("VX Orvex");
const QString Form1::companyText = QStringLiteral("VXORV project");
const QString Form1::copyrightText = QStringLiteral("(c) 2026 VXORV");
const QString Form1::releaseText = QStringLiteral("2.01.050525");

Form1::Form1() {
    initPictures();
    setWindowTitle(shortTitle);
    setWindowIcon(QIcon(QStringLiteral(":/vxorv/vxorv.png")));
    // The identity panel's 3780 twips, and a status line below it.
    setFixedSize(twipsToPixels(6705), twipsToPixels(3780 + statusLineHeight));
    setFont(tahoma(8.25, false));
    createControls();
    placeShadows();
}

void Form1::createControls() {
    // Created bottom to top: the background, the shadows, then what they shadow.
    Image1 = addPicture(this, QRect(-840, 0, 7440, 3825), QStringLiteral(":/vxorv/background.png"));

    const QFont titleFont = tahoma(11.25, true);
    const QFont releaseFont = tahoma(9.75, true);
    const QFont copyrightFont = tahoma(9, true);
    lblAppName_Shad = addLabel(this, QRect(0, 0, 3975, 270), titleFont, &lightGrey);
    lblSoftwareRelease_Shad = addLabel(this, QRect(0, 0, 2895, 240), releaseFont, &lightGrey);
    lblCompanyName_Shad = addLabel(this, QRect(0, 0, 1650, 240), releaseFont, &lightGrey);
    lblCopyright_Shad = addLabel(this, QRect(0, 0, 1575, 210), copyrightFont, &lightGrey);
    imgKeyb_Shad =
        addPicture(this, QRect(0, 0, 480, 480), QStringLiteral(":/vxorv/keyboard_shadow.png"));

    lblApplicationName = addLabel(this, QRect(1200, 1200, 3975, 270), titleFont, nullptr);
    lblSoftwareRelease = addLabel(this, QRect(1200, 1680, 2895, 240), releaseFont, &grey);
    lblCompany = addLabel(this, QRect(1200, 2040, 1650, 240), releaseFont, &grey);
    lblCopyright = addLabel(this, QRect(1200, 2400, 1575, 210), copyrightFont, &grey);
    lblVxbtDllVersion = addLabel(this, QRect(2280, 3480, 4215, 255), font(), nullptr);
    imgKEyb = addPicture(this, QRect(360, 840, 480, 480), QStringLiteral(":/vxorv/keyboard.png"));
    imgStarted =
        addPicture(this, QRect(5760, 120, 240, 240), QStringLiteral(":/vxorv/started.png"));
    imgStopped =
        addPicture(this, QRect(4680, 120, 240, 240), QStringLiteral(":/vxorv/stopped.png"));
    imgStarted->hide();
    imgStopped->hide();

    lblStatus =
        addLabel(this, QRect(120, 3825, 6705 - 240, statusLineHeight - 45), font(), nullptr);

    btnStart = addButton(this, QStringLiteral("&Start"), 600);
    btnStart->setFont(tahoma(9, true));
    btnStop = addButton(this, QStringLiteral("Sto&p"), 1080);
    btnProperties = addButton(this, QStringLiteral("&Properties"), 1560);
    btnHide = addButton(this, QStringLiteral("&Hide"), 2040);
    btnExit = addButton(this, QStringLiteral("&Exit"), 2520);
    QWidget::setTabOrder(btnProperties, btnExit);
    QWidget::setTabOrder(btnExit, btnStart);
    QWidget::setTabOrder(btnStart, btnStop);
    QWidget::setTabOrder(btnStop, btnHide);
    btnProperties->setFocus();

    lblApplicationName->setText(shortTitle);
    lblCompany->setText(companyText);
    lblCopyright->setText(copyrightText);
    lblSoftwareRelease->setText(QStringLiteral("Software Release ") + releaseText);
    lblAppName_Shad->setText(shortTitle);
    lblCompanyName_Shad->setText(companyText);
    lblCopyright_Shad->setText(copyrightText);
    // The release number itself casts no shadow.
    lblSoftwareRelease_Shad->setText(QStringLiteral("Software Release "));
    // A shadow keeps the font of its label, narrowed or not.
    for (auto [label, shadow] : {std::pair{lblApplicationName, lblAppName_Shad},
                                 {lblSoftwareRelease, lblSoftwareRelease_Shad},
                                 {lblCompany, lblCompanyName_Shad},
                                 {lblCopyright, lblCopyright_Shad}}) {
        fitText(label);
        shadow->setFont(label->font());
    }
}

void Form1::placeShadows() {
    placeShadow(lblAppName_Shad, lblApplicationName);
    placeShadow(lblCompanyName_Shad, lblCompany);
    placeShadow(lblCopyright_Shad, lblCopyright);
    placeShadow(lblSoftwareRelease_Shad, lblSoftwareRelease);
    placeShadow(imgKeyb_Shad, imgKEyb);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_closeAllowed) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_onCloseRequest) {
        m_onCloseRequest();
    }
}

} // namespace vxorv
