#include "fakes/recording_backend.hpp"
#include "typing/send_keys.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vxorv {
namespace {

using namespace std::chrono_literals;

// A backend that blocks every event until the test opens its gate, to show
// that sendKeys does not wait for typing.
class GatedBackend final : public KeystrokeBackend {
  public:
    bool type(const KeyEvent&) override {
        std::unique_lock lock(m_mutex);
        m_open.wait(lock, [this] { return m_isOpen; });
        ++m_typed;
        return true;
    }
    void open() {
        {
            std::lock_guard lock(m_mutex);
            m_isOpen = true;
        }
        m_open.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_open;
    bool m_isOpen = false;
    int m_typed = 0;
};

// A backend that cannot produce the digit 7.
class NoSevenBackend final : public KeystrokeBackend {
  public:
    bool type(const KeyEvent& event) override { return event.character != U'7'; }
};

TEST(SendKeys, TypesEverythingInOrderAcrossManyCalls) {
    auto backend = std::make_unique<RecordingBackend>();
    const auto record = backend->record();
    SendKeys injector(std::move(backend));

    QString expected;
    for (int i = 0; i < 200; ++i) {
        const QString piece = QString::number(i) + QStringLiteral("{TAB}");
        injector.sendKeys(piece);
        expected += piece;
    }
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(record->text(), expected);
    EXPECT_GE(record->idleCalls(), 1u);
}

TEST(SendKeys, ReturnsWhileTheBackendIsStillTyping) {
    auto backend = std::make_unique<GatedBackend>();
    GatedBackend& gate = *backend;
    SendKeys injector(std::move(backend));

    injector.sendKeys(QStringLiteral("abc"));
    EXPECT_FALSE(injector.waitUntilTypedFor(50ms));
    gate.open();
    EXPECT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(injector.counts().typed, 3u);
}

TEST(SendKeys, CallsIdleOnceTheQueueRunsEmpty) {
    auto backend = std::make_unique<RecordingBackend>();
    const auto record = backend->record();
    SendKeys injector(std::move(backend));

    injector.sendKeys(QStringLiteral("x"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(record->idleCalls(), 1u);
    injector.sendKeys(QStringLiteral("y"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(record->idleCalls(), 2u);
}

TEST(SendKeys, TheBacklogTakesWholeStringsUpToItsLimitWhileTypingIsHeld) {
    auto backend = std::make_unique<RecordingBackend>();
    const auto record = backend->record();
    SendKeys injector(std::move(backend), {}, 10);
    injector.setHeld(true);

    EXPECT_EQ(injector.room(), 10u);
    injector.sendKeys(QStringLiteral("abc{ENTER}def"));
    EXPECT_EQ(injector.room(), 3u) << "seven keys from thirteen characters";
    injector.sendKeys(QStringLiteral("1234"));
    EXPECT_EQ(injector.room(), 3u) << "a string that does not fit is not split";
    injector.sendKeys(QStringLiteral("xyz"));
    EXPECT_EQ(injector.room(), 0u);
    EXPECT_FALSE(injector.waitUntilTypedFor(100ms));
    EXPECT_EQ(record->text(), "");

    injector.setHeld(false);
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(record->text(), "abc{ENTER}defxyz");
    EXPECT_EQ(injector.counts().discarded, 4u);
    EXPECT_EQ(injector.room(), 10u);
}

TEST(SendKeys, DiscardPendingDropsTheBacklogAndTypingGoesOnAfterwards) {
    auto backend = std::make_unique<RecordingBackend>();
    const auto record = backend->record();
    SendKeys injector(std::move(backend), {}, 100);
    injector.setHeld(true);
    injector.sendKeys(QStringLiteral("abc"));

    EXPECT_EQ(injector.discardPending(), 3u);
    EXPECT_TRUE(injector.waitUntilTypedFor(0ms));
    EXPECT_EQ(injector.room(), 100u);
    injector.setHeld(false);
    injector.sendKeys(QStringLiteral("x"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(record->text(), "x");
    EXPECT_EQ(injector.counts().discarded, 3u);
}

// Takes a millisecond per key, as a real desktop does; the count outlives it.
class SlowBackend final : public KeystrokeBackend {
  public:
    explicit SlowBackend(std::shared_ptr<std::atomic<int>> typed) : m_typed(std::move(typed)) {}
    bool type(const KeyEvent&) override {
        std::this_thread::sleep_for(1ms);
        ++*m_typed;
        return true;
    }

  private:
    std::shared_ptr<std::atomic<int>> m_typed;
};

TEST(SendKeys, DestructionFinishesTheKeyInHandAndDropsTheRest) {
    const auto typed = std::make_shared<std::atomic<int>>(0);
    {
        SendKeys injector(std::make_unique<SlowBackend>(typed));
        injector.sendKeys(QString(5000, u'z'));
        while (*typed == 0) {
            std::this_thread::yield();
        }
    }
    EXPECT_LT(*typed, 100) << "keys typed after the end was asked for";
}

TEST(SendKeys, CountsRefusedKeysAndIgnoredControlCharacters) {
    SendKeys injector(std::make_unique<NoSevenBackend>());
    injector.sendKeys(QStringLiteral("17") + QChar(u'\0') + QStringLiteral("77\x01"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    const SendKeys::Counts counts = injector.counts();
    EXPECT_EQ(counts.typed, 1u);
    EXPECT_EQ(counts.refused, 3u);
    EXPECT_EQ(counts.ignoredControls, 2u);
}

// Collects what the injector reports, from its typing thread.
struct UntypedReports {
    std::mutex mutex;
    std::vector<UntypedKeys> reports;

    SendKeys::UntypedHandler handler() {
        return [this](const UntypedKeys& untyped) {
            std::lock_guard lock(mutex);
            reports.push_back(untyped);
        };
    }
};

TEST(SendKeys, ReportsEachMessagesUntypedKeysAndNeverTypesOthersInTheirPlace) {
    auto backend = std::make_unique<NoSevenBackend>();
    SendKeys injector(std::move(backend));
    UntypedReports untyped;
    injector.setOnUntyped(untyped.handler());
    injector.sendKeys(QStringLiteral("a7b7^7"));
    injector.sendKeys(QStringLiteral("all typed"));
    injector.sendKeys(QStringLiteral("7"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));

    ASSERT_EQ(untyped.reports.size(), 2u) << "one report per message that lost keys";
    EXPECT_EQ(untyped.reports[0].keys,
              (std::vector{KeyEvent::ofCharacter(U'7'), KeyEvent::ofCharacter(U'7'),
                           KeyEvent::ofCharacter(U'7', true)}));
    EXPECT_TRUE(untyped.reports[0].failure.empty());
    EXPECT_EQ(describeUntyped(untyped.reports[0]),
              QStringLiteral("3 keys could not be typed: 7 (U+0037), Ctrl+7 (U+0037)"));
    EXPECT_EQ(describeUntyped(untyped.reports[1]),
              QStringLiteral("1 key could not be typed: 7 (U+0037)"));
    EXPECT_EQ(injector.counts().refused, 4u);
    EXPECT_TRUE(injector.available());
}

// Types `keys` keys, then has lost its connection; with `failsWhenIdle`, the
// loss shows only once the injector has called idle().
class FailingBackend final : public KeystrokeBackend {
  public:
    explicit FailingBackend(int keys, bool failsWhenIdle = false)
        : m_keysLeft(keys), m_failsWhenIdle(failsWhenIdle) {}
    bool type(const KeyEvent&) override {
        if (broken() || m_keysLeft == 0) {
            return false;
        }
        --m_keysLeft;
        return true;
    }
    std::string failure() const override { return broken() ? "connection lost" : ""; }
    void idle() override { m_idled = true; }

  private:
    bool broken() const { return m_keysLeft == 0 && (!m_failsWhenIdle || m_idled); }
    int m_keysLeft;
    bool m_failsWhenIdle;
    bool m_idled = false;
};

TEST(SendKeys, AFailedBackendStopsTypingAndEveryKeyAfterIsReported) {
    SendKeys injector(std::make_unique<FailingBackend>(3));
    UntypedReports untyped;
    injector.setOnUntyped(untyped.handler());
    injector.sendKeys(QStringLiteral("abcdef"));
    injector.sendKeys(QStringLiteral("gh"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));

    ASSERT_EQ(untyped.reports.size(), 2u);
    EXPECT_EQ(untyped.reports[0].keys.size(), 3u);
    EXPECT_EQ(untyped.reports[0].keys.front(), KeyEvent::ofCharacter(U'd'));
    EXPECT_EQ(untyped.reports[0].failure, "connection lost");
    EXPECT_TRUE(describeUntyped(untyped.reports[0]).endsWith(u"f (U+0066) (connection lost)"));
    EXPECT_EQ(untyped.reports[1].keys.size(), 2u);
    EXPECT_EQ(injector.counts().typed, 3u);
    EXPECT_EQ(injector.counts().refused, 5u);
    EXPECT_FALSE(injector.available()) << "starting collection now fails";
    EXPECT_EQ(injector.unavailableReason(), QStringLiteral("connection lost"));
}

TEST(SendKeys, AFailureFoundWhileIdleIsReportedOnce) {
    SendKeys injector(std::make_unique<FailingBackend>(2, true));
    UntypedReports untyped;
    injector.setOnUntyped(untyped.handler());
    injector.sendKeys(QStringLiteral("ab"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));

    ASSERT_EQ(untyped.reports.size(), 1u);
    EXPECT_TRUE(untyped.reports[0].keys.empty());
    EXPECT_EQ(
        describeUntyped(untyped.reports[0]),
        QStringLiteral("Typing stopped: connection lost. Keys typed just before may be lost."));
    EXPECT_FALSE(injector.available());
}

// Records the messages it is told of and the keys it types, in one list.
class MessageRecordingBackend final : public KeystrokeBackend {
  public:
    void beginMessage(std::span<const KeyEvent> events) override {
        log.push_back("message of " + std::to_string(events.size()));
    }
    bool type(const KeyEvent& event) override {
        log.push_back(std::string(1, static_cast<char>(event.character)));
        return true;
    }
    std::vector<std::string> log;
};

TEST(SendKeys, TellsTheBackendOfEachMessageBeforeItsKeys) {
    auto backend = std::make_unique<MessageRecordingBackend>();
    const MessageRecordingBackend& recorder = *backend;
    SendKeys injector(std::move(backend));
    injector.sendKeys(QStringLiteral("ab"));
    injector.sendKeys(QStringLiteral("\x01")); // a message of nothing to type
    injector.sendKeys(QStringLiteral("c"));
    ASSERT_TRUE(injector.waitUntilTypedFor(10s));
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"message of 2", "a", "b", "message of 1", "c"}));
}

TEST(SendKeys, WithoutABackendIsUnavailableAndSaysWhy) {
    SendKeys injector(nullptr, QStringLiteral("no X display"));
    EXPECT_FALSE(injector.available());
    EXPECT_EQ(injector.unavailableReason(), "no X display");
    injector.sendKeys(QStringLiteral("abc"));
    EXPECT_TRUE(injector.waitUntilTypedFor(0ms));
    EXPECT_EQ(injector.counts().typed, 0u);
}

} // namespace
} // namespace vxorv
