#include "platform/NetworkReachability.h"

#include <gtest/gtest.h>

using namespace NetworkReachability;

TEST(NetworkReachability, onlyAnOnlineNetworkReachesTheInternet)
{
    EXPECT_EQ(statusFor(true, State::Online, Transport::Ethernet), ReachableViaWiFi);
    EXPECT_EQ(statusFor(true, State::Online, Transport::WiFi), ReachableViaWiFi);
    EXPECT_EQ(statusFor(true, State::Online, Transport::Unknown), ReachableViaWiFi);
    EXPECT_EQ(statusFor(true, State::Online, Transport::Cellular), ReachableViaWWAN);
    for (State state : { State::Unknown, State::Disconnected, State::Local, State::Site })
        EXPECT_EQ(statusFor(true, state, Transport::WiFi), NotReachable);
}

TEST(NetworkReachability, withoutABackendNothingIsReachable)
{
    EXPECT_EQ(statusFor(false, State::Online, Transport::Cellular), NotReachable);
}

TEST(NetworkReachability, logsTheAvailability)
{
    EXPECT_EQ(availabilityLine(ReachableViaWWAN), QStringLiteral("Internet Available : YES"));
    EXPECT_EQ(availabilityLine(NotReachable), QStringLiteral("Internet Available : NO"));
}
