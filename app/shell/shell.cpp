#include "shell/shell.hpp"

#include <QLoggingCategory>

#include <chrono>

namespace vxorv {
namespace {

Q_LOGGING_CATEGORY(lcSettings, "vxorv.settings", QtWarningMsg)

constexpr std::chrono::milliseconds retryInterval{5000};

QString saveFailureText(const Status& saved, bool changed) {
    return changed ? QStringLiteral("The settings could not be saved, so the changes made in "
                                    "this session are lost. %1")
                         .arg(saved.description())
                   : QStringLiteral("The settings could not be saved; they had not changed in "
                                    "this session, so nothing is lost. %1")
                         .arg(saved.description());
}

} // namespace

QString versionLabelText(ProgramVersion program, std::uint8_t verMajor, std::uint8_t verMinor,
                         std::uint8_t verBuild) {
    return QStringLiteral("Version: %1.%2.%3 - WinVXBT.dll version: %4.%5.%6")
        .arg(program.major)
        .arg(program.minor)
        .arg(program.revision)
        .arg(unsigned{verMajor})
        .arg(unsigned{verMinor})
        .arg(unsigned{verBuild});
}

QString statusLineText(const CollectionStatus& status) {
    const QString typing = status.typingBackend.isEmpty()
                               ? QStringLiteral("Nothing can type keys here.")
                               : QStringLiteral("Typing through %1.").arg(status.typingBackend);
    if (status.running) {
        return QStringLiteral("Collecting on port %1, %2. %3")
            .arg(status.port)
            .arg(status.device, typing);
    }
    // The reason comes last: it is the long part, and the line may be cut.
    QString text = status.retrying ? QStringLiteral("Stopped, retrying every 5 s. %1").arg(typing)
                                   : QStringLiteral("Stopped. %1").arg(typing);
    if (!status.stopReason.isEmpty()) {
        text += u' ' + status.stopReason;
    }
    return text;
}

Shell::Shell(const ShellParts& parts, ProgramVersion version) : m_parts(parts), m_version(version) {
    m_parts.RetryTimer.setOnTick([this] { onRetryTick(); });
    m_parts.collection.setOnDeviceLost([this](const QString&) { onDeviceLost(); });
}

Shell::~Shell() {
    m_parts.RetryTimer.setOnTick({});
    m_parts.collection.setOnDeviceLost({});
}

void Shell::startUp() {
    // The first call into the link library binds it: without it the program
    // cannot work, so say which file is missing and why, and end.
    std::uint8_t verMajor = 0;
    std::uint8_t verMinor = 0;
    std::uint8_t verBuild = 0;
    if (!m_parts.library.VXBT_get_ver(&verMajor, &verMinor, &verBuild)) {
        m_parts.messageBoxes.show(m_parts.library.bindingError(), MessageBoxes::Icon::Critical,
                                  MessageBoxes::Buttons::Ok);
        m_ended = true;
        m_parts.windows.endProgram(1);
        return;
    }
    m_parts.windows.setVersionText(versionLabelText(m_version, verMajor, verMinor, verBuild));

    if (isFirstLaunch(m_parts.store)) {
        m_parts.settings.AutoStartEnabled = true;
        m_parts.flags.ThisWasFirstLaunch = true;
        // An unreadable store reads as empty: say why the first-launch dialog comes.
        if (Status readable = m_parts.store.readStatus(); !readable) {
            report(readable.description() +
                       QStringLiteral(" The program starts as on a first launch, with the "
                                      "default settings."),
                   MessageBoxes::Icon::Exclamation);
        }
        if (!m_ended) {
            m_parts.windows.showPropertiesModal();
        }
        if (m_ended) {
            return; // the program was ended while the box or the dialog was open
        }
        if (m_parts.flags.FormPropertiesOK) {
            m_parts.flags.SettingsForFirstLaunchCoerrectlyPerformed = true;
            if (Status saved = saveSettings(m_parts.store, m_parts.settings, m_parts.MSComm1);
                !saved) {
                m_firstSetupUnsaved = true;
                report(
                    QStringLiteral("The settings could not be saved. %1").arg(saved.description()),
                    MessageBoxes::Icon::Exclamation);
            }
        } else {
            m_parts.flags.SettingsForFirstLaunchCoerrectlyPerformed = false;
        }
        applicationStart(m_parts.flags.FormPropertiesOK);
    } else {
        applicationStart(true);
    }
    hideCommand();
}

void Shell::applicationStart(bool startAllowed) {
    const QList<UnusableSetting> unusable =
        loadSettings(m_parts.store, m_parts.settings, m_parts.MSComm1);
    m_loadedSettings = settingsTexts(m_parts.settings, m_parts.MSComm1);
    m_parts.trayIcon.trayIconUpdate(TrayIcon::Picture::imgStopped,
                                    applicationTitle + QStringLiteral(" (stopped) "));
    // Right after the first set-up the user waits for collection to begin:
    // say once why it did not; the retries stay silent.
    const bool verbose = m_parts.flags.ThisWasFirstLaunch;
    if (startAllowed && m_parts.settings.AutoStartEnabled &&
        !m_parts.collection.dataCollectionStart(verbose)) {
        armRetry();
    }
    showStatus();
    // Last, so that collection runs while the box waits for the user.
    if (!unusable.isEmpty()) {
        report(unusableSettingsText(unusable), MessageBoxes::Icon::Exclamation);
    }
}

void Shell::showStatus() {
    const bool running = m_parts.collection.IsDataCollectionRunnning();
    const std::int16_t port = m_parts.MSComm1.CommPort();
    m_parts.windows.setStatusText(statusLineText({
        .running = running,
        .port = port,
        .device = m_parts.devicePathForPort ? m_parts.devicePathForPort(port) : QString(),
        .stopReason = running ? QString() : m_parts.collection.lastFailure(),
        .retrying = m_parts.RetryTimer.enabled(),
        .typingBackend = m_parts.typingBackend,
    }));
}

void Shell::report(const QString& text, MessageBoxes::Icon icon) {
    qCWarning(lcSettings).noquote() << text;
    m_parts.messageBoxes.show(text, icon, MessageBoxes::Buttons::Ok);
}

void Shell::armRetry() {
    m_parts.RetryTimer.setInterval(retryInterval);
    m_parts.RetryTimer.setEnabled(true);
}

void Shell::onRetryTick() {
    if (m_ended || m_parts.windows.isPropertiesVisible()) {
        return;
    }
    if (m_parts.collection.dataCollectionStart(false)) {
        m_parts.RetryTimer.setEnabled(false);
        m_resumeAfterLoss = false;
    }
    showStatus();
}

void Shell::onDeviceLost() {
    // A link that drops and comes back must need no user action: retry as
    // the auto-start does until the device is there again.
    m_resumeAfterLoss = true;
    armRetry();
    showStatus();
}

void Shell::startCommand() {
    (void)m_parts.collection.dataCollectionStart(true);
    showStatus();
}

void Shell::stopCommand() {
    m_parts.collection.dataCollectionStop();
    // The user stopped: a device that returns later must not restart collection.
    if (m_resumeAfterLoss) {
        m_parts.RetryTimer.setEnabled(false);
        m_resumeAfterLoss = false;
    }
    showStatus();
}

void Shell::hideCommand() {
    if (m_parts.windows.notificationAreaAvailable()) {
        m_parts.windows.hideMainWindow();
    } else {
        // Without an icon a hidden window could never be reached again.
        m_parts.windows.minimizeMainWindow();
    }
}

void Shell::propertiesOpen() {
    if (!m_parts.collection.IsDataCollectionRunnning()) {
        m_parts.windows.showPropertiesModeless();
        return;
    }
    const MessageBoxes::Answer answer = m_parts.messageBoxes.show(
        QStringLiteral("Before entering the communication settings dialog the data collection "
                       "must be stopped. Do really you want to stop the data collection and "
                       "enter the communication settings dilog?"),
        MessageBoxes::Icon::Information, MessageBoxes::Buttons::YesNo);
    if (answer == MessageBoxes::Answer::Yes) {
        m_parts.collection.dataCollectionStop();
        showStatus();
        m_parts.windows.showPropertiesModal();
    }
}

PopupMenuState Shell::popupMenuState() const {
    if (m_parts.windows.isPropertiesVisible()) {
        return {};
    }
    const bool running = m_parts.collection.IsDataCollectionRunnning();
    return {.startEnabled = !running, .stopEnabled = running};
}

void Shell::applicationExit(ExitRequest request) {
    if (m_ended) {
        if (request == ExitRequest::Unattended) {
            m_parts.windows.endProgram(m_exitStatus); // also closes a box still open
        }
        return;
    }
    m_ended = true;
    // Nothing is typed once the user or the session asked the program to end,
    // even while a message box below waits for an answer.
    m_parts.collection.endTyping();
    m_parts.trayIcon.trayIconRemove();
    const FirstLaunchFlags& flags = m_parts.flags;
    if (!flags.ThisWasFirstLaunch || flags.SettingsForFirstLaunchCoerrectlyPerformed) {
        const bool changed = m_firstSetupUnsaved ||
                             settingsTexts(m_parts.settings, m_parts.MSComm1) != m_loadedSettings;
        if (Status saved = saveSettings(m_parts.store, m_parts.settings, m_parts.MSComm1); !saved) {
            m_exitStatus = 1;
            const QString text = saveFailureText(saved, changed);
            if (request == ExitRequest::Command) {
                report(text, MessageBoxes::Icon::Critical);
            } else {
                qCWarning(lcSettings).noquote() << text;
            }
        }
    }
    m_parts.windows.endProgram(m_exitStatus);
}

} // namespace vxorv
