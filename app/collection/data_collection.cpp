#include "collection/data_collection.hpp"

#include "collection/callback.hpp"
#include "collection/keystroke_conversion.hpp"
#include "platform/code_page.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>

namespace vxorv {
namespace {

constexpr std::uint8_t channel = 0;
constexpr std::uint16_t maxMessageLength = 4096;
constexpr std::uint16_t maxQueued = 5;
constexpr std::chrono::milliseconds pollingInterval{200};

} // namespace

DataCollection::DataCollection(const DataCollectionParts& parts) : m_parts(parts) {
    setTransmitPort(&m_parts.MSComm1);
    m_parts.MSComm1.setOnComm([this] { onComm(); });
    m_parts.BTPollingTimer.setOnTick([this] { onPollingTick(); });
}

DataCollection::~DataCollection() {
    m_parts.MSComm1.setOnComm({});
    m_parts.BTPollingTimer.setOnTick({});
    setTransmitPort(nullptr);
}

bool DataCollection::dataCollectionStart(bool verbose) {
    if (m_parts.flags.ThisWasFirstLaunch &&
        !m_parts.flags.SettingsForFirstLaunchCoerrectlyPerformed) {
        m_lastFailure = QStringLiteral("You must setup properties at least once before "
                                       "starting the application.");
        m_parts.messageBoxes.show(m_lastFailure, MessageBoxes::Icon::Exclamation,
                                  MessageBoxes::Buttons::Ok);
        return false;
    }
    // Never acknowledge data that can never be typed.
    if (!m_parts.injector.available()) {
        return fail(verbose, m_parts.injector.unavailableReason());
    }

    SerialPortComponent& port = m_parts.MSComm1;
    const bool protocol = m_parts.settings.VXBTSecurityMode == 1;
    if (protocol) {
        if (Status s = port.setInputLen(1); !s) {
            return fail(verbose, s.description());
        }
        if (Status s = port.setInputMode(SerialPortComponent::InputModeBinary); !s) {
            return fail(verbose, s.description());
        }
    } else {
        if (Status s = port.setInputLen(0); !s) {
            return fail(verbose, s.description());
        }
        if (Status s = port.setInputMode(SerialPortComponent::InputModeText); !s) {
            return fail(verbose, s.description());
        }
    }
    m_protocolPath = protocol;

    if (protocol) {
        m_parts.BTPollingTimer.setInterval(pollingInterval);
        m_parts.BTPollingTimer.setEnabled(true);
        // An answer of 2 (still open from an earlier start) does no harm.
        if (!m_parts.library.VXBT_init(channel, maxMessageLength, maxQueued, 1, 1,
                                       serialTransmit)) {
            return fail(verbose, m_parts.library.bindingError());
        }
    }

    if (!port.PortOpen()) {
        if (Status s = port.setPortOpen(true); !s) {
            return fail(verbose, s.description());
        }
    }
    m_lastFailure.clear();
    showTrayState(true);
    return true;
}

bool DataCollection::fail(bool verbose, const QString& description) {
    m_lastFailure = description;
    if (verbose) {
        m_parts.messageBoxes.show(description, MessageBoxes::Icon::Exclamation,
                                  MessageBoxes::Buttons::Ok);
    }
    showTrayState(false);
    return false;
}

void DataCollection::dataCollectionStop() {
    // The plain path uses the timer too, while received text waits for room.
    m_parts.BTPollingTimer.setEnabled(false);
    if (m_parts.settings.VXBTSecurityMode == 1) {
        (void)m_parts.library.VXBT_close(channel);
    }
    if (m_parts.MSComm1.PortOpen()) {
        (void)m_parts.MSComm1.setPortOpen(false);
    }
    // The user asked for the typing to stop, not only the reading.
    (void)m_parts.injector.discardPending();
    m_lastFailure.clear();
    showTrayState(false);
}

void DataCollection::endTyping() {
    m_typingEnded = true;
    (void)m_parts.injector.discardPending();
}

std::size_t DataCollection::typingRoom() const {
    return m_typingEnded ? 0 : m_parts.injector.room();
}

bool DataCollection::IsDataCollectionRunnning() const {
    return m_parts.MSComm1.PortOpen();
}

void DataCollection::showTrayState(bool started) {
    m_parts.trayIcon.trayIconUpdate(
        started ? TrayIcon::Picture::imgStarted : TrayIcon::Picture::imgStopped,
        applicationTitle + (started ? QStringLiteral(" (started)") : QStringLiteral(" (stopped)")));
}

void DataCollection::setOnDeviceLost(std::function<void(const QString&)> handler) {
    m_onDeviceLost = std::move(handler);
}

void DataCollection::onComm() {
    switch (m_parts.MSComm1.CommEvent()) {
    case SerialPortComponent::CommEventReceive:
        // By the path the port was prepared for: its input format fits only that one.
        if (m_protocolPath) {
            receiveFrames();
        } else {
            receiveText();
        }
        break;
    case SerialPortComponent::CommEventDeviceLost:
        onDeviceLost();
        break;
    default:
        break;
    }
}

void DataCollection::receiveFrames() {
    SerialPortComponent& port = m_parts.MSComm1;
    while (port.InBufferCount() > 0) {
        const SerialPortComponent::InputData input = port.Input();
        const QByteArray* bytes = std::get_if<QByteArray>(&input);
        if (!bytes || bytes->isEmpty()) {
            return;
        }
        for (const char byte : *bytes) {
            (void)takeLastReply();
            const auto result =
                m_parts.library.VXBT_rx_byte(channel, static_cast<std::uint8_t>(byte));
            if (!result) {
                qCWarning(lcReceive).noquote() << m_parts.library.bindingError();
                return;
            }
            const std::optional<Reply> reply = takeLastReply();
            m_trace.record(channel, *result, reply ? std::optional(reply->byte) : std::nullopt,
                           reply && reply->dropped);
        }
    }
}

void DataCollection::receiveText() {
    SerialPortComponent& port = m_parts.MSComm1;
    // A received character never makes more than one key, so reading no more
    // characters than the backlog has room for keeps it bounded. What is not
    // read waits in the port's buffers, then in the kernel's, where the
    // line's handshaking holds the sender back.
    const auto room = static_cast<std::int16_t>(
        std::min<std::size_t>(typingRoom(), std::numeric_limits<std::int16_t>::max()));
    if (room > 0 && port.InBufferCount() > 0) {
        (void)port.setInputLen(room);
        const SerialPortComponent::InputData input = port.Input();
        (void)port.setInputLen(0);
        if (const QString* text = std::get_if<QString>(&input)) {
            m_parts.injector.sendKeys(
                textToKeystrokes(*text, m_parts.settings.ExtendedConversionMode));
        }
    }
    // Text left waiting raises no new event: the timer reads on once there is room.
    const bool waiting = port.InBufferCount() > 0;
    if (waiting && !m_parts.BTPollingTimer.enabled()) {
        m_parts.BTPollingTimer.setInterval(pollingInterval);
    }
    m_parts.BTPollingTimer.setEnabled(waiting);
}

void DataCollection::onPollingTick() {
    if (!m_protocolPath) {
        receiveText();
        return;
    }
    // The queue holds at most VXBT_MAX_QUEUED messages; the bound keeps a
    // misbehaving library from holding the user-interface thread.
    for (int taken = 0; taken < VXBT_MAX_QUEUED; ++taken) {
        // While the backlog is full, messages stay in the library's queue;
        // once that is full too, the device gets NAK and sends again later.
        if (typingRoom() < maxMessageLength) {
            return;
        }
        const auto count = m_parts.library.VXBT_rx_msg_cnt(channel);
        if (!count || static_cast<std::int16_t>(*count) <= 0) {
            if (!count) {
                qCWarning(lcReceive).noquote() << m_parts.library.bindingError();
            }
            return;
        }
        std::array<std::uint8_t, maxMessageLength> buffer;
        const auto length = m_parts.library.VXBT_get_msg(channel, buffer.data());
        if (!length) {
            qCWarning(lcReceive).noquote() << m_parts.library.bindingError();
            return;
        }
        const QByteArrayView message(buffer.data(), std::min<qsizetype>(*length, buffer.size()));
        m_parts.injector.sendKeys(
            textToKeystrokes(decodeWindows1252(message), m_parts.settings.ExtendedConversionMode));
    }
}

void DataCollection::onDeviceLost() {
    const QString description = m_parts.MSComm1.lastErrorDescription();
    m_lastFailure = description;
    qCWarning(lcReceive).noquote() << description;
    // The library channel and the polling timer stay as they are, so messages
    // already acknowledged are still typed and a new start can resume.
    showTrayState(false);
    if (m_onDeviceLost) {
        m_onDeviceLost(description);
    }
}

} // namespace vxorv
