#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>

// A named notification with the posting object and a string-keyed user-info map.
struct Notification {
    QString name;
    QObject *object = nullptr;
    QVariantMap userInfo;
};

// Synchronous, name- and object-filtered delivery in the style of a desktop notification
// centre. Observations die with their receiver, so a destroyed view can never be called.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Notification &)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    [[nodiscard]] static NotificationCenter *defaultCenter();

    // object == nullptr observes every sender of that name.
    void addObserver(QObject *receiver, const QString &name, const QObject *object, Handler handler);

    template <typename Receiver>
    void addObserver(Receiver *receiver, const QString &name, const QObject *object,
                     void (Receiver::*method)(const Notification &))
    {
        addObserver(receiver, name, object, [receiver, method](const Notification &n) { (receiver->*method)(n); });
    }

    // Empty name or null object act as wildcards.
    void removeObserver(const QObject *receiver, const QString &name = {}, const QObject *object = nullptr);

    void post(const Notification &notification);
    void post(const QString &name, QObject *object, const QVariantMap &userInfo = {});

    // Safe from any thread: delivered later on this centre's thread, in posting order.
    void postOnMainThread(const QString &name, QObject *object, const QVariantMap &userInfo = {});

    [[nodiscard]] int observerCount() const { return int(m_observers.size()); }

private:
    struct Observer {
        quint64 id;
        QPointer<QObject> receiver;
        const QObject *receiverKey;
        QString name;
        const QObject *object;
        Handler handler;
    };

    void forget(const QObject *gone);
    void watch(const QObject *object);

    QList<Observer> m_observers;
    QHash<const QObject *, QMetaObject::Connection> m_watched;
    quint64 m_nextId = 1;
};
