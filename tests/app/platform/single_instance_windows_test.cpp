#include "platform/single_instance.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <windows.h>

namespace vxorv {
namespace {

using namespace std::chrono_literals;

QString uniqueKey(const char* name) {
    return SingleInstance::keyFor(QStringLiteral("%1-%2").arg(name).arg(GetCurrentProcessId()));
}

TEST(SingleInstanceWindows, ALaterStartAsksTheRunningCopyToShowItself) {
    const QString key = uniqueKey("show");
    SingleInstance running({}, key);
    ASSERT_TRUE(running.claim());
    int shown = 0;
    running.setOnActivation([&shown] { ++shown; });

    SingleInstance later({}, key);
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(later.activateRunningCopy(2s));
    const QDeadlineTimer deadline(5s);
    while (shown == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(shown, 1);

    SingleInstance other({}, uniqueKey("other"));
    EXPECT_TRUE(other.claim());
}

TEST(SingleInstanceWindows, TheClaimEndsWithTheRunningCopy) {
    const QString key = uniqueKey("ends");
    {
        SingleInstance running({}, key);
        ASSERT_TRUE(running.claim());
    }
    SingleInstance next({}, key);
    EXPECT_TRUE(next.claim());
}

TEST(SingleInstanceWindows, NoAnswerWithoutARunningCopy) {
    SingleInstance later({}, uniqueKey("none"));
    EXPECT_FALSE(later.activateRunningCopy(300ms));
}

} // namespace
} // namespace vxorv

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
