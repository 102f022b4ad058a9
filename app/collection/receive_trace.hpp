#pragma once

#include <QLoggingCategory>

#include <array>
#include <cstdint>
#include <optional>

namespace vxorv {

// The diagnostic trace of the receive path, off by default; switch it on with
// QT_LOGGING_RULES="vxorv.receive.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcReceive)

// Running counts of what the line does, per channel, so that a support
// engineer sees each frame's outcome against the totals so far.
class ReceiveTrace {
  public:
    struct Counts {
        std::uint64_t framesAccepted = 0;
        std::uint64_t duplicates = 0;
        std::uint64_t repliesDropped = 0;       // the port did not take them
        std::array<std::uint64_t, 10> errors{}; // by result code 1..9; 0 = any other code
    };

    // One result of VXBT_rx_byte and the reply the library gave with it;
    // `replyDropped` when the port did not take that reply.
    void record(std::uint8_t channel, std::uint16_t result, std::optional<std::uint8_t> reply,
                bool replyDropped = false);

    const Counts& counts(std::uint8_t channel) const { return m_counts.at(channel); }

  private:
    std::array<Counts, 7> m_counts{};
};

} // namespace vxorv
