#include "notice/OnlineCheck.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace {

bool anyInterfaceUp()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        const auto flags = nic.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        if (!nic.addressEntries().isEmpty())
            return true;
    }
    return false;
}

} // namespace

bool isNetworkUp()
{
    if (QNetworkInformation::loadDefaultBackend()) {
        if (QNetworkInformation *info = QNetworkInformation::instance()) {
            const auto reachability = info->reachability();
            if (reachability != QNetworkInformation::Reachability::Unknown)
                return reachability != QNetworkInformation::Reachability::Disconnected;
        }
    }
    return anyInterfaceUp();
}
