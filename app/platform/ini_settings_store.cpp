#include "platform/ini_settings_store.hpp"

#include "platform/user_settings_store.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace vxorv {
namespace {

QString keyPath(const QString& section, const QString& key) {
    return section + u'/' + key;
}

Status checkReadable(const QString& fileName) {
    QFile file(fileName);
    if (!file.exists() || file.open(QIODevice::ReadOnly)) {
        return Status::ok();
    }
    return Status::failure(QStringLiteral("The settings file %1 could not be read: %2.")
                               .arg(QDir::toNativeSeparators(fileName), file.errorString()));
}

// QSettings only says that writing failed; the file system tells why.
QString writeProblem(const QString& fileName) {
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("the folder %1 cannot be created")
            .arg(QDir::toNativeSeparators(folder));
    }
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly)) {
        return probe.errorString();
    }
    probe.cancelWriting();
    return QStringLiteral("the disk is full or does not accept changes");
}

} // namespace

IniSettingsStore::IniSettingsStore(const QString& application)
    : m_settings(fileNameFor(application), QSettings::IniFormat),
      m_readStatus(checkReadable(m_settings.fileName())) {
    // Parse every section now, so that the writers of SaveSetting, which share
    // the parsed file, have nothing left to complain about.
    (void)m_settings.allKeys();
}

QString IniSettingsStore::fileNameFor(const QString& application) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           application + u'/' + application + QStringLiteral(".ini");
}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    // The user may have edited the file since (a device mapped in [Ports]):
    // read it again when it changed, so that the next Start uses the edit.
    m_settings.sync();
    const QVariant value = m_settings.value(keyPath(section, key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // An unquoted value with commas, typed by hand ("9600,N,8,1"), reads as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u',');
    }
    return value.toString();
}

Status IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                     const QString& value) {
    // QSettings keeps the first error it met, reading included: a file it did
    // not fully understand (a '#' comment, a byte-order mark, a broken line)
    // would mark every later write as failed although each rewrites the file.
    // A writer of its own per value answers for that write alone.
    QSettings writer(m_settings.fileName(), QSettings::IniFormat);
    writer.setValue(keyPath(section, key), value);
    writer.sync();
    if (writer.status() == QSettings::AccessError) {
        return Status::failure(
            QStringLiteral("Writing the settings file %1 failed: %2.")
                .arg(QDir::toNativeSeparators(m_settings.fileName()), writeProblem(fileName())));
    }
    return Status::ok();
}

std::unique_ptr<SettingsStore> openUserSettingsStore(const QString& application) {
    return std::make_unique<IniSettingsStore>(application);
}

QString userSettingsLocation(const QString& application) {
    return IniSettingsStore::fileNameFor(application);
}

} // namespace vxorv
