// The upload chain against lumaro-devserver: what the server received and decoded, the order
// of notifications, what is stamped and saved, and how failures leave records pending.
#include "ConnectionTestKit.h"
#include "TestEnvironment.h"
#include "connection/CertificateTrust.h"
#include "store/Asset.h"
#include "store/StoreFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QJsonObject Category{{"id", 3}, {"name", "Spring"}, {"isLeaf", true}};

struct UploadKit : ConnectionKit {
    QTemporaryDir files;

    explicit UploadKit(quint16 port) : ConnectionKit(port)
    {
        connection->setSelectedCategory(Category);
        connection->setCategoryPath({QJsonObject{{"id", 1}, {"name", "Photos"}}, QJsonObject{{"id", 2}, {"name", "2024"}}, Category});
        connection->setPathLevel(2);
    }

    Asset *queue(const QString &name, const QByteArray &content)
    {
        QFile file(files.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return nullptr;
        Asset *asset = context.insertAsset();
        asset->setFilePath(file.fileName());
        asset->setBookmark(bookmark);
        return asset;
    }

    QList<Asset *> queueNumbered(int count)
    {
        QList<Asset *> batch;
        for (int i = 1; i <= count; ++i)
            batch << queue(QStringLiteral("file %1.txt").arg(i), QByteArray("content of file ") + QByteArray::number(i));
        return batch;
    }
};

QStringList savedFiles(const DevServer &server)
{
    return QDir(server.uploadDir()).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void batchOfThree();
    void failureOutcomes_data();
    void failureOutcomes();
    void recordedBeforeSending_data();
    void recordedBeforeSending();
    void batchThatCannotStart_data();
    void batchThatCannotStart();
    void certificateQuestionHoldsEveryRequest_data();
    void certificateQuestionHoldsEveryRequest();
    void pinOnTheFileConnection_data();
    void pinOnTheFileConnection();
    void fileFailsWithItsTransportReason_data();
    void fileFailsWithItsTransportReason();
    void folderTreeBatch_data();
    void folderTreeBatch();
};

void TestUpload::batchOfThree()
{
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    // Several blocks of the body's producer, ending in a part-group.
    QByteArray binary(2500001, Qt::Uninitialized);
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i % 251);
    const QList<QByteArray> contents{"jpeg bytes", QByteArray(), binary};
    const QList<Asset *> batch{kit.queue(QStringLiteral("holiday photo.jpg"), contents.at(0)),
                               kit.queue(QStringLiteral("empty.txt"), contents.at(1)),
                               kit.queue(QString::fromUtf8("bin\xc3\xa4r.dat"), contents.at(2))};
    QList<Notification> progress; // and the uploaded notifications between them
    bool offTheMainThread = false;
    QObject observer;
    for (const QString &name : {LMNotification::UploadProgress, LMNotification::UploadedAsset}) {
        NotificationCenter::defaultCenter()->addObserver(&observer, name, kit.connection.get(), [&](const Notification &n) {
            offTheMainThread = offTheMainThread || QThread::currentThread() != qApp->thread();
            progress << n;
        });
    }
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone, 1, 30000));

    QCOMPARE(kit.recorder->names(),
             (QStringList{LMNotification::UploadingAsset, LMNotification::UploadedAsset, LMNotification::UploadingAsset,
                          LMNotification::UploadedAsset, LMNotification::UploadingAsset, LMNotification::UploadedAsset,
                          LMNotification::UploadDone}));
    QCOMPARE(kit.recorder->all().first().userInfo.value("file name").toString(), QStringLiteral("holiday photo.jpg"));
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.contains("error"));

    const QList<QJsonObject> status = server.requests("/ra/assetImportStatus.json");
    QCOMPARE(status.size(), 1);
    QCOMPARE(requestBody(status.first()), QJsonObject({{"name", "LumaroImporter v2.0"}, {"count", 3}}));
    const QList<QJsonObject> assets = server.requests("/ra/categoryAssets.json");
    QCOMPARE(assets.size(), 3);
    const QStringList names{"holiday photo.jpg", "empty.txt", QString::fromUtf8("bin\xc3\xa4r.dat")};
    for (int i = 0; i < 3; ++i) {
        // Byte for byte the compact JSON object (the large body is too large for the log).
        const QJsonObject expected{{"assetFileName", names.at(i)}, {"assetData", QString::fromLatin1(contents.at(i).toBase64())},
                                   {"category", Category}, {"importStatusID", "1"}};
        const QByteArray json = QJsonDocument(expected).toJson(QJsonDocument::Compact);
        QCOMPARE(qint64(assets.at(i).value("bodySize").toDouble()), qint64(json.size()));
        if (i < 2)
            QCOMPARE(assets.at(i).value("body").toString().toUtf8(), json);
        QCOMPARE(assets.at(i).value("rawQuery").toString(),
                 QStringLiteral("loginName=admin&password=lumaro&roleName=CategoryAdmin"));
        // No header of the client's own.
        const QJsonObject headers = assets.at(i).value("headers").toObject();
        QVERIFY(!headers.contains("Content-Type") && !headers.contains("Expect") && !headers.contains("Accept"));
    }

    // What the server decoded is what was on disk.
    const QStringList saved = savedFiles(server);
    QCOMPARE(saved, (QStringList{"1-holiday photo.jpg", "2-empty.txt", QString::fromUtf8("3-bin\xc3\xa4r.dat")}));
    for (int i = 0; i < 3; ++i) {
        QFile file(server.uploadDir() + QLatin1Char('/') + saved.at(i));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), contents.at(i));
    }

    // Progress of each file, on the main thread, growing to the body's size before it is done.
    QVERIFY(!offTheMainThread);
    qint64 sent = -1;
    int file = 0;
    for (const Notification &n : std::as_const(progress)) {
        const qint64 bodySize = qint64(assets.at(file).value("bodySize").toDouble());
        if (n.name == LMNotification::UploadedAsset) {
            QCOMPARE(sent, bodySize);
            ++file;
            sent = -1;
            continue;
        }
        QVERIFY(n.userInfo.value("bytes sent").toLongLong() > sent);
        sent = n.userInfo.value("bytes sent").toLongLong();
        QCOMPARE(n.userInfo.value("bytes total").toLongLong(), bodySize);
    }
    QCOMPARE(file, 3);

    for (Asset *asset : batch) {
        QVERIFY(asset->uploadDateTime());
        const QByteArray &content = contents.at(batch.indexOf(asset));
        QCOMPARE(asset->fileSize(), std::optional<qint64>(content.size()));
        QCOMPARE(asset->contentHash(), sha256(content));
        QCOMPARE(
            asset->serverKey(),
            std::optional(QStringLiteral("127.0.0.1:%1/cgi-bin/WebObjects/Lumaro.woa").arg(server.port())));
        QCOMPARE(asset->categoryID(), std::optional<qint64>(3));
        QCOMPARE(asset->categoryPath(), std::optional(QStringLiteral("/Photos/2024/Spring")));
    }
    QVERIFY(kit.connection->currentImportQueue().isEmpty());
    QCOMPARE(kit.connection->currentAssetImportID(), QStringLiteral("1"));
}

