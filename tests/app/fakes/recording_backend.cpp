#include "fakes/recording_backend.hpp"

#include <array>

namespace vxorv {

QString keyName(NamedKey key) {
    static const std::array<const char*, 30> names{
        "ENTER", "TAB",  "ESC",  "BS",    "INS", "DEL", "HOME", "END", "PGUP", "PGDN",
        "UP",    "DOWN", "LEFT", "RIGHT", "F1",  "F2",  "F3",   "F4",  "F5",   "F6",
        "F7",    "F8",   "F9",   "F10",   "F11", "F12", "F13",  "F14", "F15",  "F16"};
    return QString::fromLatin1(names.at(static_cast<std::size_t>(key)));
}

std::vector<KeyEvent> RecordingBackend::Record::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::size_t RecordingBackend::Record::idleCalls() const {
    std::lock_guard lock(m_mutex);
    return m_idleCalls;
}

QString RecordingBackend::Record::text() const {
    QString text;
    for (const KeyEvent& event : events()) {
        if (event.ctrl) {
            text += u'^';
        }
        if (event.kind == KeyEvent::Kind::Character) {
            text += QString::fromStdU32String(std::u32string(1, event.character));
        } else {
            text += u'{' + keyName(event.key) + u'}';
        }
    }
    return text;
}

bool RecordingBackend::type(const KeyEvent& event) {
    std::lock_guard lock(m_record->m_mutex);
    m_record->m_events.push_back(event);
    return true;
}

void RecordingBackend::idle() {
    std::lock_guard lock(m_record->m_mutex);
    ++m_record->m_idleCalls;
}

} // namespace vxorv
