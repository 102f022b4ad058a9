#include "command.hpp"
#include "framing.hpp"

#include <ostream>

namespace vxorv::vxbt {
namespace {

int runFrame(const std::vector<std::string>& args, Streams& io) {
    const Options options(args, {"seq", "max-payload"}, {"restart"});
    FramingOptions framing;
    framing.firstSeq = static_cast<std::uint8_t>(options.number("seq", 0, 255, 0));
    framing.restart = options.has("restart");
    framing.payloadLimit = static_cast<std::size_t>(
        options.number("max-payload", 1, static_cast<std::int64_t>(maxPayload), maxPayload));

    const std::string message = readAll(io.in);
    if (message.size() > maxMessage) {
        throw UsageError("the message has " + std::to_string(message.size()) +
                         " bytes; a message may have at most " + std::to_string(maxMessage));
    }
    for (const QByteArray& frame : frameMessage(
             QByteArrayView(message.data(), static_cast<qsizetype>(message.size())), framing)) {
        io.out.write(frame.constData(), frame.size());
    }
    io.out.flush();
    return io.out ? 0 : 1;
}

} // namespace

Command frameCommand() {
    return {"frame", "[--seq N] [--restart] [--max-payload N]",
            "Reads one message (raw bytes, at most 4096) from standard input and writes its\n"
            "frames to standard output: one whole-message frame when the message fits in the\n"
            "largest payload, otherwise a first, middle and last fragments in consecutive\n"
            "sequence numbers.\n"
            "\n"
            "  --seq N           sequence number of the first frame, 0..255 (default 0)\n"
            "  --restart         mark the first frame as restarting the sequence numbering\n"
            "  --max-payload N   largest payload per frame, 1..322 (default 322)\n"
            "\n"
            "Example: printf abc | vxbt frame --restart | od -An -tx1\n",
            runFrame};
}

} // namespace vxorv::vxbt
