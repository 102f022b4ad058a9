#pragma once

#include <QString>

#include <utility>

namespace vxorv {

// Success, or a failure with a description a user can act on.
class [[nodiscard]] Status {
  public:
    static Status ok() { return Status(); }
    static Status failure(QString description) { return Status(std::move(description)); }

    bool isOk() const { return m_description.isNull(); }
    explicit operator bool() const { return isOk(); }
    const QString& description() const { return m_description; }

  private:
    Status() = default;
    explicit Status(QString description)
        : m_description(description.isNull() ? QStringLiteral("") : std::move(description)) {}

    QString m_description; // null while ok
};

} // namespace vxorv
