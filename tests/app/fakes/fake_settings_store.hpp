#pragma once

#include "platform/settings_store.hpp"

#include <QMap>
#include <QStringList>

namespace vxorv {

// An in-memory settings store that records the order of writes and can be
// told to refuse them.
class FakeSettingsStore final : public SettingsStore {
  public:
    QMap<QString, QString> values; // "section/key" -> text
    QStringList writes;            // "section/key" in the order written
    bool refuseWrites = false;
    Status readable = Status::ok();

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override {
        return values.value(section + u'/' + key, defaultValue);
    }
    Status SaveSetting(const QString& section, const QString& key, const QString& value) override {
        writes << section + u'/' + key;
        if (refuseWrites) {
            return Status::failure(QStringLiteral("disk full"));
        }
        values[section + u'/' + key] = value;
        return Status::ok();
    }
    Status readStatus() const override { return readable; }
};

} // namespace vxorv
