#include "NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

NotificationCenter *NotificationCenter::defaultCenter()
{
    static NotificationCenter *center = [] {
        auto *c = new NotificationCenter;
        if (auto *app = QCoreApplication::instance()) {
            c->moveToThread(app->thread());
            // Dies with the application so no observer outlives the event loop.
            QObject::connect(app, &QObject::destroyed, c, [c] { c->m_observers.clear(); });
        }
        return c;
    }();
    return center;
}

void NotificationCenter::watch(const QObject *object)
{
    if (!object || m_watched.contains(object))
        return;
    m_watched.insert(object, connect(object, &QObject::destroyed, this, [this, object] { forget(object); },
                                     Qt::DirectConnection));
}

void NotificationCenter::forget(const QObject *gone)
{
    m_observers.removeIf([gone](const Observer &o) { return o.receiverKey == gone || o.object == gone; });
    const auto it = m_watched.find(gone);
    if (it != m_watched.end()) {
        disconnect(it.value());
        m_watched.erase(it);
    }
}

void NotificationCenter::addObserver(QObject *receiver, const QString &name, const QObject *object, Handler handler)
{
    if (!receiver || !handler)
        return;
    watch(receiver);
    watch(object);
    m_observers.append(Observer{m_nextId++, receiver, receiver, name, object, std::move(handler)});
}

void NotificationCenter::removeObserver(const QObject *receiver, const QString &name, const QObject *object)
{
    m_observers.removeIf([&](const Observer &o) {
        return o.receiverKey == receiver && (name.isEmpty() || o.name == name) && (!object || o.object == object);
    });
}

void NotificationCenter::post(const Notification &notification)
{
    // Observers may add or remove observations while being called: iterate over ids taken now
    // and look each one up again before calling it.
    QList<quint64> ids;
    for (const Observer &o : std::as_const(m_observers)) {
        if (o.name == notification.name && (!o.object || o.object == notification.object))
            ids.append(o.id);
    }
    for (quint64 id : std::as_const(ids)) {
        const auto it = std::find_if(m_observers.cbegin(), m_observers.cend(),
                                     [id](const Observer &o) { return o.id == id; });
        if (it == m_observers.cend() || !it->receiver)
            continue;
        const Handler handler = it->handler;
        handler(notification);
    }
}

void NotificationCenter::post(const QString &name, QObject *object, const QVariantMap &userInfo)
{
    post(Notification{name, object, userInfo});
}

void NotificationCenter::postOnMainThread(const QString &name, QObject *object, const QVariantMap &userInfo)
{
    QPointer<QObject> guard(object);
    const bool hadObject = object != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, name, guard, hadObject, userInfo] {
            // A sender that died meanwhile has no observers left to tell.
            if (hadObject && !guard)
                return;
            post(name, guard.data(), userInfo);
        },
        Qt::QueuedConnection);
}