void TestUpload::failureOutcomes_data()
{
    // Per file what became of it (u uploaded, f failed, m may have arrived, p never sent) and how
    // many of its POSTs the server logged; with several files at once, which file meets the Nth
    // POST's fault is chance, so both are then compared sorted.
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("outcomes");
    QTest::addColumn<QString>("posts");
    QTest::addColumn<QString>("reason"); // part of every reason given
    QTest::addColumn<QString>("waits");  // each wait told, as "kind file", repeats left out
    QTest::addColumn<int>("parallel");
    QTest::addColumn<int>("haltAt"); // Stop as this file is announced; 0: never
    QTest::addColumn<bool>("tls");   // with a pinned certificate
    const auto faults = [](const QList<std::pair<int, QString>> &list,
                           const QString &request = QStringLiteral("POST /ra/categoryAssets.json")) {
        QStringList args;
        for (const auto &[n, action] : list)
            args << QStringLiteral("--fault") << QStringLiteral("%1#%2=%3").arg(request).arg(n).arg(action);
        return args;
    };
    const auto row = [](const char *tag, const QStringList &faults, const QString &outcomes,
                        const QString &posts, const QString &reason, const QString &waits, int parallel = 1,
                        int haltAt = 0, bool tls = false) {
        QTest::newRow(tag) << faults << outcomes << posts << reason << waits << parallel << haltAt << tls;
    };
    row("refused: error statuses", faults({{2, "status:500"}, {4, "status:413"}, {5, "status:404"}}), "ufuff",
        "11111", "The server answered HTTP ", {});
    // The second file rides the keep-alive connection that just carried the first; the server
    // reads it whole and closes without a word. Sending it again could store it twice.
    row("closed unanswered on a reused connection", faults({{2, "close"}}), "umuuu", "11111",
        "The connection closed before the server answered.", {});
    row("answer cut short, stored but unanswered, gateways, 408 after the body",
        faults({{1, "drop"}, {2, "close-after"}, {3, "status:502"}, {4, "status:504"}, {5, "status:408"}}),
        "mmmmm", "11111", {}, {});
    // Sent again after the wait: the server asked to come back (at once, or after the usual
    // wait), or it restarts and refuses connections for a while, which pauses the batch.
    row("not delivered: sent again", faults({{2, "retry-after:0"}, {4, "status:429"}, {6, "refuse:300"}}),
        "uuuuu", "12221", {}, "retry file 2.txt, retry file 3.txt, retry file 4.txt, paused file 4.txt");
    // From the fourth file on, a gateway answers for a server that is away, and to its first two
    // checks: the three may be on the server, kept as such and never sent again by themselves.
    row("gateway failures pause the batch",
        faults({{4, "status:502"}, {5, "status:502"}, {6, "status:502"}}) +
            faults({{1, "status:502"}, {2, "status:502"}}, QStringLiteral("GET /ra/abouts.json")),
        "uuummmuu", "11111111", {}, "paused file 7.txt");
    // Four at once, each answered after a while: one refused, one answer cut short; one of the
    // others never waits for them.
    const QStringList slow{"--fault", "POST /ra/categoryAssets.json=delay:40"};
    const QStringList slowFour = faults({{7, "status:500"}, {20, "drop"}}) + slow;
    const QString outcomes = QString(48, QLatin1Char('u')) + "fm";
    row("four at once", slowFour, outcomes, QString(50, QLatin1Char('1')), {}, {}, 4);
    row("four at once, pinned TLS", slowFour, outcomes, QString(50, QLatin1Char('1')), {}, {}, 4, 0, true);
    // Stopped as the sixth file goes: the files on their way finish, no other starts.
    row("four at once, stopped", slow, "uuuuuupppppp", "111111000000", {}, {}, 4, 6);
}

