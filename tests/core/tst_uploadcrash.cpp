// A process uploading five files is killed after the second one completed. Every file already
// sent must be in the log after a restart, and every other one still queued; the one whose body
// was on its way may have arrived, and the next batch asks before it goes again.
#include "DevServer.h"
#include "TestEnvironment.h"
#include "connection/LMServerConnection.h"
#include "store/Asset.h"
#include "store/DuplicateCheck.h"
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
    // Read the child's store as it runs: the moment the second upload is on disk and the third
    // file is on its way, kill it.
    QVERIFY(QTest::qWaitFor(
        [&] {
            auto reader = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
            auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&reader);
            if (!context || (*context)->fetchUploadedAssets().size() < 2)
                return false;
            // ... and the third file is recorded as being sent.
            const QList<ServerBookmark *> bookmarks = (*context)->fetchAllBookmarks();
            const QList<Asset *> pending =
                bookmarks.isEmpty() ? QList<Asset *>() : (*context)->fetchPendingAssets(bookmarks.first());
            return !pending.isEmpty() && pending.first()->uploadState() != Asset::UploadState::Waiting;
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
    const QList<Asset *> pending = (*context)->fetchPendingAssets(bookmarks.first());
    QCOMPARE(pending.size(), 3);
    QStringList states;
    for (const Asset *asset : pending)
        states << Asset::stateText(asset->uploadState());
    QCOMPARE(states, (QStringList{"may-have-arrived", QString(), QString()}));
    QCOMPARE(pending.first()->uploadStateReason(), Asset::EndedWhileSending);

    DuplicateCheck check(context->get());
    std::optional<QList<DuplicateMatch>> matches;
    QObject::connect(&check, &DuplicateCheck::finished,
                     [&](const QList<DuplicateMatch> &found) { matches = found; });
    QVERIFY(check.start(bookmarks.first()->serverKey(), pending));
    QTRY_VERIFY(matches);
    QCOMPARE(matches->size(), 1);
    QCOMPARE(matches->first().record.data(), pending.first());
    QCOMPARE(matches->first().mayHaveArrived, Asset::EndedWhileSending);
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
