#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

class QProcess;

namespace vxorv::e2e {

class TypingSink;

// What the test sees of the X desktop, through xdotool and screen grabs.

// Output of `xdotool args...`, trimmed; empty when it failed.
QString xdotool(const QStringList& args);
// Visible windows of the program (by its X class name), newest last.
QStringList visibleWindows(const QString& className);
QStringList windowsNamed(const QString& name);
QRect windowGeometry(const QString& window);

QImage grabScreen();
// Saves a screenshot as a test artifact; returns its path.
QString saveArtifact(const QString& name);

// The darkness of the text in each line of a menu picture, top to bottom:
// the smallest grey level per band of non-background rows, separators left
// out. Enabled items write in near black, disabled ones in grey.
std::vector<int> menuTextDarkness(const QImage& menu);

// How this process's tooltip shows `text`, cut from the screen: the same Qt,
// style and fonts draw the program's tooltips, so the pictures can be compared.
QImage tooltipPicture(const QString& text);

// Starts trayer as the notification area along the top edge and waits until
// its panel shows; false when it did not.
bool startNotificationArea(QProcess& trayer);

// Gives `sink` the keyboard focus as a window manager would: another
// program's window may hold it with a later time stamp than this process
// knows, and then a request of its own is ignored. False when it did not.
bool takeFocus(TypingSink& sink);

// Processes events until `done` is true or `timeout` passes. The default
// only bounds a hang: a loaded desktop can take many seconds for a step.
bool waitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(60));

} // namespace vxorv::e2e