void TestUpload::failureOutcomes()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, outcomes);
    QFETCH(QString, posts);
    QFETCH(QString, reason);
    QFETCH(QString, waits);
    QFETCH(int, parallel);
    QFETCH(int, haltAt);
    QFETCH(bool, tls);
    QTemporaryDir certificates;
    const QStringList tlsArguments =
        tls ? DevServer::makeTlsArguments(certificates.path(), QStringLiteral("server")) : QStringList();
    DevServer server(tlsArguments + faults);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    UploadKit kit(server.port());
    if (tls) {
        kit.bookmark->setSecureConnect(true);
        kit.bookmark->setTrustedCertificate(
            CertificateTrust::fingerprint(QSslCertificate::fromPath(tlsArguments.at(1)).value(0)));
    }
    kit.bookmark->setSimultaneousUploads(parallel);
    kit.connection->setRetrySettings({qint64(60000), std::nullopt, 20, 200});
    NotificationRecorder waited(kit.connection.get(), {LMNotification::UploadWaiting});
    QObject halter;
    NotificationCenter::defaultCenter()->addObserver(&halter, LMNotification::UploadingAsset, kit.connection.get(),
                                                     [&](const Notification &) {
                                                         if (kit.recorder->count(LMNotification::UploadingAsset) == haltAt)
                                                             kit.connection->setHaltUpload(true);
                                                     });
    const QList<Asset *> batch = kit.queueNumbered(int(outcomes.size()));
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone, 1, 30000));
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.contains("error"));

    // In queue order, each file as often as the row says: nothing went again after its last byte.
    // An unanswered request is logged when its handler ends, which can be after the client went on.
    QStringList sent;
    int mostAtOnce = 0;
    const auto sorted = [parallel](QString text) {
        if (parallel > 1)
            std::sort(text.begin(), text.end());
        return text;
    };
    const auto counted = [&] {
        sent.clear();
        mostAtOnce = 0;
        const QList<QJsonObject> requests = server.requests("/ra/categoryAssets.json");
        for (const QJsonObject &request : requests) {
            sent << requestBody(request).value("assetFileName").toString();
            // The POSTs the server was handling when this one came in, itself included.
            int atOnce = 0;
            for (const QJsonObject &other : requests)
                atOnce += other.value("startUs").toInteger() <= request.value("startUs").toInteger() &&
                          other.value("endUs").toInteger() > request.value("startUs").toInteger();
            mostAtOnce = std::max(mostAtOnce, atOnce);
        }
        QString count;
        for (qsizetype i = 1; i <= outcomes.size(); ++i)
            count += QString::number(sent.count(QStringLiteral("file %1.txt").arg(i)));
        return count;
    };
    QTRY_COMPARE(sorted(counted()), sorted(posts));
    // One file after another is not checked so: an unanswered POST is logged late.
    if (parallel > 1)
        QCOMPARE(mostAtOnce, parallel);
    QStringList ordered = sent;
    ordered.removeDuplicates();
    QVERIFY2(parallel > 1 || std::is_sorted(ordered.cbegin(), ordered.cend()), qPrintable(ordered.join(',')));
    QCOMPARE(server.requests("/ra/assetImportStatus.json").size(), 1);

    QString got;
    for (Asset *asset : batch) {
        const bool inDoubt = asset->uploadState() == Asset::UploadState::MayHaveArrived;
        got += !asset->isPending() ? 'u' : inDoubt ? 'm' : sent.contains(asset->fileName()) ? 'f' : 'p';
        QCOMPARE(inDoubt, !asset->uploadStateReason().isEmpty());
    }
    QCOMPARE(sorted(got), sorted(outcomes));
    for (const Notification &n : kit.recorder->all()) {
        if (n.name != LMNotification::UploadFailedAsset)
            continue;
        const QString said = n.userInfo.value("error").toString();
        QVERIFY2(!said.isEmpty() && said.contains(reason), qPrintable(said));
        const auto *asset = qobject_cast<Asset *>(n.userInfo.value("asset").value<QObject *>());
        QCOMPARE(n.userInfo.value("may have arrived").toBool(),
                 asset->uploadState() == Asset::UploadState::MayHaveArrived);
    }
    // Each file the server stored, it stored once.
    QStringList stored;
    for (const QString &name : savedFiles(server))
        stored << name.section(QLatin1Char('-'), 1);
    QCOMPARE(stored.size(), QSet<QString>(stored.cbegin(), stored.cend()).size());
    // A file closed unanswered after it was handled is stored too; a delayed one never is.
    QCOMPARE(stored.size(), faults.join(' ').contains("delay")
                                ? 0
                                : outcomes.count('u') + faults.join(' ').count("close-after"));

    QStringList told;
    for (const Notification &n : waited.all()) {
        const QString wait =
            n.userInfo.value("wait kind").toString() + ' ' + n.userInfo.value("file name").toString();
        if (told.isEmpty() || told.last() != wait)
            told << wait;
    }
    QCOMPARE(told.join(", "), waits);
    // While paused only checks go, each one that fails told as one more wait; the file held back
    // goes right after the check that is answered.
    QStringList log;
    for (const QJsonObject &request : server.requests()) {
        log << (request.value("resource") == "/ra/abouts.json"
                    ? QStringLiteral("check %1").arg(request.value("status").toInt())
                    : requestBody(request).value("assetFileName").toString());
    }
    for (const QString &wait : told.filter(QRegularExpression("^paused ")))
        QCOMPARE(log.value(log.lastIndexOf(wait.section(' ', 1)) - 1), QStringLiteral("check 200"));
    QVERIFY(waited.all().size() >= told.size() + log.filter(QRegularExpression("^check [^2]")).size());
}

