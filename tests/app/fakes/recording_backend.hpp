#pragma once

#include "typing/keystroke_backend.hpp"

#include <QString>

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace vxorv {

// A keystroke backend for tests: records every event it is asked to type. The
// record is shared, so a test keeps reading it after handing the backend to
// the injector.
class RecordingBackend final : public KeystrokeBackend {
  public:
    struct Record {
        std::vector<KeyEvent> events() const;
        std::size_t idleCalls() const;
        // The events as text: characters as themselves, named keys as
        // "{NAME}", Ctrl as a "^" prefix. Lets a test compare whole messages.
        QString text() const;

      private:
        friend class RecordingBackend;
        mutable std::mutex m_mutex;
        std::vector<KeyEvent> m_events;
        std::size_t m_idleCalls = 0;
    };

    RecordingBackend() : m_record(std::make_shared<Record>()) {}

    std::shared_ptr<const Record> record() const { return m_record; }

    bool type(const KeyEvent& event) override;
    void idle() override;

  private:
    std::shared_ptr<Record> m_record;
};

// The name of a named key as a keystroke string writes it ("ENTER", "F12").
QString keyName(NamedKey key);

} // namespace vxorv
