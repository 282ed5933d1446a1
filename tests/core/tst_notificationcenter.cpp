#include "TestEnvironment.h"
#include "platform/NotificationCenter.h"

#include <QThread>
#include <QtTest>

namespace {
const QString N = QStringLiteral("N");
}

class TestNotificationCenter : public QObject {
    Q_OBJECT
private slots:
    void filtersByNameAndObject()
    {
        NotificationCenter center;
        QObject a, b, receiver;
        QStringList seen;
        center.addObserver(&receiver, N, &a, [&](const Notification &n) {
            seen << n.name + QLatin1Char(':') + n.userInfo.value(QStringLiteral("k")).toString();
        });
        center.addObserver(&receiver, N, nullptr, [&](const Notification &) { seen << "any"; });
        center.post(N, &a, {{QStringLiteral("k"), QStringLiteral("1")}});
        center.post(N, &b);
        center.post(QStringLiteral("Other"), &a);
        QCOMPARE(seen, (QStringList{QStringLiteral("N:1"), QStringLiteral("any"), QStringLiteral("any")}));
    }

    void observerDroppedWithReceiver()
    {
        NotificationCenter center;
        QObject sender;
        auto *first = new QObject;
        auto *second = new QObject;
        int firstCalls = 0;
        int secondCalls = 0;
        // The first observer destroys the second before it is reached.
        center.addObserver(first, N, &sender, [&](const Notification &) {
            ++firstCalls;
            delete second;
        });
        center.addObserver(second, N, &sender, [&](const Notification &) { ++secondCalls; });
        center.post(N, &sender);
        QCOMPARE(secondCalls, 0);
        delete first;
        center.post(N, &sender);
        QCOMPARE(firstCalls, 1);
        QCOMPARE(center.observerCount(), 0);
    }

    // Posted for the main thread: delivered there, never inside the posting call, and not at all
    // once the sender has gone.
    void postOnMainThread()
    {
        NotificationCenter *center = NotificationCenter::defaultCenter();
        QObject sender, receiver;
        QList<QThread *> deliveredOn;
        center->addObserver(&receiver, N, nullptr,
                            [&](const Notification &) { deliveredOn << QThread::currentThread(); });
        auto *gone = new QObject;
        center->postOnMainThread(N, gone);
        QVERIFY(deliveredOn.isEmpty());
        delete gone;
        QThread *worker = QThread::create([&] { center->postOnMainThread(N, &sender); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_VERIFY(!deliveredOn.isEmpty());
        QCOMPARE(deliveredOn, QList<QThread *>{QThread::currentThread()});
    }
};

LUMARO_TEST_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
