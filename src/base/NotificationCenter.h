#pragma once

#include "base/Notifications.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <functional>

// One notification: its name, the object it is about (may be none) and its user info.
struct Notification {
    QString name;
    QPointer<QObject> object;
    QVariantMap userInfo;
};

// Posts notifications by name to the observers of that name, always on the main
// thread: a post from the main thread reaches the observers before post() returns;
// a post from another thread is handed to the main thread and delivered there
// later. An observer is a QObject and a handler; it is forgotten when it is
// destroyed or removed, so a handler never runs for a dead observer. Observers of
// one name are called in the order they were added.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    void addObserver(QObject* observer, const QString& name, Handler handler);
    void removeObserver(QObject* observer);
    void removeObserver(QObject* observer, const QString& name);

    void post(const QString& name, QObject* object = nullptr, const QVariantMap& userInfo = {});

    int observerCount(const QString& name) const;

private:
    struct Observer {
        QPointer<QObject> observer;
        Handler handler;
        quint64 id;
    };
    void deliver(const Notification& notification);

    QHash<QString, QList<Observer>> m_observers;
    quint64 m_nextId = 1;
};
