#include "collection/receive_error_text.hpp"

#include "winvxbt.h"

namespace vxorv {

QString receiveErrorText(std::uint16_t code) {
    switch (code) {
    case VXBT_ERR_PARAM:
        return QStringLiteral("Wrong Parameters");
    case VXBT_ERR_STATE:
        return QStringLiteral("Error in DLL init/close");
    case VXBT_ERR_NO_MEMORY:
        return QStringLiteral("---> Not enough memory");
    case VXBT_ERR_FRAME:
        return QStringLiteral("---> Error in frame packing");
    case VXBT_ERR_CRC:
        return QStringLiteral("---> Error in CRC");
    case VXBT_ERR_FRAGMENT:
        return QStringLiteral("---> Fragment rejected");
    case VXBT_ERR_TOO_LONG:
        return QStringLiteral("---> Message too long");
    case VXBT_ERR_DUPLICATE:
        return QStringLiteral("---> Duplicated fragment");
    case VXBT_ERR_NOT_CONNECTED:
        return QStringLiteral("Remote not connected");
    default:
        return QStringLiteral("Critical error");
    }
}

} // namespace vxorv
