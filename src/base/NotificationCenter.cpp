#include "base/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = [] {
        auto* created = new NotificationCenter;
        // Lives on the main thread, where every notification is delivered.
        if (QCoreApplication::instance())
            created->moveToThread(QCoreApplication::instance()->thread());
        return created;
    }();
    return *center;
}

void NotificationCenter::addObserver(QObject* observer, const QString& name, Handler handler)
{
    if (!observer || !handler)
        return;
    m_observers[name].append(Observer { observer, std::move(handler), m_nextId++ });
}

void NotificationCenter::removeObserver(QObject* observer)
{
    for (auto& list : m_observers) {
        list.removeIf([observer](const Observer& entry) { return entry.observer == observer || !entry.observer; });
    }
}

void NotificationCenter::removeObserver(QObject* observer, const QString& name)
{
    auto it = m_observers.find(name);
    if (it != m_observers.end())
        it->removeIf([observer](const Observer& entry) { return entry.observer == observer || !entry.observer; });
}

int NotificationCenter::observerCount(const QString& name) const
{
    int count = 0;
    for (const Observer& entry : m_observers.value(name)) {
        if (entry.observer)
            ++count;
    }
    return count;
}

void NotificationCenter::post(const QString& name, QObject* object, const QVariantMap& userInfo)
{
    Notification notification { name, object, userInfo };
    if (QThread::currentThread() == thread()) {
        deliver(notification);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, notification = std::move(notification)] { deliver(notification); }, Qt::QueuedConnection);
}

void NotificationCenter::deliver(const Notification& notification)
{
    // A handler may add or remove observers: walk a copy, and skip an entry removed
    // on the way.
    const QList<Observer> observers = m_observers.value(notification.name);
    for (const Observer& entry : observers) {
        if (!entry.observer)
            continue;
        const auto& current = m_observers.value(notification.name);
        const bool stillThere = std::any_of(
            current.begin(), current.end(), [&entry](const Observer& other) { return other.id == entry.id; });
        if (stillThere)
            entry.handler(notification);
    }
}
