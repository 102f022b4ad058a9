#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace vxorv {

// The main window: an identity panel (title, company, copyright, release and
// versions over a background picture) with the five command buttons. Its
// commands and close requests go to the handlers the owner sets.
class Form1 final : public QWidget {
  public:
    Form1();

    // "VX Orvex", the company label, the copyright line and the release.
    static const QString shortTitle;
    static const QString companyText;
    static const QString copyrightText;
    static const QString releaseText;

    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnProperties = nullptr;
    QPushButton* btnHide = nullptr;
    QPushButton* btnExit = nullptr;
    QLabel* lblApplicationName = nullptr;
    QLabel* lblSoftwareRelease = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblVxbtDllVersion = nullptr;
    QLabel* lblAppName_Shad = nullptr;
    QLabel* lblSoftwareRelease_Shad = nullptr;
    QLabel* lblCompanyName_Shad = nullptr;
    QLabel* lblCopyright_Shad = nullptr;
    QLabel* imgKEyb = nullptr;
    QLabel* imgKeyb_Shad = nullptr;
    QLabel* imgStarted = nullptr;
    QLabel* imgStopped = nullptr;
    QLabel* Image1 = nullptr;
    // Under the identity panel: what collection is doing, or why it is not.
    QLabel* lblStatus = nullptr;

    // A close request that is not the end of the session (close box, system
    // menu, Alt+F4): the window stays resident.
    void setOnCloseRequest(std::function<void()> handler) { m_onCloseRequest = std::move(handler); }
    // Lets the next close through: the program is ending.
    void allowClose() { m_closeAllowed = true; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void placeShadows();

    std::function<void()> m_onCloseRequest;
    bool m_closeAllowed = false;
};

} // namespace vxorv
