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

    void postFromOtherThreadArrivesOnMain()
    {
        NotificationCenter *center = NotificationCenter::defaultCenter();
        QObject sender, receiver;
        QThread *deliveredOn = nullptr;
        center->addObserver(&receiver, N, &sender,
                            [&](const Notification &) { deliveredOn = QThread::currentThread(); });
        QThread *worker = QThread::create([&] { center->postOnMainThread(N, &sender); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_VERIFY(deliveredOn != nullptr);
        QCOMPARE(deliveredOn, QThread::currentThread());
    }

    void postLaterDropsDeadSender()
    {
        NotificationCenter *center = NotificationCenter::defaultCenter();
        QObject receiver;
        int calls = 0;
        auto *sender = new QObject;
        center->addObserver(&receiver, N, nullptr, [&](const Notification &) { ++calls; });
        center->postOnMainThread(N, sender);
        QCOMPARE(calls, 0); // never inside the posting call
        delete sender;
        QCoreApplication::processEvents();
        QCOMPARE(calls, 0);
    }
};

LUMARO_TEST_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
