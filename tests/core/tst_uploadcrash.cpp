// A process uploading five files is killed after the second one completed. Every file already
// sent must be in the log after a restart, and every other one still queued.
#include "DevServer.h"
#include "TestEnvironment.h"
#include "connection/LMServerConnection.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

// The child: queue five files for a bookmark in the store under XDG_DATA_HOME and upload them.
int runUploader(quint16 port, const QString &folder)
{
    auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
    auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened);
    if (!context)
        return 3;
    ServerBookmark *bookmark = (*context)->insertBookmark();
    bookmark->setHostName(QStringLiteral("127.0.0.1"));
    bookmark->setSecureConnect(false);
    bookmark->setPortNumber(port);
    bookmark->setUserName(QStringLiteral("admin"));
    bookmark->setPassword(QStringLiteral("lumaro"));
    QList<Asset *> batch;
    for (int i = 1; i <= 5; ++i) {
        const QString path = folder + QStringLiteral("/file%1.txt").arg(i);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(1000 * i, 'x'));
        Asset *asset = (*context)->insertAsset();
        asset->setFilePath(path);
        asset->setBookmark(bookmark);
        batch << asset;
    }
    if (!(*context)->save())
        return 4;
    LMServerConnection connection(bookmark);
    connection.setSelectedCategory(QJsonObject{{"id", 3}, {"name", "Spring"}});
    connection.startAssetImport(batch);
    return QCoreApplication::exec();
}

} // namespace

class TestUploadCrash : public QObject {
    Q_OBJECT
private slots:
    void killedAfterSecondFile();
};

void TestUploadCrash::killedAfterSecondFile()
{
    // The third file hangs on the server, so the child is mid-batch when it dies.
    DevServer server({"--fault", "POST /ra/categoryAssets.json#3=delay:20000"});
    QVERIFY(server.isRunning());
    QTemporaryDir files;

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMARO_UPLOADER_PORT"), QString::number(server.port()));
    env.insert(QStringLiteral("LUMARO_UPLOADER_FILES"), files.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());
    // The child's store is in place once its batch has started.
    QVERIFY(QTest::qWaitFor([&] { return !server.requests("/ra/assetImportStatus.json").isEmpty(); }, 20000));
    // Read the child's store as it runs: the moment the second upload is on disk, kill it.
    QVERIFY(QTest::qWaitFor(
        [&] {
            auto reader = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
            auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&reader);
            return context && (*context)->fetchUploadedAssets().size() >= 2;
        },
        20000));
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(5000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
    auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened);
    QVERIFY(context);
    const auto bookmarks = (*context)->fetchAllBookmarks();
    QCOMPARE(bookmarks.size(), 1);
    const auto uploaded = (*context)->fetchUploadedAssets();
    QCOMPARE(uploaded.size(), 2);
    QVERIFY(uploaded.at(0)->filePath()->endsWith(QLatin1String("file1.txt")));
    QVERIFY(uploaded.at(1)->filePath()->endsWith(QLatin1String("file2.txt")));
    QCOMPARE(uploaded.at(1)->categoryPath(), std::optional(QString()));
    QCOMPARE(uploaded.at(1)->categoryID(), std::optional<qint64>(3));
    QCOMPARE((*context)->fetchPendingAssets(bookmarks.first()).size(), 3);
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("LUMARO_UPLOADER_PORT")) {
        // The child shares the parent's private XDG folders through the environment.
        QCoreApplication app(argc, argv);
        return runUploader(quint16(qEnvironmentVariableIntValue("LUMARO_UPLOADER_PORT")),
                           qEnvironmentVariable("LUMARO_UPLOADER_FILES"));
    }
    TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestUploadCrash tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_uploadcrash.moc"