void TestUpload::recordedBeforeSending_data()
{
    QTest::addColumn<bool>("afterAnswer"); // the store fails once the first file is on its way
    QTest::newRow("store full before the first file") << false;
    QTest::newRow("store full when the answer comes") << true;
}

void TestUpload::recordedBeforeSending()
{
    QFETCH(bool, afterAnswer);
    DevServer server;
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    kit.connection->setRetrySettings({qint64(0), std::nullopt, 20, 200});
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("store"));
    auto open = [&path] {
        auto file = std::make_unique<StoreFile>();
        QString error;
        if (!file->open(path, &error))
            return std::unique_ptr<ObjectContext>();
        auto context = std::make_unique<ObjectContext>(std::move(file));
        return context->load(&error) ? std::move(context) : std::unique_ptr<ObjectContext>();
    };
    std::unique_ptr<ObjectContext> store = open();
    QVERIFY(store);
    QList<Asset *> batch;
    for (Asset *queued : kit.queueNumbered(2)) {
        Asset *asset = store->insertAsset();
        asset->setFilePath(queued->filePath());
        batch << asset;
    }
    QVERIFY(store->save());
    const QString full = QStringLiteral("The data folder is full.");
    QObject observer;
    bool failed = false;
    NotificationCenter::defaultCenter()->addObserver(&observer, LMNotification::UploadingAsset,
                                                     kit.connection.get(), [&](const Notification &) {
                                                         if (!std::exchange(failed, true))
                                                             store->storeFile()->setFailureForTesting(full);
                                                     });
    if (!afterAnswer)
        store->storeFile()->setFailureForTesting(full);
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    const QVariantMap done = kit.recorder->last(LMNotification::UploadDone).userInfo;
    QVERIFY(done.value("store failure").toBool());
    QVERIFY2(done.value("error").toString().contains(full), qPrintable(done.value("error").toString()));
    // Nothing went that could not be recorded first; one answered went once, and stops the batch.
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), afterAnswer ? 1 : 0);
    QCOMPARE(kit.recorder->count(LMNotification::UploadingAsset), afterAnswer ? 1 : 0);
    if (!afterAnswer) {
        QVERIFY(batch.at(0)->isPending() && batch.at(0)->uploadState() == Asset::UploadState::Waiting);
        return;
    }
    QCOMPARE(kit.recorder->last(LMNotification::UploadedAsset).userInfo.value("not recorded").toString(),
             full);
    QVERIFY(!batch.at(0)->isPending());

    // Recorded as soon as the store takes it, and never sent again.
    NotificationRecorder recorded(kit.connection.get(), {LMNotification::UploadRecorded});
    store->storeFile()->setFailureForTesting({});
    QVERIFY(recorded.waitFor(LMNotification::UploadRecorded));
    kit.recorder->clear();
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(requestSummary(server).mid(2), (QStringList{"status 2", "file 2.txt>3"}));
    store.reset();
    store = open();
    QVERIFY(store);
    QCOMPARE(store->fetchUploadedAssets().size(), 2);
}

