#include "collection/receive_trace.hpp"

#include "collection/receive_error_text.hpp"

#include "winvxbt.h"

namespace vxorv {

Q_LOGGING_CATEGORY(lcReceive, "vxorv.receive", QtWarningMsg)

namespace {

QString replyName(std::optional<std::uint8_t> reply) {
    if (!reply) {
        return QStringLiteral("no reply");
    }
    switch (*reply) {
    case 0x06:
        return QStringLiteral("ACK sent");
    case 0x15:
        return QStringLiteral("NAK sent");
    default:
        return QStringLiteral("reply 0x%1 sent").arg(*reply, 2, 16, QChar(u'0'));
    }
}

QString summary(const ReceiveTrace::Counts& counts) {
    QString text = QStringLiteral("accepted %1, duplicates %2")
                       .arg(counts.framesAccepted)
                       .arg(counts.duplicates);
    if (counts.repliesDropped > 0) {
        text += QStringLiteral(", replies dropped %1").arg(counts.repliesDropped);
    }
    for (std::uint16_t code = 1; code < counts.errors.size(); ++code) {
        if (code != VXBT_ERR_DUPLICATE && counts.errors[code] > 0) {
            text +=
                QStringLiteral(", \"%1\" %2").arg(receiveErrorText(code)).arg(counts.errors[code]);
        }
    }
    if (counts.errors[0] > 0) {
        text += QStringLiteral(", other %1").arg(counts.errors[0]);
    }
    return text;
}

} // namespace

void ReceiveTrace::record(std::uint8_t channel, std::uint16_t result,
                          std::optional<std::uint8_t> reply, bool replyDropped) {
    if (channel >= m_counts.size() || (result == VXBT_OK && !reply)) {
        return; // a byte inside a frame
    }
    Counts& counts = m_counts[channel];
    QString outcome;
    if (result == VXBT_OK) {
        ++counts.framesAccepted;
        outcome = QStringLiteral("frame accepted");
    } else {
        if (result == VXBT_ERR_DUPLICATE) {
            ++counts.duplicates;
        } else {
            ++counts.errors[result < counts.errors.size() ? result : 0];
        }
        outcome = receiveErrorText(result);
    }
    if (replyDropped) {
        // The device gets no answer and sends the frame again after its time-out.
        ++counts.repliesDropped;
        qCWarning(lcReceive).noquote()
            << QStringLiteral("channel %1: the device does not take our replies; %2 dropped (%3)")
                   .arg(channel)
                   .arg(replyName(reply).section(u' ', 0, 0), summary(counts));
        return;
    }
    qCDebug(lcReceive).noquote() << QStringLiteral("channel %1: %2 (%3) | %4")
                                        .arg(channel)
                                        .arg(outcome, replyName(reply), summary(counts));
}

} // namespace vxorv
