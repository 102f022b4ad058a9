#include "typing_sink.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>

#include <array>
#include <utility>

namespace vxorv::e2e {

namespace {

const std::array<std::pair<int, const char*>, 14> namedKeys{{
    {Qt::Key_Return, "ENTER"},
    {Qt::Key_Tab, "TAB"},
    {Qt::Key_Escape, "ESC"},
    {Qt::Key_Backspace, "BS"},
    {Qt::Key_Insert, "INS"},
    {Qt::Key_Delete, "DEL"},
    {Qt::Key_Home, "HOME"},
    {Qt::Key_End, "END"},
    {Qt::Key_PageUp, "PGUP"},
    {Qt::Key_PageDown, "PGDN"},
    {Qt::Key_Up, "UP"},
    {Qt::Key_Down, "DOWN"},
    {Qt::Key_Left, "LEFT"},
    {Qt::Key_Right, "RIGHT"},
}};

QString keyName(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    }
    for (const auto& [qtKey, name] : namedKeys) {
        if (qtKey == key) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

bool isModifier(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

} // namespace

TypingSink::TypingSink() {
    setWindowTitle(QStringLiteral("typing sink"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    m_sinceLastKey.start();
}

bool TypingSink::showAndFocus() {
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    show();
    activateWindow();
    setFocus();
    // A bound on a hang only: a loaded desktop maps windows late.
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (isActiveWindow() && hasFocus()) {
            return true;
        }
        QThread::msleep(5);
    }
    return false;
}

void TypingSink::clear() {
    m_transcript.clear();
    m_keyPresses = 0;
    m_sinceLastKey.restart();
}

void TypingSink::collect(const std::function<bool()>& done, int quietMs, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done() && quietFor() >= quietMs) {
            return;
        }
        QThread::msleep(1);
    }
}

bool TypingSink::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QWidget::event(event);
}

void TypingSink::keyPressEvent(QKeyEvent* event) {
    m_sinceLastKey.restart();
    const int key = event->key();
    if (isModifier(key)) {
        return;
    }
    ++m_keyPresses;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (ctrl) {
        m_transcript += QLatin1Char('^');
    }
    if (const QString name = keyName(key); !name.isEmpty()) {
        m_transcript += QLatin1Char('{') + name + QLatin1Char('}');
    } else if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        // Ctrl turns the text into a control code: name the letter instead.
        const QChar letter(key);
        m_transcript += event->modifiers().testFlag(Qt::ShiftModifier) ? letter : letter.toLower();
    } else if (!event->text().isEmpty()) {
        m_transcript += event->text();
    } else {
        m_transcript += QStringLiteral("{?%1}").arg(key, 0, 16);
    }
}

} // namespace vxorv::e2e
