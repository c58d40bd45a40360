#include "controls/FileManagerBus.h"

#include "base/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QUrl>

namespace {

// A file manager that is started by the call itself takes a moment to answer.
constexpr int kReplyTimeoutMs = 5000;

void call(const QString& method, const QString& path, QObject* context, std::function<void()> failed)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcBatch) << "no session bus for the file manager's" << method;
        if (failed)
            failed();
        return;
    }
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusMessage message
        = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"), service, method);
    // The URIs of the items, and the startup id that lets the window take focus (none here).
    // Fully encoded: a blank, a line break or a non-ASCII letter of a name goes
    // percent-encoded, as a URI has it, never as itself.
    message << QStringList { QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) } << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kReplyTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
        [method, failed = std::move(failed)](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            if (!done->isError())
                return;
            qCInfo(lcBatch) << "the file manager did not answer" << method << done->error().message();
            if (failed)
                failed();
        });
}

} // namespace

namespace FileManagerBus {

void showItems(const QString& path, QObject* context, std::function<void()> failed)
{
    call(QStringLiteral("ShowItems"), path, context, std::move(failed));
}

void showItemProperties(const QString& path, QObject* context, std::function<void()> failed)
{
    call(QStringLiteral("ShowItemProperties"), path, context, std::move(failed));
}

} // namespace FileManagerBus
