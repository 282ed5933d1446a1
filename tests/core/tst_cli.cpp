// lumaro-import as a process against lumaro-devserver: exit status, output, what the server
// received, and what the store holds afterwards, also with a second program writing to it.
#include "DevServer.h"
#include "TestEnvironment.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>

namespace {

const QString Password = QStringLiteral("s3 cr&t");

struct Run {
    int status = -1;
    QString out;
    QString err;
    [[nodiscard]] QStringList events() const
    {
        QStringList names;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            names << QJsonDocument::fromJson(line.toUtf8()).object().value("event").toString();
        return names;
    }
};

void startCli(QProcess &process, const QStringList &args, const QString &password = {}, bool leaksChecked = true)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A request aborted just before exit leaves Qt's HTTP-thread objects behind, as in
    // tst_relaunch; leaks are the in-process tests' business.
    if (!leaksChecked && env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    env.remove(QStringLiteral("LUMARO_PASSWORD"));
    if (!password.isNull())
        env.insert(QStringLiteral("LUMARO_PASSWORD"), password);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(LUMARO_BINARY_DIR "/src/cli/lumaro-import"), args);
    process.closeWriteChannel();
}

Run finish(QProcess &process)
{
    Run run;
    if (!process.waitForFinished(60000))
        process.kill();
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run cli(const QStringList &args, const QString &password = {})
{
    QProcess process;
    startCli(process, args, password);
    return finish(process);
}

std::unique_ptr<ObjectContext> openStore()
{
    auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
    return std::move(std::get<std::unique_ptr<ObjectContext>>(opened));
}

// A fresh store with the bookmark "Shop" on this server, one file queued in the window and
// one older log entry; false when the server is not up.
bool seedStore(const DevServer &server)
{
    if (!server.isRunning())
        return false;
    QSqlDatabase::removeDatabase("raw");
    QDir(PersistentStore::applicationDocumentsDirectory()).removeRecursively();
    auto store = openStore();
    ServerBookmark *shop = store->insertBookmark();
    shop->setBookmarkName(QStringLiteral("Shop"));
    shop->setHostName(QStringLiteral("127.0.0.1"));
    shop->setSecureConnect(false);
    shop->setPortNumber(server.port());
    shop->setUserName(QStringLiteral("ann"));
    shop->setPassword(Password);
    Asset *queued = store->insertAsset();
    queued->setFilePath(QStringLiteral("/queued/in/the/window.jpg"));
    queued->setBookmark(shop);
    Asset *old = store->insertAsset();
    old->setFilePath(QStringLiteral("/sent/last/year.jpg"));
    old->setBookmark(shop);
    old->setUploadDateTime(QDateTime::currentDateTimeUtc().addYears(-1));
    return store->save();
}

// The store file as another program sees it, past any object context.
QSqlDatabase rawStore()
{
    if (QSqlDatabase::contains("raw"))
        return QSqlDatabase::database("raw");
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
    db.setDatabaseName(PersistentStore::applicationDocumentsDirectory() + "/" + PersistentStore::FileName);
    db.open();
    return db;
}

int pendingRows()
{
    QSqlQuery query(rawStore());
    query.exec("SELECT COUNT(*) FROM Asset WHERE uploadDateTime IS NULL");
    return query.next() ? query.value(0).toInt() : -1;
}

QStringList uploadedPaths(ObjectContext &store)
{
    QStringList paths;
    for (const Asset *asset : store.fetchUploadedAssets())
        paths << *asset->filePath();
    return paths;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;
    QString m_dir; // two visible files, and what a folder add must skip

private slots:
    void initTestCase()
    {
        m_dir = m_files.filePath("card");
        writeFile(m_dir + "/b.jpg", "second");
        writeFile(m_dir + "/a.jpg", "first");
        writeFile(m_dir + "/.thumbs", "hidden");
        writeFile(m_dir + "/.cache/x.jpg", "hidden folder");
        QVERIFY(QFile::link(m_dir + "/a.jpg", m_dir + "/link.jpg"));
        writeFile(m_files.filePath("twins.json"), R"({"categories": [{"id": 4, "name": "Twins"}, {"id": 9, "name": "Twins"}]})");
    }

    void uploadsAFolderAsOneBatch()
    {
        writeFile(m_dir + "/deeper/c.jpg", "third");
        DevServer server({"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        const Run run = cli({"upload", "--bookmark", "Shop", "--category", "/Photos/2025/Events", "--json", m_dir});
        QFile::remove(m_dir + "/deeper/c.jpg");
        QCOMPARE(run.status, 0);
        QCOMPARE(run.events(), QStringList({"batch-started", "file-started", "file-uploaded", "file-started",
                                            "file-uploaded", "file-started", "file-uploaded", "batch-done"}));

        const auto status = server.requests("/ra/assetImportStatus.json");
        QCOMPARE(status.size(), 1);
        QCOMPARE(requestBody(status.first()).value("count").toInt(), 3);
        QStringList names;
        QSet<QString> importIds;
        for (const QJsonObject &request : server.requests("/ra/categoryAssets.json")) {
            const QJsonObject body = requestBody(request);
            names << body.value("assetFileName").toString();
            importIds << body.value("importStatusID").toString();
            QCOMPARE(body.value("category").toObject().value("id").toInt(), 7);
            QCOMPARE(request.value("query").toObject().value("password").toString(), Password);
        }
        QCOMPARE(names, QStringList({"a.jpg", "b.jpg", "c.jpg"})); // path order, nothing hidden or linked
        QCOMPARE(importIds.size(), 1);
        QFile saved(QDir(server.uploadDir()).filePath("1-a.jpg"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("first"));

        auto store = openStore();
        QCOMPARE(store->fetchUploadedAssets().size(), 4);
        for (const Asset *asset : store->fetchUploadedAssets().mid(1)) {
            QCOMPARE(asset->bookmark()->bookmarkName(), QString("Shop"));
            QCOMPARE(asset->categoryID(), 7);
            QCOMPARE(asset->categoryPath(), QString("/Photos/2025/Events"));
        }
        // The window's queue is the window's: still the one file, and nothing added.
        QCOMPARE(pendingRows(), 1);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("serverArgs");
        QTest::addColumn<bool>("lockStore");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("posts");
        QTest::addColumn<int>("logged");

        const QStringList shop{"--bookmark", "Shop"};
        const QStringList none;
        QTest::newRow("trailing slash") << shop + QStringList{"-c", "/Photos/2025/"} << none << false << 0
                                        << "uploaded " + m_dir + "/b.jpg (2 of 2" << 3 << 2;
        QTest::newRow("one file refused")
            << shop + QStringList{"-c", "/Photos"} << QStringList{"--fault", "POST /ra/categoryAssets.json#2=status:500"}
            << false << 1 << "failed: " + m_dir + "/b.jpg: The server answered HTTP 500" << 3 << 1;
        QTest::newRow("vanished file") << shop + QStringList{"-c", "/Photos", m_dir + "/gone.jpg"} << none << false << 1
                                       << "gone.jpg: Cannot read" << 3 << 2;
        QTest::newRow("unknown bookmark") << QStringList{"-b", "Nobody", "-c", "/Photos"} << none << false << 2
                                          << "no bookmark named \"Nobody\"; there are: \"Shop\"" << 0 << 0;
        QTest::newRow("missing name") << shop + QStringList{"-c", "/Photos/2023"} << none << false << 3
                                      << "no category \"2023\" in /Photos; there are: \"2024\", \"2025\"" << 0 << 0;
        QTest::newRow("empty segment") << shop + QStringList{"-c", "/Photos//2025"} << none << false << 2
                                       << "empty name between two slashes" << 0 << 0;
        QTest::newRow("twin siblings") << shop + QStringList{"-c", "/Twins"}
                                       << QStringList{"--tree", m_files.filePath("twins.json")} << false << 3
                                       << "2 categories in the top level are named \"Twins\" (ids 4, 9)" << 0 << 0;
        QTest::newRow("unknown id") << shop + QStringList{"--category-id", "999"} << none << false << 3
                                    << "no category with id 999" << 0 << 0;
        QTest::newRow("id") << shop + QStringList{"--category-id", "9"} << none << false << 0
                    << "uploaded " + m_dir + "/a.jpg (1 of 2" << 3 << 2;
        QTest::newRow("not a Lumaro server") << shop + QStringList{"-c", "/Photos"} << QStringList{"--identity", "0"}
                                             << false << 3 << "does not seem to be a Lumaro server" << 0 << 0;
        const QString closed = QString::number(DevServer::freeClosedPort());
        QTest::newRow("nothing listening")
            << QStringList{"--url", "http://ann@127.0.0.1:" + closed, "-c", "/Photos"} << none << false << 3
            << "lumaro-import: Cannot reach 127.0.0.1:" + closed + ": connection refused\n"
            << 0 << 0;
        QTest::newRow("IPv6 address")
            << QStringList{"--url", "http://ann@[::1]:" + closed, "-c", "/Photos"} << none << false << 3
            << "Cannot reach [::1]:" + closed + ": connection refused" << 0 << 0;
        // The limit reaches the worker that sends the bodies (its diagnostics are turned on here).
        QTest::newRow("speed limit") << shop + QStringList{"-c", "/Photos", "--limit-rate", "1.5M"} << none
                                     << false << 0 << "at most 1572864 bytes a second" << 3 << 2;
        QTest::newRow("speed not understood")
            << shop + QStringList{"-c", "/Photos", "--limit-rate", "fast"} << none << false << 2
            << "--limit-rate takes bytes a second" << 0 << 0;
        QTest::newRow("dry run creates nothing")
            << shop + QStringList{"-c", "/Photos/2027/May", "--create", "--dry-run"} << none << false << 0
            << "would create /Photos/2027/May\nwould upload " + m_dir + "/a.jpg to /Photos/2027/May\n" << 0 << 0;
        QTest::newRow("store locked") << shop + QStringList{"-c", "/Photos"} << none << true << 3
                                      << "The data store is in use by another program: " << 0 << 0;
    }

    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, serverArgs);
        QFETCH(bool, lockStore);
        QFETCH(int, status);
        DevServer server(serverArgs + QStringList{"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        // As a window saving at that moment would, for longer than the wait allows.
        if (lockStore)
            QVERIFY(QSqlQuery(rawStore()).exec("BEGIN IMMEDIATE"));
        qputenv("QT_LOGGING_RULES", "lumaro.connection.debug=true");
        const Run run = cli(QStringList{"upload"} + args + QStringList{m_dir}, Password);
        qunsetenv("QT_LOGGING_RULES");
        if (lockStore)
            QVERIFY(QSqlQuery(rawStore()).exec("ROLLBACK"));
        QVERIFY2(run.status == status, qPrintable(run.err));
        QFETCH(QString, says);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        int posts = 0;
        for (const QJsonObject &request : server.requests())
            posts += request.value("method").toString() == "POST";
        QTEST(posts, "posts");
        auto store = openStore();
        QTEST(int(store->fetchUploadedAssets().size()) - 1, "logged");
        QCOMPARE(pendingRows(), 1);
    }

    void createsMissingLevelsAndListsThem()
    {
        DevServer server({"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        const Run run = cli({"upload", "-b", "Shop", "-c", "/Photos/2026/Summer", "--create", m_dir + "/a.jpg"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, "uploaded " + m_dir + "/a.jpg (1 of 1, 5 bytes)\n");

        QStringList made;
        for (const QJsonObject &request : server.requests("/ra/categories.json")) {
            const QJsonObject body = requestBody(request);
            if (request.value("method") == "POST")
                made << QStringLiteral("%1 under %2").arg(body.value("name").toString()).arg(
                            body.value("parentCategoryStructures")[0]["parentCategory"]["id"].toInt());
        }
        const Run listed = cli({"categories", "-b", "Shop", "/Photos/2026"});
        QCOMPARE(listed.status, 0);
        const QStringList summer = listed.out.trimmed().split('\t');
        QCOMPARE(summer.value(1), QString("Summer"));
        const QJsonObject target = requestBody(server.requests("/ra/categoryAssets.json").first()).value("category").toObject();
        QCOMPARE(target.value("id").toInt(), summer.value(0).toInt());
        QCOMPARE(made.first(), QString("2026 under 1"));
        QCOMPARE(made.size(), 2);
        QVERIFY(made.last().startsWith("Summer under ") && !made.last().endsWith(" under 1"));

        const Run log = cli({"log", "-b", "Shop", "--since", QDate::currentDate().addDays(-1).toString(Qt::ISODate)});
        QCOMPARE(log.out.split('\n', Qt::SkipEmptyParts).size(), 1);
        QVERIFY2(log.out.contains("\tShop\t" + summer.value(0) + "\t/Photos/2026/Summer\t" + m_dir + "/a.jpg"),
                 qPrintable(log.out));
        const Run bookmarks = cli({"bookmarks"});
        QCOMPARE(bookmarks.out, "Shop\t" + server.baseUrl() + "\tann\n");
        QVERIFY(!bookmarks.out.contains(Password));
    }

    void interrupting_data()
    {
        QTest::addColumn<int>("interrupts");
        QTest::addColumn<QStringList>("uploaded");
        QTest::newRow("once: the file in flight goes") << 1 << QStringList{"a.jpg"};
        QTest::newRow("twice: stops at once") << 2 << QStringList{};
    }

    void interrupting()
    {
        QFETCH(int, interrupts);
        DevServer server({"--user", "ann:" + Password, "--fault", "POST /ra/categoryAssets.json=delay:1500"});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        QProcess process;
        startCli(process, {"upload", "-b", "Shop", "-c", "/Photos", "--json", m_dir}, {}, interrupts == 1);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).contains("file-started"), 20000);
        ::kill(pid_t(process.processId()), SIGINT);
        // Signals sent back to back may arrive as one: the second goes once the first is heard.
        QByteArray err;
        if (interrupts == 2) {
            QTRY_VERIFY_WITH_TIMEOUT((err += process.readAllStandardError()).contains("stopping after"), 20000);
            ::kill(pid_t(process.processId()), SIGINT);
        }
        Run run = finish(process);
        run.err.prepend(QString::fromUtf8(err));
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("not sent: " + m_dir + "/b.jpg"), qPrintable(run.err));
        QFETCH(QStringList, uploaded);
        QStringList logged;
        for (const QString &path : uploadedPaths(*openStore()).mid(1))
            logged << QFileInfo(path).fileName();
        QCOMPARE(logged, uploaded);
    }

    // The window's process and the command line on one store file: each keeps the other's records.
    void sharesTheStoreWithTheWindow_data()
    {
        QTest::addColumn<bool>("deleteBookmark");
        QTest::newRow("bookmark renamed meanwhile") << false;
        QTest::newRow("bookmark deleted meanwhile") << true;
    }

    void sharesTheStoreWithTheWindow()
    {
        QFETCH(bool, deleteBookmark);
        DevServer server({"--user", "ann:" + Password, "--fault", "POST /ra/categoryAssets.json=delay:600"});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        auto window = openStore();
        ServerBookmark *shop = window->fetchAllBookmarks().first();

        QProcess process;
        startCli(process, {"upload", "-b", "Shop", "-c", "/Photos", m_dir});
        // Edited while the second file is on its way, after the first one was logged.
        QTRY_COMPARE_WITH_TIMEOUT(server.requests("/ra/categoryAssets.json").size(), 1, 20000);
        if (deleteBookmark)
            window->deleteObject(shop);
        else
            shop->setBookmarkName(QStringLiteral("Shop (old)"));
        QVERIFY(window->save());
        const Run run = finish(process);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        // A later save of the window's context, which never saw the new entries, keeps them.
        window->insertBookmark()->setBookmarkName(QStringLiteral("Other"));
        QVERIFY(window->save());

        auto after = openStore();
        QCOMPARE(uploadedPaths(*after), QStringList({"/sent/last/year.jpg", m_dir + "/a.jpg", m_dir + "/b.jpg"}));
        QStringList names;
        for (const ServerBookmark *bookmark : after->fetchAllBookmarks())
            names << bookmark->bookmarkLongName();
        QCOMPARE(names, deleteBookmark ? QStringList({"Other"}) : QStringList({"Shop (old)", "Other"}));
        for (const Asset *asset : after->fetchUploadedAssets())
            QCOMPARE(asset->bookmark() ? *asset->bookmark()->bookmarkName() : QString(),
                     deleteBookmark ? QString() : QString("Shop (old)"));
        QCOMPARE(pendingRows(), deleteBookmark ? 0 : 1); // the delete rule's, nothing of the command line's
    }
};

LUMARO_TEST_MAIN(TestCli)
#include "tst_cli.moc"