void TestUpload::batchThatCannotStart_data()
{
    QTest::addColumn<QString>("fault"); // for the import status; "no category": none selected
    QTest::addColumn<int>("files");
    QTest::newRow("id is a number") << R"(POST /ra/assetImportStatus.json=body:{"id":42})" << 2;
    QTest::newRow("not json") << "POST /ra/assetImportStatus.json=html" << 2;
    QTest::newRow("error status") << "POST /ra/assetImportStatus.json=status:503" << 2;
    QTest::newRow("dropped") << "POST /ra/assetImportStatus.json=drop" << 2;
    QTest::newRow("closed unanswered") << "POST /ra/assetImportStatus.json#1=close" << 2;
    QTest::newRow("no category selected") << "no category" << 1;
    QTest::newRow("empty batch: done, no error") << QString() << 0;
}

void TestUpload::batchThatCannotStart()
{
    QFETCH(QString, fault);
    QFETCH(int, files);
    DevServer server(fault.startsWith("POST") ? QStringList{"--fault", fault} : QStringList());
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    if (fault == "no category")
        kit.connection->setSelectedCategory(std::nullopt);
    const QList<Asset *> batch = kit.queueNumbered(files);
    kit.connection->startAssetImport(batch);
    QCOMPARE(kit.recorder->all().size(), 0); // told later, never inside the call
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(kit.recorder->names(), QStringList{LMNotification::UploadDone});
    const QVariantMap done = kit.recorder->last(LMNotification::UploadDone).userInfo;
    QVERIFY(files ? !done.value("error").toString().isEmpty() : done.isEmpty());
    QVERIFY(!kit.connection->isUploading());
    QCOMPARE(server.requests("/ra/assetImportStatus.json").size(), files ? 1 : 0);
    QCOMPARE(server.requests("/ra/categoryAssets.json").size(), 0);
    for (const Asset *asset : batch)
        QVERIFY(asset->isPending());
}

void TestUpload::certificateQuestionHoldsEveryRequest_data()
{
    QTest::addColumn<bool>("trust");
    QTest::newRow("trusted") << true;
    QTest::newRow("refused") << false;
}

void TestUpload::certificateQuestionHoldsEveryRequest()
{
    QFETCH(bool, trust);
    QTemporaryDir certificates;
    const QStringList tls = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("server"));
    DevServer server(tls);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    UploadKit kit(server.port());
    kit.bookmark->setSecureConnect(true);
    NotificationRecorder questions(kit.connection.get(), {LMNotification::CertificateNeedsTrust});
    // A check, a category load and an upload batch, all at once: one question for all of them.
    kit.connection->checkLMServer();
    kit.connection->retrieveCategoryTypes();
    const QList<Asset *> batch = kit.queueNumbered(2);
    kit.connection->startAssetImport(batch);
    QVERIFY(questions.waitFor(LMNotification::CertificateNeedsTrust));
    const QVariantMap question = questions.last(LMNotification::CertificateNeedsTrust).userInfo;
    const QString fingerprint = QString::fromLatin1(
        QSslCertificate::fromPath(tls.at(1)).value(0).digest(QCryptographicHash::Sha256).toHex(':').toUpper());
    QCOMPARE(question.value("fingerprint").toString(), fingerprint);
    QCOMPARE(question.value("host and port").toString(), QStringLiteral("127.0.0.1:%1").arg(server.port()));
    // Everything waits: nothing answered, nothing reached the server.
    QCOMPARE(kit.recorder->all().size(), 0);
    QCOMPARE(server.requests().size(), 0);

    kit.connection->answerCertificateQuestion(trust);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QVERIFY(kit.recorder->waitFor(LMNotification::CheckedServer));
    QVERIFY(kit.recorder->waitFor(LMNotification::RetrievedCategoryTypes));
    QCOMPARE(questions.count(LMNotification::CertificateNeedsTrust), 1);
    const QVariantMap check = kit.recorder->last(LMNotification::CheckedServer).userInfo;
    QCOMPARE(check.value("server check").toInt(), trust ? 0 : 1);
    QCOMPARE(kit.bookmark->trustedCertificate(), trust ? fingerprint : QString());
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), trust ? 2 : 0);
    QCOMPARE(savedFiles(server).size(), trust ? 2 : 0);
    if (!trust) {
        QCOMPARE(check.value("error").toMap().value("domain").toString(), QStringLiteral("LMCertificateRefused"));
        QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.value("error").toString().isEmpty());
        QCOMPARE(server.requests().size(), 0);
    }
}

