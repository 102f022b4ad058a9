#include "platform/single_instance.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vxorv {
namespace {

using namespace std::chrono_literals;

const QString key = QStringLiteral("vxorv-test");

bool processEventsUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10s);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

// What a copy killed with SIGKILL leaves behind: its lock file, naming a
// process that is gone, and its socket file with nobody listening.
void leaveWhatAKilledCopyLeaves(const QString& directory) {
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile lock(directory + u'/' + key + QStringLiteral(".lock"));
        (void)lock.tryLock(0);
        const QByteArray path = (directory + u'/' + key + QStringLiteral(".socket")).toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(),
                    std::min(sizeof address.sun_path - 1, std::size_t(path.size())));
        const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
        (void)::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        (void)::listen(listening, 1);
        ::raise(SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST(SingleInstance, ALaterStartAsksTheRunningCopyToShowItself) {
    QTemporaryDir directory;
    SingleInstance running(directory.path(), key);
    int activations = 0;
    running.setOnActivation([&activations] { ++activations; });
    ASSERT_TRUE(running.claim());

    SingleInstance later(directory.path(), key);
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(later.activateRunningCopy(5s));
    EXPECT_TRUE(processEventsUntil([&activations] { return activations == 1; }));

    SingleInstance other(directory.path(), key + QStringLiteral("-elsewhere"));
    EXPECT_TRUE(other.claim()) << "another display or settings file is another copy";
}

TEST(SingleInstance, WhatAKilledCopyLeftBehindDoesNotStopTheNextStart) {
    QTemporaryDir directory;
    leaveWhatAKilledCopyLeaves(directory.path());

    SingleInstance next(directory.path(), key);
    int activations = 0;
    next.setOnActivation([&activations] { ++activations; });
    ASSERT_TRUE(next.claim());
    SingleInstance later(directory.path(), key);
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(later.activateRunningCopy(5s));
    EXPECT_TRUE(processEventsUntil([&activations] { return activations == 1; }));
}

TEST(SingleInstance, AnUnusableDirectoryDoesNotKeepTheProgramFromStarting) {
    QTemporaryDir directory;
    EXPECT_TRUE(SingleInstance(directory.filePath(QStringLiteral("missing")), key).claim());
}

TEST(SingleInstance, NoAnswerWithoutARunningCopy) {
    QTemporaryDir directory;
    EXPECT_FALSE(SingleInstance(directory.path(), key).activateRunningCopy(300ms));
}

TEST(SingleInstance, TheKeyDependsOnTheDisplayAndTheSettingsFile) {
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":7");
    const QString first = SingleInstance::keyFor(QStringLiteral("/home/a/.config/VXORV/VXORV.ini"));
    EXPECT_EQ(first, SingleInstance::keyFor(QStringLiteral("/home/a/.config/VXORV/VXORV.ini")));
    EXPECT_NE(first, SingleInstance::keyFor(QStringLiteral("/tmp/demo/VXORV/VXORV.ini")));
    qputenv("DISPLAY", ":8");
    EXPECT_NE(first, SingleInstance::keyFor(QStringLiteral("/home/a/.config/VXORV/VXORV.ini")));
    qputenv("DISPLAY", display);
}

} // namespace
} // namespace vxorv
