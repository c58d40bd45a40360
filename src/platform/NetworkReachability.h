#pragma once

#include <QString>

// Whether the internet can be reached, as the three-valued status the application
// keeps: 0 not reachable, 1 reachable through a local network (Ethernet, Wi-Fi),
// 2 reachable through a mobile data provider.
//
// The answer is made from what the system's network information reports: only
// "online" means the internet is reachable; "local" and "site" reach the local
// network alone, and no backend, "unknown" or "disconnected" mean not reachable.
namespace NetworkReachability {

enum class State { Unknown, Disconnected, Local, Site, Online };
enum class Transport { Unknown, Ethernet, WiFi, Cellular, Bluetooth };

enum Status : int {
    NotReachable = 0,
    ReachableViaWiFi = 1,
    ReachableViaWWAN = 2,
};

Status statusFor(bool hasBackend, State state, Transport transport);

// The line logged on every change: "Internet Available : YES" or "… : NO".
QString availabilityLine(Status status);

} // namespace NetworkReachability