void TestUpload::pinOnTheFileConnection_data()
{
    // The files of a batch go on a connection of their own: the bookmark's pin holds there too.
    QTest::addColumn<QString>("certificateHost");
    QTest::addColumn<QString>("pin");    // "served", "other" or none
    QTest::addColumn<int>("answer");     // to the question; -1: none is asked
    QTest::addColumn<QString>("problem"); // among the question's problems
    QTest::newRow("pinned") << "127.0.0.1" << "served" << -1 << QString();
    QTest::newRow("changed, refused") << "127.0.0.1" << "other" << 0 << "self-signed";
    QTest::newRow("changed, trusted") << "127.0.0.1" << "other" << 1 << "self-signed";
    QTest::newRow("another name, unpinned") << "localhost" << QString() << 0 << "another name";
    QTest::newRow("another name, pinned") << "localhost" << "served" << -1 << QString();
}

void TestUpload::pinOnTheFileConnection()
{
    QFETCH(QString, certificateHost);
    QFETCH(QString, pin);
    QFETCH(int, answer);
    QFETCH(QString, problem);
    QTemporaryDir certificates;
    const QStringList tls = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("server"), certificateHost);
    const QStringList other = DevServer::makeTlsArguments(certificates.path(), QStringLiteral("other"));
    DevServer server(tls);
    QVERIFY2(server.isRunning() && !other.isEmpty(), qPrintable(server.errorString()));
    auto fingerprint = [](const QStringList &arguments) {
        return CertificateTrust::fingerprint(QSslCertificate::fromPath(arguments.at(1)).value(0));
    };
    // A session that trusts the certificate has the server make import status 1.
    UploadKit trusting(server.port());
    trusting.bookmark->setSecureConnect(true);
    trusting.bookmark->setTrustedCertificate(fingerprint(tls));
    trusting.connection->startAssetImport(trusting.queueNumbered(1));
    QVERIFY(trusting.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(savedFiles(server).size(), 1);

    UploadKit kit(server.port());
    kit.bookmark->setSecureConnect(true);
    kit.bookmark->setTrustedCertificate(pin == "served" ? fingerprint(tls) : pin == "other" ? fingerprint(other) : QString());
    NotificationRecorder questions(kit.connection.get(), {LMNotification::CertificateNeedsTrust});
    // Straight to the file, so the file's connection meets the certificate first.
    kit.connection->setCurrentImportQueue({kit.queue(QStringLiteral("second.txt"), "second")});
    kit.connection->uploadNextAsset(QStringLiteral("1"));
    if (answer >= 0) {
        QVERIFY(questions.waitFor(LMNotification::CertificateNeedsTrust));
        const QVariantMap question = questions.last(LMNotification::CertificateNeedsTrust).userInfo;
        QCOMPARE(question.value("fingerprint").toString(), fingerprint(tls));
        QCOMPARE(question.value("changed").toBool(), pin == "other");
        QVERIFY2(question.value("problems").toStringList().join(' ').contains(problem),
                 qPrintable(question.value("problems").toStringList().join(' ')));
        QCOMPARE(server.requests().size(), 2);
        kit.connection->answerCertificateQuestion(answer == 1);
    }
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QCOMPARE(questions.count(LMNotification::CertificateNeedsTrust), answer >= 0 ? 1 : 0);
    const bool uploaded = answer != 0;
    QCOMPARE(kit.recorder->count(LMNotification::UploadedAsset), uploaded ? 1 : 0);
    QCOMPARE(server.requests().size(), uploaded ? 3 : 2);
    QCOMPARE(savedFiles(server).size(), uploaded ? 2 : 1);
    if (!uploaded)
        QVERIFY(kit.recorder->last(LMNotification::UploadFailedAsset).userInfo.value("error").toString().contains("not trusted"));
}

void TestUpload::fileFailsWithItsTransportReason_data()
{
    // "slow": a server that reads the 21 MiB body whole, then takes 3 s to answer; nothing moves
    // meanwhile. "per GiB": the wait for that answer grows with the body, beyond the idle limit.
    QTest::addColumn<QString>("peer");   // "closed port", "never reads", "queue full", "plain HTTP" or "slow"
    QTest::addColumn<QString>("reason"); // its start; %1: host and port; none: the file is uploaded
    QTest::newRow("connection refused") << "closed port"
                                        << "Cannot reach %1: connection refused";
    QTest::newRow("body not taken") << "never reads" << "Nothing could be sent to the server for 1 seconds";
    QTest::newRow("no connection made") << "queue full"
                                        << "Cannot reach %1: no connection within 1 seconds";
    QTest::newRow("no TLS spoken") << "plain HTTP"
                                   << "Cannot reach %1: no secure connection could be made (";
    QTest::newRow("slow answer, waiting grows with the body") << "slow, per GiB" << QString();
    QTest::newRow("slow answer, no more than the idle limit") << "slow"
                                                              << "The server did not answer within 1 seconds";
}

