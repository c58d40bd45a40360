#include "platform/NetworkReachability.h"

namespace NetworkReachability {

Status statusFor(bool hasBackend, State state, Transport transport)
{
    if (!hasBackend || state != State::Online)
        return NotReachable;
    return transport == Transport::Cellular ? ReachableViaWWAN : ReachableViaWiFi;
}

QString availabilityLine(Status status)
{
    return QStringLiteral("Internet Available : ")
        + (status != NotReachable ? QStringLiteral("YES") : QStringLiteral("NO"));
}

} // namespace NetworkReachability
