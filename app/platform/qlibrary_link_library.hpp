#pragma once

#include "platform/link_library.hpp"

#include <QLibrary>
#include <QStringList>

namespace vxorv {

// The link library loaded with QLibrary by its file name ("libwinvxbt.so"),
// looked for in each of `directories` in turn and then where the system's
// loader looks by default. Loaded at the first call, never unloaded.
class QLibraryLinkLibrary final : public LinkLibrary {
  public:
    QLibraryLinkLibrary(QString fileName, QStringList directories);

    // The library's file name on this platform: libwinvxbt.so, winvxbt.dll.
    static QString defaultFileName();
    // The program's own directory, then (on Linux) the library directory of the
    // install the program lies in, found from the program's place whatever the prefix.
    static QStringList defaultDirectories();

    std::optional<std::uint16_t> VXBT_init(std::uint8_t channel, std::uint16_t max_message_length,
                                           std::uint16_t max_queued, std::uint8_t auto_ack,
                                           std::uint8_t stdcall_callback,
                                           vxbt_tx_callback tx_callback) override;
    std::optional<std::uint16_t> VXBT_close(std::uint8_t channel) override;
    std::optional<std::uint16_t> VXBT_get_ver(std::uint8_t* ver_major, std::uint8_t* ver_minor,
                                              std::uint8_t* ver_build) override;
    std::optional<std::uint16_t> VXBT_rx_msg_cnt(std::uint8_t channel) override;
    std::optional<std::uint16_t> VXBT_get_msg(std::uint8_t channel, std::uint8_t* dst) override;
    std::optional<std::uint16_t> VXBT_send_ack(std::uint8_t channel) override;
    std::optional<std::uint16_t> VXBT_send_nack(std::uint8_t channel) override;
    std::optional<std::uint16_t> VXBT_rx_byte(std::uint8_t channel, std::uint8_t byte) override;

    QString bindingError() const override { return m_error; }
    // The file that was loaded; empty before the first call.
    QString loadedFrom() const { return m_library.isLoaded() ? m_library.fileName() : QString(); }

  private:
    bool load();
    template <typename Function> Function* resolve(Function*& slot, const char* name);

    QString m_fileName;
    QStringList m_directories;
    QLibrary m_library;
    QString m_error;

    decltype(&::VXBT_init) m_init = nullptr;
    decltype(&::VXBT_close) m_close = nullptr;
    decltype(&::VXBT_get_ver) m_getVer = nullptr;
    decltype(&::VXBT_rx_msg_cnt) m_rxMsgCnt = nullptr;
    decltype(&::VXBT_get_msg) m_getMsg = nullptr;
    decltype(&::VXBT_send_ack) m_sendAck = nullptr;
    decltype(&::VXBT_send_nack) m_sendNack = nullptr;
    decltype(&::VXBT_rx_byte) m_rxByte = nullptr;
};

} // namespace vxorv
