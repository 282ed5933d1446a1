#include "TestEnvironment.h"
#include "platform/NotificationCenter.h"

#include <QThread>
#include <QtTest>

class TestNotificationCenter : public QObject {
    Q_OBJECT
private slots:
    void filtersByNameAndObject();
    void observerDroppedWithReceiver();
    void removalDuringDelivery();
    void postFromOtherThreadArrivesOnMain();
    void postLaterDropsDeadSender();
};

void TestNotificationCenter::filtersByNameAndObject()
{
    NotificationCenter center;
    QObject a, b, receiver;
    QStringList seen;
    center.addObserver(&receiver, QStringLiteral("N"), &a, [&](const Notification &n) {
        seen << n.name + QLatin1Char(':') + n.userInfo.value(QStringLiteral("k")).toString();
    });
    center.addObserver(&receiver, QStringLiteral("N"), nullptr, [&](const Notification &) { seen << QStringLiteral("any"); });
    center.post(QStringLiteral("N"), &a, {{QStringLiteral("k"), QStringLiteral("1")}});
    center.post(QStringLiteral("N"), &b);
    center.post(QStringLiteral("Other"), &a);
    QCOMPARE(seen, (QStringList{QStringLiteral("N:1"), QStringLiteral("any"), QStringLiteral("any")}));
}

void TestNotificationCenter::observerDroppedWithReceiver()
{
    NotificationCenter center;
    QObject sender;
    int calls = 0;
    {
        QObject receiver;
        center.addObserver(&receiver, QStringLiteral("N"), &sender, [&](const Notification &) { ++calls; });
        center.post(QStringLiteral("N"), &sender);
    }
    center.post(QStringLiteral("N"), &sender);
    QCOMPARE(calls, 1);
    QCOMPARE(center.observerCount(), 0);
}

void TestNotificationCenter::removalDuringDelivery()
{
    NotificationCenter center;
    QObject sender;
    auto *first = new QObject;
    auto *second = new QObject;
    int secondCalls = 0;
    // The first observer destroys the second before it is reached.
    center.addObserver(first, QStringLiteral("N"), &sender, [&](const Notification &) { delete second; });
    center.addObserver(second, QStringLiteral("N"), &sender, [&](const Notification &) { ++secondCalls; });
    center.post(QStringLiteral("N"), &sender);
    QCOMPARE(secondCalls, 0);
    delete first;
    QCOMPARE(center.observerCount(), 0);
}

void TestNotificationCenter::postFromOtherThreadArrivesOnMain()
{
    NotificationCenter *center = NotificationCenter::defaultCenter();
    QObject sender, receiver;
    QThread *deliveredOn = nullptr;
    center->addObserver(&receiver, QStringLiteral("Threaded"), &sender,
                        [&](const Notification &) { deliveredOn = QThread::currentThread(); });
    QThread *worker = QThread::create([&] { center->postOnMainThread(QStringLiteral("Threaded"), &sender); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_VERIFY(deliveredOn != nullptr);
    QCOMPARE(deliveredOn, QThread::currentThread());
}

void TestNotificationCenter::postLaterDropsDeadSender()
{
    NotificationCenter *center = NotificationCenter::defaultCenter();
    QObject receiver;
    int calls = 0;
    auto *sender = new QObject;
    center->addObserver(&receiver, QStringLiteral("Late"), nullptr, [&](const Notification &) { ++calls; });
    center->postOnMainThread(QStringLiteral("Late"), sender);
    QCOMPARE(calls, 0); // never inside the posting call
    delete sender;
    QCoreApplication::processEvents();
    QCOMPARE(calls, 0);
}

LUMARO_TEST_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
