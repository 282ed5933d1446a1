#include "GuiTestMain.h"

#include "UploadTestKit.h"

#include "platform/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusError>

using namespace UploadTestKit;

namespace {
const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");

// Stands in for the desktop's notification service. It sits on a bus connection of its own, so
// every call travels through the bus daemon as a call to a real service does.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // Application name, desktop entry, summary and body of each call, in order.
    QList<QStringList> received;

public slots:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        received.append({appName, hints.value(QStringLiteral("desktop-entry")).toString(), summary, body});
        return uint(received.size());
    }
};
} // namespace

// How an upload batch's end reaches the desktop: through the notification service on the session
// bus, only while the session window is not in front, and not at all without a service.
class TestDesktopNotifier : public QObject {
    Q_OBJECT

private:
    AppDelegate m_app;
    ObjectContext *m_context = nullptr;
    QTemporaryDir m_files;
    DesktopNotifier m_notifier{QStringLiteral("Lumaro Importer"),
                               QStringLiteral("com.veltrane.LumaroImporter")};
    NotificationService m_service;
    QDBusConnection m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service");
    // Some other window the user went to while the batch ran.
    QWidget m_elsewhere;

private slots:
    void initTestCase()
    {
        // The double takes the desktop's own service name: never on the user's real bus.
        QVERIFY2(qEnvironmentVariableIsSet("LUMARO_PRIVATE_BUS"),
                 "needs the private session bus that ctest starts");
        QVERIFY2(m_serviceBus.isConnected(), qPrintable(m_serviceBus.lastError().message()));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                            QDBusConnection::ExportAllSlots));
        m_context = m_app.managedObjectContext();
        QVERIFY(m_context);
        QVERIFY(m_files.isValid());
        registerSessionControllers(Storyboard::main(), &m_notifier);
    }

    void batchEnd_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("inFront");
        QTest::addColumn<bool>("serviceUp");
        QTest::addColumn<QStringList>("notification"); // summary and body; empty: none
        const QString finished = QStringLiteral("Upload to Studio finished");
        QTest::newRow("all uploaded") << 3 << QString() << false << true
                                      << QStringList{finished, "3 files uploaded to /Photos/2024/Spring"};
        QTest::newRow("one file") << 1 << QString() << false << true
                                  << QStringList{finished, "1 file uploaded to /Photos/2024/Spring"};
        QTest::newRow("one failed") << 3 << QStringLiteral("POST /ra/categoryAssets.json#2=status:500")
                                    << false << true << QStringList{finished, "2 uploaded, 1 failed"};
        QTest::newRow("cannot start")
            << 2 << QStringLiteral("POST /ra/assetImportStatus.json#1=garbage") << false << true
            << QStringList{"Upload to Studio stopped",
                           "Could not start the upload: the server gave no import status id (HTTP 200 OK)"};
        QTest::newRow("window in front") << 2 << QString() << true << true << QStringList();
        QTest::newRow("no service") << 2 << QString() << false << false << QStringList();
    }

    void batchEnd()
    {
        QFETCH(int, files);
        QFETCH(QString, fault);
        QFETCH(bool, inFront);
        QFETCH(bool, serviceUp);
        QFETCH(QStringList, notification);
        // Nothing is said about the bus or the service, whether it is there or not.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QDBus|D-Bus|freedesktop")));
        m_service.received.clear();
        if (serviceUp)
            QVERIFY(m_serviceBus.registerService(ServiceName));
        else
            m_serviceBus.unregisterService(ServiceName);

        UploadSession s(m_context, QStringLiteral("Studio"),
                        fault.isEmpty() ? QStringList() : QStringList{QStringLiteral("--fault"), fault});
        QVERIFY(s.waitUntilReady());
        s.upload()->AddAssetsToImportQueue(
            fileUrls(writeFiles(m_files.filePath(QString::fromUtf8(QTest::currentDataTag())), files)));
        QWidget *front = inFront ? static_cast<QWidget *>(s.session->window()) : &m_elsewhere;
        front->show();
        front->activateWindow();
        QTRY_VERIFY(front->isActiveWindow());
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout);

        // One sender, one receiver: the bus keeps the order, so once a marker sent now has
        // arrived, anything the batch's end sent has arrived before it.
        QVERIFY(m_serviceBus.registerService(ServiceName));
        m_notifier.notify(QStringLiteral("marker"), {});
        QTRY_VERIFY(!m_service.received.isEmpty() && m_service.received.constLast().at(2) == "marker");
        m_service.received.removeLast();
        QList<QStringList> expected;
        if (!notification.isEmpty())
            expected.append(QStringList{"Lumaro Importer", "com.veltrane.LumaroImporter"} + notification);
        QCOMPARE(m_service.received, expected);
    }
};

LUMARO_GUI_TEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