void TestUpload::fileFailsWithItsTransportReason()
{
    QFETCH(QString, peer);
    QFETCH(QString, reason);
    // Bound, and listening only when asked: the kernel then takes what fits its buffers and no
    // more, since nothing ever accepts.
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(socket, reinterpret_cast<sockaddr *>(&address), length) == 0);
    QVERIFY(::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    QVERIFY(peer != "never reads" || ::listen(socket, 1) == 0);
    // A listening socket whose queue is full: the kernel drops every further connection attempt.
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(peer != "queue full" || (::listen(socket, 0) == 0 &&
                                     ::connect(filler, reinterpret_cast<sockaddr *>(&address), length) == 0));
    const auto closeSocket = qScopeGuard([socket, filler] {
        ::close(socket);
        ::close(filler);
    });
    std::unique_ptr<DevServer> server;
    if (peer == "plain HTTP")
        server = std::make_unique<DevServer>();
    if (peer.startsWith("slow"))
        server = std::make_unique<DevServer>(
            QStringList{"--fault", "POST /ra/categoryAssets.json=delay:3000", "--discard-bodies"});
    QVERIFY(!server || server->isRunning());
    const quint16 port = server ? server->port() : ntohs(address.sin_port);

    UploadKit kit(port);
    kit.bookmark->setSecureConnect(peer == "plain HTTP");
    kit.connection->setTimeouts({1000, peer.endsWith("per GiB") ? qint64(1000) << 10 : 0});
    Asset *asset = kit.queue(QStringLiteral("large.bin"), QByteArray(16 << 20, 'x'));
    kit.connection->setCurrentImportQueue({asset});
    kit.connection->uploadNextAsset(QStringLiteral("1"));
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone, 1, 20000));
    const QString outcome =
        reason.isEmpty() ? LMNotification::UploadedAsset : LMNotification::UploadFailedAsset;
    QCOMPARE(kit.recorder->names(),
             (QStringList{LMNotification::UploadingAsset, outcome, LMNotification::UploadDone}));
    const QString said = kit.recorder->last(LMNotification::UploadFailedAsset).userInfo.value("error").toString();
    QVERIFY2(said.startsWith(reason.replace("%1", QStringLiteral("127.0.0.1:%1").arg(port))), qPrintable(said));
    QCOMPARE(asset->isPending(), !reason.isEmpty());
    // Logged once answered, also when the client gave up first.
    if (server)
        QTRY_COMPARE_WITH_TIMEOUT(server->requests("/ra/categoryAssets.json").size(),
                                  int(peer != "plain HTTP"), 10000);
}

void TestUpload::folderTreeBatch_data()
{
    // Into Photos (1), which holds 2024 (2) and 2024/Summer (4); new categories get ids from 24 on.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("haltAt");           // categories settled when the halt comes; -1: none
    QTest::addColumn<QStringList>("requests"); // requestSummary()
    // Per file: the category path it was sent with, "failed|" and part of the reason, or "pending".
    QTest::addColumn<QStringList>("outcomes");
    QTest::newRow("flat files and a tree")
        << QStringList{} << -1
        << QStringList{"GET 1",        "+card<1",      "GET 2",    "+DCIM<24",     "GET 4",
                       "+Raw<4",       "+100CANON<25", "status 6", "flat 1.txt>1", "a.jpg>26",
                       "IMG_1.CR3>27", "IMG_2.CR3>27", "x.txt>24", "flat 2.txt>1"}
        << QStringList{"/Photos",
                       "/Photos/2024/Summer/Raw",
                       "/Photos/card/DCIM/100CANON",
                       "/Photos/card/DCIM/100CANON",
                       "/Photos/card",
                       "/Photos"};
    const QString refused =
        QStringLiteral("failed|could not create the category \"/Photos/card/DCIM\": HTTP 500");
    QTest::newRow("a creation refused")
        << QStringList{"--fault", "POST /ra/categories.json#2=status:500"} << -1
        << QStringList{"GET 1",    "+card<1",      "GET 2",    "+DCIM<24", "GET 4",       "+Raw<4",
                       "status 4", "flat 1.txt>1", "a.jpg>25", "x.txt>24", "flat 2.txt>1"}
        << QStringList{"/Photos", "/Photos/2024/Summer/Raw", refused, refused, "/Photos/card", "/Photos"};
    // Halted as "card" is being made: that request completes, nothing follows.
    QTest::newRow("halted among the categories")
        << QStringList{} << 1 << QStringList{"GET 1", "+card<1"}
        << QStringList{"pending", "pending", "pending", "pending", "pending", "pending"};
}

