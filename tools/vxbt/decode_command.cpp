#include "command.hpp"

#include "collection/receive_error_text.hpp"
#include "platform/code_page.hpp"

#include "winvxbt.h"

#include <array>
#include <iomanip>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

namespace vxorv::vxbt {
namespace {

constexpr std::uint8_t channel = 0;

std::optional<std::uint8_t> g_reply; // the reply the library sent for the current byte

std::uint16_t recordReply(std::uint8_t, std::uint8_t byte) {
    g_reply = byte;
    return VXBT_OK;
}

std::string replyName(std::optional<std::uint8_t> reply) {
    if (!reply) {
        return "no reply";
    }
    return *reply == 0x06 ? "ACK" : *reply == 0x15 ? "NAK" : "reply " + std::to_string(*reply);
}

std::string outcomeName(std::uint16_t result) {
    return result == VXBT_OK ? "frame accepted" : receiveErrorText(result).toStdString();
}

// A message as readable text: printable characters as they are (UTF-8),
// others escaped.
std::string quoted(QByteArrayView bytes) {
    std::string text = "\"";
    for (const QChar c : decodeWindows1252(bytes)) {
        const char16_t code = c.unicode();
        if (code == u'"' || code == u'\\') {
            text += '\\';
            text += static_cast<char>(code);
        } else if (code == u'\r') {
            text += "\\r";
        } else if (code == u'\n') {
            text += "\\n";
        } else if (code == u'\t') {
            text += "\\t";
        } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            std::ostringstream escape;
            escape << "\\x" << std::hex << std::setw(2) << std::setfill('0') << unsigned(code);
            text += escape.str();
        } else {
            text += QString(c).toStdString();
        }
    }
    return text + '"';
}

std::string hex(QByteArrayView bytes) {
    std::ostringstream out;
    out << std::hex << std::setfill('0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out << (i ? " " : "") << std::setw(2) << unsigned(static_cast<std::uint8_t>(bytes[i]));
    }
    return out.str();
}

// Prints one line per frame outcome or error, merging runs of the same error
// without a reply (bytes skipped between frames) into one line.
class OutcomePrinter {
  public:
    explicit OutcomePrinter(std::ostream& out) : m_out(out) {}

    void byte(std::size_t offset, std::uint16_t result, std::optional<std::uint8_t> reply) {
        if (result == VXBT_OK && !reply) {
            return; // inside a frame
        }
        if (result == VXBT_OK) {
            ++m_accepted;
        } else {
            ++m_errors[result];
        }
        if (m_run && m_run->result == result && !reply && m_run->last + 1 == offset) {
            m_run->last = offset;
            ++m_run->count;
            m_lineStart = offset + 1;
            return;
        }
        flushRun();
        if (!reply && result != VXBT_OK) {
            m_run = Run{result, m_lineStart, offset, 1};
        } else {
            print(m_lineStart, offset, outcomeName(result) + " -> " + replyName(reply));
        }
        m_lineStart = offset + 1;
    }

    void finish(std::size_t total) {
        flushRun();
        if (m_lineStart < total) {
            print(m_lineStart, total - 1, "incomplete frame at the end of the input");
        }
    }

    std::uint64_t accepted() const { return m_accepted; }
    const std::map<std::uint16_t, std::uint64_t>& errors() const { return m_errors; }

  private:
    struct Run {
        std::uint16_t result;
        std::size_t first;
        std::size_t last;
        std::size_t count;
    };

    void flushRun() {
        if (!m_run) {
            return;
        }
        std::string what = outcomeName(m_run->result) + " -> no reply";
        if (m_run->count > 1) {
            what += " (" + std::to_string(m_run->count) + " bytes)";
        }
        print(m_run->first, m_run->last, what);
        m_run.reset();
    }

    void print(std::size_t first, std::size_t last, const std::string& what) {
        m_out << "bytes " << first << '-' << last << ": " << what << '\n';
    }

    std::ostream& m_out;
    std::size_t m_lineStart = 0;
    std::optional<Run> m_run;
    std::uint64_t m_accepted = 0;
    std::map<std::uint16_t, std::uint64_t> m_errors;
};

int runDecode(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {"max-length", "max-queued"}, {});
    const auto maxLength =
        static_cast<std::uint16_t>(options.number("max-length", 1, VXBT_MAX_MESSAGE, 4096));
    const auto maxQueued =
        static_cast<std::uint16_t>(options.number("max-queued", 1, VXBT_MAX_QUEUED, 5));

    if (const std::uint16_t opened = VXBT_init(channel, maxLength, maxQueued, 1, 1, recordReply);
        opened != VXBT_OK) {
        throw Failure("the library refused to open a channel: " +
                      receiveErrorText(opened).toStdString());
    }
    const std::string input = readAll(io.in);
    OutcomePrinter printer(io.out);
    for (std::size_t offset = 0; offset < input.size(); ++offset) {
        g_reply.reset();
        const std::uint16_t result =
            VXBT_rx_byte(channel, static_cast<std::uint8_t>(input[offset]));
        printer.byte(offset, result, g_reply);
    }
    printer.finish(input.size());

    // Messages are taken once all input is read, as one polling tick would.
    std::array<std::uint8_t, VXBT_MAX_MESSAGE> buffer{};
    std::size_t messages = 0;
    while (VXBT_rx_msg_cnt(channel) > 0) {
        const std::uint16_t length = VXBT_get_msg(channel, buffer.data());
        const QByteArrayView message(buffer.data(), length);
        io.out << "message " << ++messages << " (" << length << " bytes): " << quoted(message);
        io.out << (length ? "  " : "") << hex(message) << '\n';
    }
    (void)VXBT_close(channel);

    io.out << "summary: " << input.size() << " bytes, " << printer.accepted() << " frames accepted";
    for (const auto& [result, count] : printer.errors()) {
        io.out << ", " << count << " x \"" << receiveErrorText(result).toStdString() << '"';
    }
    io.out << ", " << messages << " messages\n";
    io.out.flush();
    return io.out ? 0 : 1;
}

} // namespace

Command decodeCommand() {
    return {"decode", "[--max-length N] [--max-queued N]",
            "Feeds standard input, byte by byte, through the link protocol library on one\n"
            "channel with automatic replies, as VXORV does, and prints what a support\n"
            "engineer needs: each frame's outcome with the reply sent (byte offsets in the\n"
            "input), each message taken (as text and hex), and a summary. Messages are taken\n"
            "once all input is read, as one polling tick would take them.\n"
            "\n"
            "  --max-length N   longest message accepted, 1..4096 (default 4096)\n"
            "  --max-queued N   most messages kept waiting, 1..255 (default 5, as VXORV)\n"
            "\n"
            "Example: printf abc | vxbt frame | vxbt decode\n",
            runDecode};
}

} // namespace vxorv::vxbt
