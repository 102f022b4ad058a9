#include "desktop.hpp"

#include "typing_sink.hpp"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

namespace vxorv::e2e {

QString xdotool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool startNotificationArea(QProcess& trayer) {
    trayer.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                  QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--SetDockType"),
                  QStringLiteral("true")});
    return trayer.waitForStarted() &&
           waitFor([] { return !visibleWindows(QStringLiteral("panel")).isEmpty(); });
}

QStringList visibleWindows(const QString& className) {
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--classname"), className})
        .split(u'\n', Qt::SkipEmptyParts);
}

QStringList windowsNamed(const QString& name) {
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--name"), QStringLiteral("^%1$").arg(name)})
        .split(u'\n', Qt::SkipEmptyParts);
}

QRect windowGeometry(const QString& window) {
    // "X=..\nY=..\nWIDTH=..\nHEIGHT=..\nSCREEN=.."
    const QStringList lines =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .split(u'\n');
    auto value = [&lines](const char* key) {
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1String(key) + u'=')) {
                return line.section(u'=', 1).toInt();
            }
        }
        return 0;
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

QImage grabScreen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

QString saveArtifact(const QString& name) {
    const QString directory = qEnvironmentVariable("VXORV_E2E_ARTIFACTS", QDir::currentPath());
    QDir().mkpath(directory);
    const QString path = QDir(directory).filePath(name);
    grabScreen().save(path);
    return path;
}

std::vector<int> menuTextDarkness(const QImage& menu) {
    const QRgb background = menu.pixel(menu.width() / 2, 3);
    std::vector<int> darkness;
    int bandRows = 0;
    int darkest = 255;
    auto endBand = [&] {
        if (bandRows >= 4) { // thinner bands are separator lines
            darkness.push_back(darkest);
        }
        bandRows = 0;
        darkest = 255;
    };
    // Look only at the text column, away from the frame.
    for (int y = 2; y < menu.height() - 2; ++y) {
        int rowDarkest = 255;
        for (int x = 8; x < menu.width() - 8; ++x) {
            if (menu.pixel(x, y) != background) {
                rowDarkest = std::min(rowDarkest, qGray(menu.pixel(x, y)));
            }
        }
        if (rowDarkest < 230) {
            ++bandRows;
            darkest = std::min(darkest, rowDarkest);
        } else {
            endBand();
        }
    }
    endBand();
    return darkness;
}

QImage tooltipPicture(const QString& text) {
    QToolTip::showText(QPoint(200, 400), text);
    QPointer<QWidget> tip;
    // Shown and exposed: Qt paints a widget as soon as it is exposed.
    waitFor([&tip] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("QTipLabel") && widget->isVisible() && widget->windowHandle() &&
                widget->windowHandle()->isExposed()) {
                tip = widget;
            }
        }
        return tip != nullptr;
    });
    waitFor([] { return false; }, std::chrono::milliseconds(300));
    const QImage picture = tip ? grabScreen().copy(tip->geometry()) : QImage();
    QToolTip::hideText();
    return picture;
}

bool takeFocus(TypingSink& sink) {
    sink.show();
    xdotool(
        {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(sink.winId())});
    return sink.showAndFocus();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

} // namespace vxorv::e2e
