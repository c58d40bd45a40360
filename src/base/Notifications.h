#pragma once

#include <QString>

// The names of the notifications that tie the views together, and their user-info
// keys. Every name is posted on NotificationCenter::defaultCenter().
namespace Notifications {

// Main window, when the add-photos window closes: the editor view sets itself up.
inline const QString setupExifEditorView = QStringLiteral("notificationSetupExifEditorView");
inline const QString disappearExifEditorView = QStringLiteral("notificationDisappearExifEditorView");
// A drop of files; user info {"paths": QStringList of absolute paths}.
inline const QString fileDragDrop = QStringLiteral("FileDragDropNotification");
inline const QString windowResized = QStringLiteral("notificationWindowResized");
inline const QString windowEndResizing = QStringLiteral("notificationWindowEndResizing");
// The editor's loading overlay: the main window disables and enables close and zoom.
inline const QString showLoading = QStringLiteral("notificationsShowLoading");
inline const QString hideLoading = QStringLiteral("notificationsHideLoading");
inline const QString showTips = QStringLiteral("notificationShowTips");
// The editor, when the rate counter is due.
inline const QString showRatePopup = QStringLiteral("showRatePopup");
// Either answer of the rate sheet; user info {"object": the main window}.
inline const QString mainWindowClose = QStringLiteral("mainWindowClose");
// object: the reachability monitor.
inline const QString reachabilityChanged = QStringLiteral("kNetworkReachabilityChangedNotification");
// A window has accepted a close; object: the window.
inline const QString windowWillClose = QStringLiteral("windowWillClose");
// The preset list changed in place (added, removed, renamed, edited): the
// application writes the preset archive.
inline const QString presetsChanged = QStringLiteral("presetsChanged");
// The metadata viewer shows a photo; user info {"selectedIndex": its row in the batch list}.
inline const QString setupMetaDataPopup = QStringLiteral("notificationSetupMetaDataPopup");
// The user's answer about online maps and place names changed (the question or the menu).
inline const QString onlineServicesChanged = QStringLiteral("onlineServicesChanged");

inline const QString pathsKey = QStringLiteral("paths");
inline const QString objectKey = QStringLiteral("object");
inline const QString selectedIndexKey = QStringLiteral("selectedIndex");

} // namespace Notifications
