#include "platform/qlibrary_link_library.hpp"

#include <QCoreApplication>

namespace vxorv {

QString QLibraryLinkLibrary::defaultFileName() {
    return QStringLiteral("winvxbt.dll");
}

// The installer puts the library beside the program.
QStringList QLibraryLinkLibrary::defaultDirectories() {
    if (QCoreApplication::instance()) {
        return {QCoreApplication::applicationDirPath()};
    }
    return {};
}

} // namespace vxorv
