#include "platform/serial_device_check.hpp"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vxorv {
namespace {

// The class of a character device as the kernel lists it in sysfs ("tty",
// "mem", ...); empty when the device is not listed there, as pseudo-terminals.
QString deviceClass(dev_t device) {
    const QString link =
        QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(major(device)).arg(minor(device));
    const QString target = QFileInfo(link).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

SerialDeviceKind terminalByOpening(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return SerialDeviceKind::CannotTell;
    }
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? SerialDeviceKind::SerialPort : SerialDeviceKind::NotATerminal;
}

} // namespace

SerialDeviceKind serialDeviceKind(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return SerialDeviceKind::Missing;
    }
    if (S_ISDIR(info.st_mode)) {
        return SerialDeviceKind::Directory;
    }
    if (!S_ISCHR(info.st_mode)) {
        return SerialDeviceKind::NotADevice;
    }
    const QString cls = deviceClass(info.st_rdev);
    if (cls == u"tty") {
        return SerialDeviceKind::SerialPort;
    }
    if (!cls.isEmpty()) {
        return SerialDeviceKind::NotATerminal;
    }
    return terminalByOpening(path);
}

QString notASerialPortReason(const QString& path, SerialDeviceKind kind) {
    QString what;
    switch (kind) {
    case SerialDeviceKind::Directory:
        what = QStringLiteral("a folder");
        break;
    case SerialDeviceKind::NotADevice:
        what = QStringLiteral("a file");
        break;
    case SerialDeviceKind::NotATerminal:
        what = QStringLiteral("a device of another kind");
        break;
    default:
        return {};
    }
    return QStringLiteral("%1 is not a serial port: it is %2.").arg(path, what);
}

QString accessDeniedReason(const QString& path) {
    const QFileInfo device(path);
    if (device.isReadable() && device.isWritable()) {
        return QStringLiteral("the device is in use by another program. Close that program or "
                              "choose another port.");
    }
    const QString group = device.group();
    if (group.isEmpty() || group == u"root") {
        return QStringLiteral("permission denied. Ask your administrator for read and write "
                              "access to %1.")
            .arg(path);
    }
    return QStringLiteral("permission denied. The device belongs to the group \"%1\": join it "
                          "with \"sudo usermod -aG %1 $USER\", then log out and in again.")
        .arg(group);
}

} // namespace vxorv
