#pragma once

#include <QString>
#include <functional>

class QObject;

// The desktop's file manager on the session bus (org.freedesktop.FileManager1),
// the service file managers offer for "show this file" and "show its information".
// A call never waits: `failed` runs later on the main thread when no file manager
// answers, or when it refuses; nothing runs when it answered. Without a session bus
// `failed` runs at once. `context` ends the wait when it is destroyed.
namespace FileManagerBus {

// Shows the file selected in its folder.
void showItems(const QString& path, QObject* context, std::function<void()> failed);
// Opens the file manager's information window for the file.
void showItemProperties(const QString& path, QObject* context, std::function<void()> failed);

} // namespace FileManagerBus
