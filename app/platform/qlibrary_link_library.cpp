#include "platform/qlibrary_link_library.hpp"

#include <QDir>
#include <QFileInfo>

namespace vxorv {

QLibraryLinkLibrary::QLibraryLinkLibrary(QString fileName, QStringList directories)
    : m_fileName(std::move(fileName)), m_directories(std::move(directories)) {}

bool QLibraryLinkLibrary::load() {
    if (m_library.isLoaded()) {
        return true;
    }
    for (const QString& directory : m_directories) {
        const QString path = QDir(directory).filePath(m_fileName);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        m_library.setFileName(path);
        if (m_library.load()) {
            return true;
        }
        m_error = QStringLiteral("Cannot load the link library %1 from %2: %3")
                      .arg(m_fileName, directory, m_library.errorString());
        return false;
    }
    m_library.setFileName(m_fileName);
    if (m_library.load()) {
        return true;
    }
    m_error =
        QStringLiteral("Cannot load the link library %1 (looked in %2 and the system's "
                       "library path): %3")
            .arg(m_fileName, m_directories.join(QStringLiteral(", ")), m_library.errorString());
    return false;
}

template <typename Function>
Function* QLibraryLinkLibrary::resolve(Function*& slot, const char* name) {
    if (slot || !load()) {
        return slot;
    }
    slot = reinterpret_cast<Function*>(m_library.resolve(name));
    if (!slot) {
        m_error =
            QStringLiteral("The link library %1 lacks the function %2: %3")
                .arg(m_library.fileName(), QString::fromLatin1(name), m_library.errorString());
    }
    return slot;
}

std::optional<std::uint16_t>
QLibraryLinkLibrary::VXBT_init(std::uint8_t channel, std::uint16_t max_message_length,
                               std::uint16_t max_queued, std::uint8_t auto_ack,
                               std::uint8_t stdcall_callback, vxbt_tx_callback tx_callback) {
    if (!resolve(m_init, "VXBT_init")) {
        return std::nullopt;
    }
    return m_init(channel, max_message_length, max_queued, auto_ack, stdcall_callback, tx_callback);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_close(std::uint8_t channel) {
    if (!resolve(m_close, "VXBT_close")) {
        return std::nullopt;
    }
    return m_close(channel);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_get_ver(std::uint8_t* ver_major,
                                                               std::uint8_t* ver_minor,
                                                               std::uint8_t* ver_build) {
    if (!resolve(m_getVer, "VXBT_get_ver")) {
        return std::nullopt;
    }
    return m_getVer(ver_major, ver_minor, ver_build);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_rx_msg_cnt(std::uint8_t channel) {
    if (!resolve(m_rxMsgCnt, "VXBT_rx_msg_cnt")) {
        return std::nullopt;
    }
    return m_rxMsgCnt(channel);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_get_msg(std::uint8_t channel,
                                                               std::uint8_t* dst) {
    if (!resolve(m_getMsg, "VXBT_get_msg")) {
        return std::nullopt;
    }
    return m_getMsg(channel, dst);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_send_ack(std::uint8_t channel) {
    if (!resolve(m_sendAck, "VXBT_send_ack")) {
        return std::nullopt;
    }
    return m_sendAck(channel);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_send_nack(std::uint8_t channel) {
    if (!resolve(m_sendNack, "VXBT_send_nack")) {
        return std::nullopt;
    }
    return m_sendNack(channel);
}

std::optional<std::uint16_t> QLibraryLinkLibrary::VXBT_rx_byte(std::uint8_t channel,
                                                               std::uint8_t byte) {
    if (!resolve(m_rxByte, "VXBT_rx_byte")) {
        return std::nullopt;
    }
    return m_rxByte(channel, byte);
}

} // namespace vxorv
