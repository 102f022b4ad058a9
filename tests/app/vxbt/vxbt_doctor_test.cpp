// vxbt doctor as a user runs it, on what a test can arrange: no display, a
// configured device that is missing or no serial port, a device the user may
// not open, and a set-up that works (this test runs on a virtual X server).

#include "pseudo_terminal.hpp"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
};

class VxbtDoctor : public testing::Test {
  protected:
    QTemporaryDir home;

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        // Readable by the unprivileged user some tests run the doctor as.
        ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);
    }

    void configurePort1(const QString& device) {
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("VXORV")));
        QFile ini(home.filePath(QStringLiteral("VXORV/VXORV.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[FirstRun]\nWhen=OK\n[Ports]\nCOM1=" + QFile::encodeName(device) + "\n");
        ini.close();
        ini.setPermissions(ini.permissions() | QFileDevice::ReadOther);
    }

    // Runs the doctor with the settings of `home`, on the display unless told not to.
    Outcome doctor(bool display, const QStringList& asUser = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (!display) {
            environment.remove(QStringLiteral("DISPLAY"));
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command = asUser;
        command << QStringLiteral(VXBT_EXECUTABLE) << QStringLiteral("doctor");
        process.start(command.takeFirst(), command);
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "vxbt crashed";
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }
};

TEST_F(VxbtDoctor, WithoutADisplayOrADeviceItSaysWhyAndFails) {
    configurePort1(QStringLiteral("/dev/vxorv-no-such-scanner"));
    const Outcome run = doctor(false);
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Session:         none: neither DISPLAY nor WAYLAND_DISPLAY"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("port 1 opens /dev/vxorv-no-such-scanner"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("the device does not exist")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("libwinvxbt.so 2.0.0 loads from ")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("VXORV cannot")) << run.out.toStdString();
}

TEST_F(VxbtDoctor, AFileOrAnotherDeviceIsNotASerialPort) {
    for (const char* path : {"/etc/passwd", "/dev/null"}) {
        configurePort1(QString::fromLatin1(path));
        const Outcome run = doctor(true);
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_TRUE(run.out.contains(QStringLiteral("%1 is not a serial port").arg(path)))
            << run.out.toStdString();
    }
}

TEST_F(VxbtDoctor, AWorkingSetUpPasses) {
    vxorv::testing::PseudoTerminal scanner;
    configurePort1(scanner.slavePath());
    const Outcome run = doctor(true);
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Session:         X11")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Typing:          XTest")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("a serial port; you may open it")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("VXORV can collect and type here.")) << run.out.toStdString();
}

TEST_F(VxbtDoctor, ADeviceTheUserMayNotOpenNamesTheGroupToJoin) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to hand a device to the group dialout and drop privileges";
    }
    vxorv::testing::PseudoTerminal scanner;
    const QByteArray device = QFile::encodeName(scanner.slavePath());
    ASSERT_EQ(::chown(device.constData(), 0, 20), 0); // group dialout on Debian
    ASSERT_EQ(::chmod(device.constData(), 0660), 0);
    configurePort1(scanner.slavePath());
    const Outcome run =
        doctor(true, {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                      QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")});
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("join the group \"dialout\" with \"sudo usermod -aG dialout "
                                 "$USER\""))
        << run.out.toStdString();
}

} // namespace
