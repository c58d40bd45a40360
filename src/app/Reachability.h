#pragma once

#include "platform/NetworkReachability.h"

#include <QObject>
#include <memory>

// Watches whether the internet can be reached, through the system's network
// information (QNetworkInformation, whichever backend the system has). Every change
// posts Notifications::reachabilityChanged with the monitor as object. Nothing
// waits on it: without a backend the status is simply 0.
//
// Tests derive from it and answer currentState() themselves.
class Reachability : public QObject {
    Q_OBJECT
public:
    struct NetworkState {
        bool hasBackend = false;
        NetworkReachability::State state = NetworkReachability::State::Unknown;
        NetworkReachability::Transport transport = NetworkReachability::Transport::Unknown;
    };

    // A monitor of general internet access.
    static std::unique_ptr<Reachability> reachabilityForInternetConnection();

    // Starts reporting changes; false when the system offers no network information.
    virtual bool startNotifier();
    virtual NetworkState currentState() const;

    int currentReachabilityStatus() const;
    // Never true here: the system's network information reports no connection that
    // waits to be made.
    bool connectionRequired() const { return false; }

    // Posts the change notification.
    void notifyChanged();

protected:
    Reachability() = default;
};
