#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>

namespace vxorv::e2e {

// A window that takes the keyboard focus and writes down every key press it
// gets, as a transcript: characters as the text of their key event, named
// keys as "{ENTER}", "{F12}", ..., Ctrl as a "^" prefix ("^c"), a key that
// types nothing it knows as "{?<Qt key>}". Modifier presses are left out.
// It paints nothing and keeps no per-event objects, so that it can take keys
// far faster than a text editor.
class TypingSink final : public QWidget {
  public:
    TypingSink();

    // Shows the window over the whole screen and waits until it has the
    // keyboard focus; false when it did not get it.
    bool showAndFocus();

    const QString& transcript() const { return m_transcript; }
    qint64 keyPresses() const { return m_keyPresses; }
    // Milliseconds since the last key press (or since clear()).
    qint64 quietFor() const { return m_sinceLastKey.elapsed(); }
    void clear();

    // Processes events until `done()` is true and no key has arrived for
    // `quiet` ms, or until `timeout` ms have passed.
    void collect(const std::function<bool()>& done, int quietMs = 300, int timeoutMs = 60000);

  protected:
    bool event(QEvent* event) override; // keeps Tab from moving the focus
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString m_transcript;
    qint64 m_keyPresses = 0;
    QElapsedTimer m_sinceLastKey;
};

} // namespace vxorv::e2e
