#include "app/Reachability.h"

#include "base/NotificationCenter.h"

#include <QNetworkInformation>

namespace {

NetworkReachability::State stateOf(QNetworkInformation::Reachability reachability)
{
    using R = QNetworkInformation::Reachability;
    switch (reachability) {
    case R::Disconnected:
        return NetworkReachability::State::Disconnected;
    case R::Local:
        return NetworkReachability::State::Local;
    case R::Site:
        return NetworkReachability::State::Site;
    case R::Online:
        return NetworkReachability::State::Online;
    case R::Unknown:
        break;
    }
    return NetworkReachability::State::Unknown;
}

NetworkReachability::Transport transportOf(QNetworkInformation::TransportMedium medium)
{
    using T = QNetworkInformation::TransportMedium;
    switch (medium) {
    case T::Ethernet:
        return NetworkReachability::Transport::Ethernet;
    case T::WiFi:
        return NetworkReachability::Transport::WiFi;
    case T::Cellular:
        return NetworkReachability::Transport::Cellular;
    case T::Bluetooth:
        return NetworkReachability::Transport::Bluetooth;
    case T::Unknown:
        break;
    }
    return NetworkReachability::Transport::Unknown;
}

} // namespace

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection()
{
    return std::unique_ptr<Reachability>(new Reachability);
}

bool Reachability::startNotifier()
{
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend())
        return false;
    QNetworkInformation* information = QNetworkInformation::instance();
    if (!information)
        return false;
    connect(information, &QNetworkInformation::reachabilityChanged, this, &Reachability::notifyChanged);
    connect(information, &QNetworkInformation::transportMediumChanged, this, &Reachability::notifyChanged);
    return true;
}

Reachability::NetworkState Reachability::currentState() const
{
    const QNetworkInformation* information = QNetworkInformation::instance();
    if (!information)
        return {};
    return { true, stateOf(information->reachability()), transportOf(information->transportMedium()) };
}

int Reachability::currentReachabilityStatus() const
{
    const NetworkState state = currentState();
    return NetworkReachability::statusFor(state.hasBackend, state.state, state.transport);
}

void Reachability::notifyChanged()
{
    NotificationCenter::defaultCenter().post(Notifications::reachabilityChanged, this);
}
