// Typing throughput into a focused window, ours against `xdotool type` at its
// default delay, with nothing lost. Not a test: run it under an X server,
// e.g. `xvfb-run -a build/default/bench/typing/typing_bench`, or through the
// `run_typing_bench` target.

#include "typing/send_keys.hpp"
#include "typing/x11/xtest_backend.hpp"
#include "typing_measure.hpp"
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

using namespace vxorv::bench;

using vxorv::e2e::TypingSink;
using namespace std::chrono_literals;

// Sends `text` as messages of at most 4096 characters, as a long scan would
// come, each once the injector's backlog has room for it.
Result typeWithInjector(TypingSink& sink, const QString& text) {
    constexpr qsizetype message = 4096;
    std::string problem;
    vxorv::SendKeys injector(vxorv::XTestBackend::open(problem));
    sink.clear();
    QElapsedTimer clock;
    clock.start();
    qsizetype sent = 0;
    auto sendWhatFits = [&] {
        while (sent < text.size() &&
               injector.room() >= static_cast<std::size_t>(std::min(message, text.size() - sent))) {
            injector.sendKeys(escaped(text.mid(sent, message)));
            sent += message;
        }
        return sent >= text.size();
    };
    sendWhatFits();
    double handedOff = 0;
    sink.collect(
        [&] {
            if (handedOff == 0 && sendWhatFits() && injector.waitUntilTypedFor(0ms)) {
                handedOff = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            }
            return handedOff != 0 && sink.transcript().size() >= text.size();
        },
        500, 300000);
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
    // Characters a US layout lacks: more distinct ones than the X server's
    // 19 spare keycodes have levels (38), and fewer.
    const QString nonKeymap =
        QStringLiteral("äöüßéèàç€£°µ½§«»–…αβγδεζηθικλμνξοπρστυφχψωЖЩЯБДЛФЦЧШЭЮ");
    const QString fewNonKeymap = nonKeymap.left(30);
    const QString mixed = QStringLiteral("Order 4711: Müller, 12 € à 3 – αβγ ok ");
    const auto distinct = [](const QString& text) {
        QString seen;
        for (QChar c : text) {
            if (c.unicode() > 0x7e && !seen.contains(c)) {
                seen += c;
            }
        }
        return seen.size();
    };
    const QByteArray mixedLabel =
        QStringLiteral("mixed, %1 non-keymap chars").arg(distinct(mixed)).toUtf8();
    const QByteArray manyLabel =
        QStringLiteral("non-keymap only, %1 distinct").arg(distinct(nonKeymap)).toUtf8();
    const QByteArray fewLabel =
        QStringLiteral("non-keymap only, %1 distinct").arg(distinct(fewNonKeymap)).toUtf8();

    std::printf("Typing into a focused Qt window under %s\n", qgetenv("DISPLAY").constData());
    report("ours", "ASCII", typeWithInjector(sink, repeatTo(ascii, 20000)));
    report("ours", mixedLabel.constData(), typeWithInjector(sink, repeatTo(mixed, 4096)));
    report("ours", fewLabel.constData(), typeWithInjector(sink, repeatTo(fewNonKeymap, 1000)));
    report("ours", manyLabel.constData(), typeWithInjector(sink, repeatTo(nonKeymap, 500)));

    const QString asciiShort = repeatTo(ascii, 1000);
    report("xdotool", "ASCII", typeWithXdotool(sink, asciiShort));
    report("xdotool", mixedLabel.constData(), typeWithXdotool(sink, repeatTo(mixed, 1000)));
    report("xdotool", manyLabel.constData(), typeWithXdotool(sink, repeatTo(nonKeymap, 500)));
    return 0;
}
