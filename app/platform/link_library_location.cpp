#include "platform/qlibrary_link_library.hpp"

#include <QCoreApplication>
#include <QDir>

namespace vxorv {

QString QLibraryLinkLibrary::defaultFileName() {
    return QStringLiteral("libwinvxbt.so");
}

QStringList QLibraryLinkLibrary::defaultDirectories() {
    QStringList directories;
    if (QCoreApplication::instance()) {
        const QDir programDirectory(QCoreApplication::applicationDirPath());
        directories << programDirectory.path()
                    << QDir::cleanPath(
                           programDirectory.filePath(QStringLiteral(VXORV_LIBDIR_FROM_BINDIR)));
    }
    return directories;
}

} // namespace vxorv
