// Typing throughput into a focused native Wayland window on a headless sway,
// ours (the virtual keyboard backend) against `wtype`, with nothing lost. Not
// a test: run it through the `run_wayland_typing_bench` target.

#include "typing/send_keys.hpp"
#include "typing/wayland/virtual_keyboard_backend.hpp"
#include "typing_measure.hpp"
#include "typing_sink.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using namespace vxorv::bench;
using vxorv::e2e::TypingSink;
using namespace std::chrono_literals;

double secondsSince(const QElapsedTimer& clock, const TypingSink& sink) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9 -
           static_cast<double>(sink.quietFor()) / 1e3;
}

Result typeWithInjector(TypingSink& sink, const QString& text) {
    std::string problem;
    vxorv::SendKeys injector(vxorv::VirtualKeyboardBackend::open(problem));
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
        500, 600000);
    return {text.size(), lost(text, sink.transcript()), secondsSince(clock, sink), handedOff};
}

Result typeWithWtype(TypingSink& sink, const QString& text) {
    sink.clear();
    QElapsedTimer clock;
    clock.start();
    QProcess wtype;
    wtype.start(QStringLiteral("wtype"), {QStringLiteral("--"), text});
    sink.collect([&] { return wtype.state() == QProcess::NotRunning; }, 500, 600000);
    const double seconds = secondsSince(clock, sink);
    return {text.size(), lost(text, sink.transcript()), seconds, seconds};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // A keyboard on the seat before the window appears (see the end-to-end tests).
    std::string problem;
    const auto seatKeyboard = vxorv::VirtualKeyboardBackend::open(problem);
    if (!seatKeyboard) {
        std::fprintf(stderr, "no virtual keyboard: %s\n", problem.c_str());
        return 1;
    }
    TypingSink sink;
    if (!sink.showAndFocus()) {
        std::fprintf(stderr, "the sink window did not get the keyboard focus\n");
        return 1;
    }
    const QString ascii = QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 "
                                         "{}()+^~%! [x] <>?,./;:'\"|\\`-=_* ");
    const QString nonAscii = QStringLiteral("äöüßéèàç€£°µ½§«»–…αβγδεζηθικλμνЖЩЯБДЛ");
    const QString mixed = QStringLiteral("Order 4711: Müller, 12 € à 3 – αβγ ok ");

    std::printf("Typing into a focused native Wayland Qt window on %s (%s)\n",
                qgetenv("WAYLAND_DISPLAY").constData(), qgetenv("XDG_CURRENT_DESKTOP").constData());
    report("ours", "ASCII", typeWithInjector(sink, repeatTo(ascii, 10000)));
    report("ours", "mixed, 9 non-ASCII chars", typeWithInjector(sink, repeatTo(mixed, 4096)));
    report("ours", "non-ASCII only, 36 distinct", typeWithInjector(sink, repeatTo(nonAscii, 2000)));
    report("wtype", "ASCII", typeWithWtype(sink, repeatTo(ascii, 1000)));
    report("wtype", "mixed, 9 non-ASCII chars", typeWithWtype(sink, repeatTo(mixed, 1000)));
    report("wtype", "non-ASCII only, 36 distinct", typeWithWtype(sink, repeatTo(nonAscii, 500)));
    return 0;
}
