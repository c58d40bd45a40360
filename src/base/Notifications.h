#pragma once

#include <QString>

// The names of the application-wide notifications (the shell's windows, the
// network, the user's online answer) and their user-info keys. Every name is
// posted on NotificationCenter::defaultCenter(). What passes between the editor's
// panels is a signal or a fact of the EditorContext, never a notification.
namespace Notifications {

inline const QString showTips = QStringLiteral("notificationShowTips");
// The editor, when the rate counter is due.
inline const QString showRatePopup = QStringLiteral("showRatePopup");
// Either answer of the rate sheet; user info {"object": the main window}.
inline const QString mainWindowClose = QStringLiteral("mainWindowClose");
// object: the reachability monitor.
inline const QString reachabilityChanged = QStringLiteral("kNetworkReachabilityChangedNotification");
// A window has accepted a close; object: the window.
inline const QString windowWillClose = QStringLiteral("windowWillClose");
// The user's answer about online maps and place names changed (the question or the menu).
inline const QString onlineServicesChanged = QStringLiteral("onlineServicesChanged");

inline const QString objectKey = QStringLiteral("object");

} // namespace Notifications
