#pragma once

#include "platform/link_library.hpp"

#include <QByteArray>
#include <QStringList>

#include <cstring>
#include <deque>
#include <functional>

namespace vxorv {

// A link library for tests: records every call, answers VXBT_rx_byte through
// `rxByte`, and hands out the messages in `queued`. With `missing` set, every
// call fails to bind with that reason.
class FakeLinkLibrary final : public LinkLibrary {
  public:
    QStringList calls;
    std::deque<QByteArray> queued;
    std::function<std::uint16_t(std::uint8_t byte)> rxByte = [](std::uint8_t) { return 0; };
    vxbt_tx_callback callback = nullptr;
    QString missing;

    std::optional<std::uint16_t> VXBT_init(std::uint8_t channel, std::uint16_t max_message_length,
                                           std::uint16_t max_queued, std::uint8_t auto_ack,
                                           std::uint8_t stdcall_callback,
                                           vxbt_tx_callback tx_callback) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        calls << QStringLiteral("init %1 %2 %3 %4 %5")
                     .arg(channel)
                     .arg(max_message_length)
                     .arg(max_queued)
                     .arg(auto_ack)
                     .arg(stdcall_callback);
        callback = tx_callback;
        return m_open++ ? VXBT_ERR_STATE : VXBT_OK;
    }
    std::optional<std::uint16_t> VXBT_close(std::uint8_t channel) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        calls << QStringLiteral("close %1").arg(channel);
        const bool wasOpen = m_open > 0;
        m_open = 0;
        return wasOpen ? VXBT_OK : VXBT_ERR_STATE;
    }
    std::optional<std::uint16_t> VXBT_get_ver(std::uint8_t* ver_major, std::uint8_t* ver_minor,
                                              std::uint8_t* ver_build) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        *ver_major = 2;
        *ver_minor = 0;
        *ver_build = 0;
        return VXBT_OK;
    }
    std::optional<std::uint16_t> VXBT_rx_msg_cnt(std::uint8_t) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(queued.size());
    }
    std::optional<std::uint16_t> VXBT_get_msg(std::uint8_t, std::uint8_t* dst) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        if (queued.empty()) {
            return 0;
        }
        const QByteArray message = queued.front();
        queued.pop_front();
        std::memcpy(dst, message.constData(), static_cast<std::size_t>(message.size()));
        return static_cast<std::uint16_t>(message.size());
    }
    std::optional<std::uint16_t> VXBT_send_ack(std::uint8_t channel) override {
        calls << QStringLiteral("send_ack %1").arg(channel);
        return VXBT_OK;
    }
    std::optional<std::uint16_t> VXBT_send_nack(std::uint8_t channel) override {
        calls << QStringLiteral("send_nack %1").arg(channel);
        return VXBT_OK;
    }
    std::optional<std::uint16_t> VXBT_rx_byte(std::uint8_t channel, std::uint8_t byte) override {
        if (!missing.isEmpty()) {
            return std::nullopt;
        }
        calls << QStringLiteral("rx_byte %1 %2").arg(channel).arg(byte);
        return rxByte(byte);
    }
    QString bindingError() const override { return missing; }

  private:
    int m_open = 0;
};

} // namespace vxorv
