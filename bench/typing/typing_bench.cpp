// Typing throughput into a focused window, ours against `xdotool type` at its
// default delay, with nothing lost. Not a test: run it under an X server,
// e.g. `xvfb-run -a build/default/bench/typing/typing_bench`, or through the
// `run_typing_bench` target.

#include "typing/send_keys.hpp"
#include "typing/x11/xtest_backend.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using vxorv::e2e::TypingSink;
using namespace std::chrono_literals;

struct Result {
    qsizetype sent = 0;
    qsizetype lost = 0;   // characters missing or wrong (sent minus the longest common part)
    double seconds = 0;   // from the first key sent to the last key received
    double handedOff = 0; // seconds until the typist had sent its last key
};

// Characters of `expected` not found in order in `received`.
qsizetype lost(const QString& expected, const QString& received) {
    std::vector<int> row(static_cast<std::size_t>(received.size()) + 1, 0);
    for (QChar e : expected) {
        int diagonal = 0;
        for (qsizetype j = 0; j < received.size(); ++j) {
            const int above = row[static_cast<std::size_t>(j) + 1];
            row[static_cast<std::size_t>(j) + 1] =
                e == received[j] ? diagonal + 1 : std::max(above, row[static_cast<std::size_t>(j)]);
            diagonal = above;
        }
    }
    return expected.size() - row.back();
}

QString escaped(const QString& text) {
    QString keys;
    for (QChar c : text) {
        keys += QStringLiteral("{}()+^~%!").contains(c) ? QLatin1Char('{') + c + QLatin1Char('}')
                                                        : QString(c);
    }
    return keys;
}

QString repeatTo(const QString& pool, qsizetype length) {
    QString text;
    while (text.size() < length) {
        text += pool;
    }
    return text.left(length);
}

Result typeWithInjector(TypingSink& sink, const QString& text) {
    std::string problem;
    vxorv::SendKeys injector(vxorv::XTestBackend::open(problem));
    sink.clear();
    QElapsedTimer clock;
    clock.start();
    injector.sendKeys(escaped(text));
    double handedOff = 0;
    sink.collect(
        [&] {
            if (handedOff == 0 && injector.waitUntilTypedFor(0ms)) {
                handedOff = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            }
            return handedOff != 0 && sink.transcript().size() >= text.size();
        },
        500);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9 -
                           static_cast<double>(sink.quietFor()) / 1e3;
    return {text.size(), lost(text, sink.transcript()), seconds, handedOff};
}

Result typeWithXdotool(TypingSink& sink, const QString& text) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("text")));
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    file.close();
    sink.clear();
    QElapsedTimer clock;
    clock.start();
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("type"), QStringLiteral("--file"), file.fileName()});
    sink.collect([&] { return xdotool.state() == QProcess::NotRunning; }, 500, 600000);
    const double handedOff = static_cast<double>(clock.nsecsElapsed()) / 1e9 -
                             static_cast<double>(sink.quietFor()) / 1e3;
    return {text.size(), lost(text, sink.transcript()),
            static_cast<double>(clock.nsecsElapsed()) / 1e9 -
                static_cast<double>(sink.quietFor()) / 1e3,
            handedOff};
}

void report(const char* who, const char* what, const Result& r) {
    std::printf("%-8s %-34s %6lld chars  %9.0f chars/s  lost %lld  (typist done after %.3f s)\n",
                who, what, static_cast<long long>(r.sent), static_cast<double>(r.sent) / r.seconds,
                static_cast<long long>(r.lost), r.handedOff);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TypingSink sink;
    if (!sink.showAndFocus()) {
        std::fprintf(stderr, "the sink window did not get the keyboard focus\n");
        return 1;
    }
    const QString ascii = QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 "
                                         "{}()+^~%! [x] <>?,./;:'\"|\\`-=_* ");
    const QString nonKeymap = QStringLiteral("äöüßéèàç€£°µ½§«»–…αβγδεζηθικλμνЖЩЯБДЛ");
    const QString mixed = QStringLiteral("Order 4711: Müller, 12 € à 3 – αβγ ok ");

    std::printf("Typing into a focused Qt window under %s\n", qgetenv("DISPLAY").constData());
    const QString asciiLong = repeatTo(ascii, 20000);
    report("ours", "ASCII", typeWithInjector(sink, asciiLong));
    report("ours", "mixed, 4 non-keymap chars", typeWithInjector(sink, repeatTo(mixed, 4096)));
    report("ours", "non-keymap only, 36 distinct",
           typeWithInjector(sink, repeatTo(nonKeymap, 1000)));

    const QString asciiShort = repeatTo(ascii, 1000);
    report("xdotool", "ASCII", typeWithXdotool(sink, asciiShort));
    report("xdotool", "mixed, 4 non-keymap chars", typeWithXdotool(sink, repeatTo(mixed, 1000)));
    report("xdotool", "non-keymap only, 36 distinct",
           typeWithXdotool(sink, repeatTo(nonKeymap, 500)));
    return 0;
}
