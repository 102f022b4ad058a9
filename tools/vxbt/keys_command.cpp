#include "command.hpp"

#include "collection/keystroke_conversion.hpp"
#include "platform/code_page.hpp"

#include <limits>
#include <ostream>

namespace vxorv::vxbt {
namespace {

int runKeys(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {"mode"}, {});
    const auto mode =
        static_cast<std::int32_t>(options.number("mode", std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max(), 0));
    const std::string bytes = readAll(io.in);
    const QString text =
        decodeWindows1252(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    const QByteArray keystrokes = textToKeystrokes(text, mode).toUtf8();
    io.out.write(keystrokes.constData(), keystrokes.size());
    io.out.flush();
    return io.out ? 0 : 1;
}

} // namespace

Command keysCommand() {
    return {"keys", "[--mode N]",
            "Reads raw bytes from standard input and writes to standard output, UTF-8\n"
            "encoded and with nothing added, the keystroke string VXORV would hand to its\n"
            "keystroke injector for them: the bytes decoded as Windows-1252, the injector's\n"
            "command characters escaped, codes 127..255 converted by the table of the mode.\n"
            "\n"
            "  --mode N   extended conversion mode (default 0): 1 \"IBM AT\", 2, 3 and 4 the\n"
            "             further tables; any other value converts nothing\n"
            "\n"
            "Example: printf 'AB\\203' | vxbt keys --mode 1     (prints AB{ENTER})\n",
            runKeys};
}

} // namespace vxorv::vxbt
