#pragma once

#include <functional>

class AppDelegate;
class QWidget;

// The one question about the network: a position sent to a tile server or a
// geocoder tells a third party where the user's photos were taken, so the first time
// the map or the place names would go online the user chooses online maps and place
// names, or offline only. The answer is kept in the user defaults
// ("onlineServicesConsent"); the Edit menu's "Use Online Maps and Place Names"
// changes it later. Offline, nothing is asked.
namespace OnlineConsentPrompt {

// Asks over window when the answer is still open and the network is there, then
// carries on with then (also when the question was dismissed: offline this time,
// asked again next time). Without a question, then runs at once.
void askIfNeeded(AppDelegate& app, QWidget* window, std::function<void()> then);

// The menu's answer: stored and announced (Notifications::onlineServicesChanged).
void setOnline(AppDelegate& app, bool online);
bool isOnlineChosen(const AppDelegate& app);

} // namespace OnlineConsentPrompt