void TestUpload::folderTreeBatch()
{
    QFETCH(QStringList, args);
    QFETCH(int, haltAt);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, outcomes);
    DevServer server(args);
    QVERIFY(server.isRunning());
    UploadKit kit(server.port());
    const QJsonObject photos{{"id", 1}, {"name", "Photos"}};
    kit.connection->setSelectedCategory(photos);
    kit.connection->setCategoryPath({photos});
    kit.connection->setPathLevel(0);
    kit.connection->setFolderCategoryTypeID(7);
    const QList<std::pair<QString, QString>> files{{"flat 1.txt", ""},
                                                   {"a.jpg", "2024/Summer/Raw"},
                                                   {"IMG_1.CR3", "card/DCIM/100CANON"},
                                                   {"IMG_2.CR3", "card/DCIM/100CANON"},
                                                   {"x.txt", "card"},
                                                   {"flat 2.txt", ""}};
    QList<Asset *> batch;
    for (const auto &[name, folder] : files) {
        batch << kit.queue(name, name.toUtf8());
        if (!folder.isEmpty())
            batch.last()->setFolderPath(folder);
    }
    NotificationRecorder seen(kit.connection.get(),
                              {LMNotification::PreparingCategories, LMNotification::UploadingAsset,
                               LMNotification::UploadFailedAsset, LMNotification::UploadDone});
    QObject observer;
    NotificationCenter::defaultCenter()->addObserver(
        &observer, LMNotification::PreparingCategories, kit.connection.get(), [&](const Notification &n) {
            if (n.userInfo.value("categories done").toInt() == haltAt)
                kit.connection->setHaltUpload(true);
        });
    kit.connection->startAssetImport(batch);
    QVERIFY(kit.recorder->waitFor(LMNotification::UploadDone));
    QVERIFY(!kit.recorder->last(LMNotification::UploadDone).userInfo.contains("error"));
    QCOMPARE(requestSummary(server), requests);

    // The categories are settled, each step told, before any file is tried or failed.
    const QStringList names = seen.names();
    const qsizetype preparing = names.lastIndexOf(LMNotification::PreparingCategories);
    QCOMPARE(names.indexOf(LMNotification::PreparingCategories), 0);
    QCOMPARE(names.mid(0, preparing + 1).count(LMNotification::PreparingCategories), preparing + 1);
    const QVariantMap first = seen.all().first().userInfo;
    QCOMPARE(first.value("categories done").toInt(), 0);
    QCOMPARE(first.value("categories total").toInt(), 6);
    QCOMPARE(seen.all().at(preparing).userInfo.value("categories done").toInt(), 6);

    QStringList failures;
    for (const Notification &n : seen.all()) {
        if (n.name == LMNotification::UploadFailedAsset)
            failures << n.userInfo.value("file name").toString() + QLatin1Char('|') +
                            n.userInfo.value("error").toString();
    }
    const QList<QJsonObject> posts = server.requests("/ra/categoryAssets.json");
    for (int i = 0; i < batch.size(); ++i) {
        Asset *asset = batch.at(i);
        const QString &outcome = outcomes.at(i);
        if (!outcome.startsWith(QLatin1Char('/'))) {
            QVERIFY(asset->isPending());
            if (outcome.startsWith(QLatin1String("failed|")))
                QVERIFY2(
                    failures.filter(files.at(i).first + QLatin1Char('|')).value(0).contains(outcome.mid(7)),
                    qPrintable(failures.join(QLatin1Char('\n'))));
            continue;
        }
        QVERIFY(asset->uploadDateTime());
        QCOMPARE(asset->categoryPath(), std::optional(outcome));
        // Sent with the record of its own category, whole, as the server gave it.
        const QJsonObject category = [&] {
            for (const QJsonObject &post : posts) {
                if (requestBody(post).value("assetFileName").toString() == files.at(i).first)
                    return requestBody(post).value("category").toObject();
            }
            return QJsonObject();
        }();
        QCOMPARE(asset->categoryID(), std::optional(recordId(category)));
        QCOMPARE(category.value("name").toString(), outcome.section(QLatin1Char('/'), -1));
        QCOMPARE(category.contains("parentCategoryStructures"), !files.at(i).second.isEmpty());
    }
    QCOMPARE(failures.size(), outcomes.filter(QStringLiteral("failed|")).size());
    if (haltAt >= 0)
        QCOMPARE(kit.connection->currentImportQueue(), batch);
}

LUMARO_TEST_MAIN(TestUpload)
#include "tst_upload.moc"
