// lumaro-import as a process against lumaro-devserver: exit status, output, what the server
// received, and what the store holds afterwards, also with a second program writing to it. Then
// checks of lumaro-devserver itself where a lenient server would let a faulty client pass.
#include "DevServer.h"
#include "StoreAccess.h"
#include "TestEnvironment.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSslCertificate>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void startCli(QProcess &process, const QStringList &args, const QString &password = {}, bool leaksChecked = true,
              bool asNobody = false, const QByteArray &input = {})
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
    const QString program = QStringLiteral(LUMARO_BINARY_DIR "/src/cli/lumaro-import");
    // Root reads what permissions forbid, so a run that must meet an unreadable folder drops to nobody.
    if (asNobody && ::geteuid() == 0)
        process.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", program} + args);
    else
        process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
}

Run finish(QProcess &process, int limitMs = 60000)
{
    Run run;
    if (!process.waitForFinished(limitMs))
        process.kill();
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run cli(const QStringList &args, const QString &password = {}, bool asNobody = false, const QByteArray &input = {},
        bool leaksChecked = true, int limitMs = 60000)
{
    QProcess process;
    startCli(process, args, password, leaksChecked, asNobody, input);
    return finish(process, limitMs);
}

// The store and the folders above it, open to nobody for one run.
bool shareStoreWithNobody()
{
    if (::geteuid() != 0)
        return true;
    const QString store = PersistentStore::applicationDocumentsDirectory();
    bool ok = ::chmod(QFile::encodeName(TestEnvironment::root()).constData(), 0711) == 0 &&
              ::chmod(QFile::encodeName(TestEnvironment::dataHome()).constData(), 0711) == 0;
    for (const QString &name : QStringList{".", PersistentStore::FileName})
        ok = ok && ::chown(QFile::encodeName(store + "/" + name).constData(), 65534, 65534) == 0;
    return ok;
}

// A fresh store with the bookmark "Shop" on this server, one file queued in the window and
// one older log entry; false when the server is not up.
bool seedStore(const DevServer &server, const QString &pin = {})
{
    if (!server.isRunning())
        return false;
    QSqlDatabase::removeDatabase("raw");
    QDir(PersistentStore::applicationDocumentsDirectory()).removeRecursively();
    auto store = openStore();
    ServerBookmark *shop = store->insertBookmark();
    shop->setBookmarkName(QStringLiteral("Shop"));
    shop->setHostName(QStringLiteral("127.0.0.1"));
    shop->setSecureConnect(server.baseUrl().startsWith("https"));
    if (!pin.isEmpty())
        shop->setTrustedCertificate(pin);
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

struct Answer {
    int status = 0;
    QJsonDocument json;
};

Answer post(const DevServer &server, const QString &resource, const QByteArray &body)
{
    QNetworkAccessManager nam;
    QNetworkRequest request(
        QUrl(server.baseUrl() + resource + "?loginName=admin&password=lumaro&roleName=CategoryAdmin"));
    // Qt's default label for a POST body; the server must read JSON regardless.
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply *reply = nam.post(request, body);
    QSignalSpy(reply, &QNetworkReply::finished).wait(10000);
    const Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                        QJsonDocument::fromJson(reply->readAll())};
    reply->deleteLater();
    return answer;
}

QByteArray assetBody(const QString &fileName, const QByteArray &base64)
{
    const QJsonObject body{{"assetFileName", fileName},
                           {"assetData", QString::fromLatin1(base64)},
                           {"category", QJsonObject{{"id", 3}}},
                           {"importStatusID", "1"}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;
    QString m_dir;  // two visible files, and what a folder add must skip
    QString m_tree; // a card-like tree, three levels deep, for /Photos: some levels exist there
    QString m_odd;  // what cannot be sent beside a file that can

private slots:
    void initTestCase()
    {
        // Open to nobody, for the run that must meet an unreadable folder.
        QVERIFY(QFile::setPermissions(m_files.path(), QFile::permissions(m_files.path()) | QFile::ReadOther |
                                                          QFile::ExeOther));
        m_dir = m_files.filePath("card");
        writeFile(m_dir + "/b.jpg", "second");
        writeFile(m_dir + "/a.jpg", "first");
        writeFile(m_files.filePath("odd\tname\n\\\x7f.jpg"), "first");
        writeFile(m_dir + "/.thumbs", "hidden");
        writeFile(m_dir + "/.cache/x.jpg", "hidden folder");
        QVERIFY(QFile::link(m_dir + "/a.jpg", m_dir + "/link.jpg"));
        writeFile(m_files.filePath("twins.json"), R"({"categories": [{"id": 4, "name": "Twins"}, {"id": 9, "name": "Twins"},)"
                                                    R"( {"id": 12, "name": "E\u0301te\u0301 2026"}, {"id": 13, "name": "AC/DC"}]})");
        m_tree = m_files.filePath("2025");
        for (const QString &file : QStringList{"top.jpg", "Events/ev.jpg", "Events/Team Day/td.jpg", "Events/Party/p1.jpg",
                                    "Events/Party/p2.jpg", "New/Sub/s.jpg", ".hidden/h.jpg"})
            writeFile(m_tree + "/" + file, file.toUtf8());
        QVERIFY(QFile::link(m_tree + "/top.jpg", m_tree + "/Events/link.jpg"));
        for (int n = 1; n <= 198; ++n)
            writeFile(m_files.filePath(QStringLiteral("many/%1.jpg").arg(n, 3, 10, QLatin1Char('0'))), QByteArray::number(n));
        m_odd = m_files.filePath("odd");
        writeFile(m_odd + "/ok.jpg", "fine");
        writeFile(m_odd + "/shut/x.jpg", "locked away");
        QVERIFY(::mkfifo(QFile::encodeName(m_odd + "/fifo").constData(), 0644) == 0);
        const int fd = ::open((QFile::encodeName(m_odd) + "/caf\xe9.jpg").constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        QVERIFY(::chmod(QFile::encodeName(m_odd + "/shut").constData(), 0) == 0);
    }

    void cleanupTestCase()
    {
        // QTemporaryDir can neither enter the locked folder as a user nor name the file in bytes.
        ::chmod(QFile::encodeName(m_odd + "/shut").constData(), 0755);
        ::unlink((QFile::encodeName(m_odd) + "/caf\xe9.jpg").constData());
    }

    // A folder keeps its structure below the target, as cp -r does, or is flattened into it; the
    // same command again sends nothing, and with --upload-duplicates sends the files alone.
    void uploadsAFolderTree_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("placed"); // file below the tree: category path
        QTest::newRow("keeps the structure") << QStringList()
            << QStringList{"Events/Party/p1.jpg:/Photos/2025/Events/Party", "Events/Party/p2.jpg:/Photos/2025/Events/Party",
                           "Events/Team Day/td.jpg:/Photos/2025/Events/Team Day", "Events/ev.jpg:/Photos/2025/Events",
                           "New/Sub/s.jpg:/Photos/2025/New/Sub", "top.jpg:/Photos/2025"};
        QTest::newRow("flattened") << QStringList{"--flatten"}
            << QStringList{"Events/Party/p1.jpg:/Photos", "Events/Party/p2.jpg:/Photos", "Events/Team Day/td.jpg:/Photos",
                           "Events/ev.jpg:/Photos", "New/Sub/s.jpg:/Photos", "top.jpg:/Photos"};
    }

    void uploadsAFolderTree()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, placed);
        DevServer server({"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        const QStringList command = QStringList{"upload", "--bookmark", "Shop", "--category", "/Photos", "--json"} + args;
        const Run run = cli(command + QStringList{m_tree, m_tree + "/top.jpg"});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QStringList events{"batch-started"};
        for (int n = 0; n < placed.size(); ++n)
            events << "file-started" << "file-uploaded";
        QCOMPARE(run.events(), events << "batch-done");

        // The options decide each file's folder; how a batch makes its categories and sends the
        // files into them is tst_upload's folderTreeBatch.
        QStringList expectedSent;
        for (const QString &entry : placed)
            expectedSent << entry.section(':', 0, 0).section('/', -1);
        // Path order, nothing hidden or linked, the file named twice once.
        QCOMPARE(server.sentFileNames(), expectedSent);

        auto store = openStore();
        QStringList logged;
        for (const Asset *asset : store->fetchUploadedAssets().mid(1))
            logged << asset->filePath()->mid(m_tree.size() + 1) + ":" + asset->categoryPath().value_or("?");
        QCOMPARE(logged, placed);
        QCOMPARE(pendingRows(), 1); // the window's queue is the window's

        // As a cron job would run it again: nothing is sent, nothing is created, and that is no failure.
        const int before = int(server.requests().size());
        const int postsBefore = server.postCount();
        const Run again = cli(command + QStringList{m_tree});
        QVERIFY2(again.status == 0, qPrintable(again.err));
        QCOMPARE(again.events(), QStringList(placed.size(), "file-skipped") << "batch-done");
        QCOMPARE(int(server.requests().size()), before);
        const Run forced = cli(command + QStringList{"--upload-duplicates", m_tree});
        QVERIFY2(forced.status == 0, qPrintable(forced.err));
        QCOMPARE(server.postCount() - postsBefore, 1 + placed.size());
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("serverArgs");
        // "lock store", "as nobody", "pin FINGERPRINT", "stdin PASSWORD", "env PASSWORD" (none: unset)
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("says"); // each somewhere in the output
        QTest::addColumn<int>("posts");
        QTest::addColumn<int>("logged");
        // Into /Photos of the bookmark Shop, unless the row names a target of its own.
        const auto row = [](const char *name, QStringList args, const QStringList &serverArgs,
                            const QString &setup, int status, const QStringList &says, int posts = 0,
                            int logged = 0) {
            if (!args.contains("-c") && !args.contains("--category-id"))
                args = QStringList{"-c", "/Photos"} + args;
            if (!args.contains("-b") && !args.contains("--url"))
                args = QStringList{"--bookmark", "Shop"} + args;
            QTest::newRow(name) << args << serverArgs << setup << status << says << posts << logged;
        };
        const QStringList both{"uploaded " + m_dir + "/b.jpg (2 of 2"};
        row("trailing slash", {"-c", "/Photos/2025/"}, {}, "", 0, both, 3, 2);
        row("one file refused", {}, {"--fault", "POST /ra/categoryAssets.json#2=status:500"}, "", 1,
            {"failed: " + m_dir + "/b.jpg: The server answered HTTP 500"}, 3, 1);
        row("vanished file", {m_dir + "/gone.jpg"}, {}, "", 1,
            {"not added: " + m_dir + "/gone.jpg: does not exist"}, 3, 2);
        row("unknown bookmark", {"-b", "Nobody"}, {}, "", 2,
            {"no bookmark named \"Nobody\"; there are: \"Shop\""});
        row("missing name", {"-c", "/Photos/2023"}, {}, "", 3,
            {"no category \"2023\" in /Photos; there are: \"2024\", \"2025\""});
        row("empty segment", {"-c", "/Photos//2025"}, {}, "", 2, {"empty name between two slashes"});
        const QStringList twins{"--tree", m_files.filePath("twins.json")};
        row("twin siblings", {"-c", "/Twins"}, twins, "", 3,
            {"2 categories in the top level are named \"Twins\" (ids 4, 9)"});
        // Typed composed, stored decomposed; a slash within a name escaped.
        row("/\u00c9t\u00e9 2026", {"-c", "/\u00c9t\u00e9 2026", "--json"}, twins, "", 0, {"\"id\":12"}, 3,
            2);
        row("AC\\/DC/", {"-c", "AC\\/DC/", "--json"}, twins, "", 0, {"\"id\":13"}, 3, 2);
        row("unknown id", {"--category-id", "999"}, {}, "", 3, {"no category with id 999"});
        row("id", {"--category-id", "9"}, {}, "", 0, {"uploaded " + m_dir + "/a.jpg (1 of 2"}, 3, 2);
        row("not a Lumaro server", {}, {"--identity", "0"}, "", 3, {"does not seem to be a Lumaro server"});
        const QString refused = QStringLiteral(": connection refused");
        const QString closed = QString::number(DevServer::freeClosedPort());
        row("nothing listening", {"--url", "http://ann@127.0.0.1:" + closed, "--json"}, {}, "", 3,
            {"lumaro-import: Cannot reach 127.0.0.1:" + closed + refused,
             "{\"event\":\"exit\",\"exitStatus\":3,\"reason\":\"Cannot reach 127.0.0.1:" + closed + refused +
                 "\"}"});
        row("IPv6 address", {"--url", "http://ann@[::1]:" + closed}, {}, "", 3,
            {"Cannot reach [::1]:" + closed + refused});
        // The limit reaches the worker that sends the bodies (its diagnostics are turned on here).
        row("speed limit", {"--limit-rate", "1.5M"}, {}, "", 0, {"at most 1572864 bytes a second"}, 3, 2);
        row("speed not understood", {"--limit-rate", "fast", "--json"}, {}, "", 2,
            {"{\"event\":\"exit\",\"exitStatus\":2,\"reason\":\"--limit-rate takes bytes a second"});
        row("no answer in time", {"--timeout", "1"}, {"--fault", "GET /ra/categoryTypes.json=delay:3000"}, "",
            3, {"The server did not answer within 1 seconds"});
        // A certificate nobody trusts ends the run at once, with what a person needs to trust it.
        const QStringList tls = DevServer::makeTlsArguments(m_files.path(), "server");
        const QString sha256 = QString::fromLatin1(
            QCryptographicHash::hash(QSslCertificate::fromPath(m_files.filePath("server.crt")).value(0).toDer(),
                                     QCryptographicHash::Sha256).toHex(':').toUpper());
        row("untrusted certificate", {"--json"}, tls, "", 3,
            {"The certificate is self-signed", "SHA-256 fingerprint: " + sha256,
             "  --trust-certificate " + sha256,
             "{\"event\":\"exit\",\"exitStatus\":3,\"reason\":\"cannot use https://127.0.0.1:"});
        row("certificate trusted for the run", {"--trust-certificate", sha256.toLower().remove(':')}, tls, "",
            0, both, 3, 2);
        row("certificate pinned in the bookmark", {}, tls, "pin " + sha256, 0, both, 3, 2);
        // A password given for the run wins over the bookmark's; a refused one is named by its source.
        row("typed password wins", {"--password-stdin"}, {"--user", "ann:typed"}, "stdin typed", 0, both, 3,
            2);
        row("typed password refused", {"--password-stdin"}, {}, "stdin wrong", 3,
            {"the server refused the login of \"ann\" with the password from standard input (HTTP 401"});
        row("environment's password refused", {}, {}, "env wrong", 3,
            {"with the password from LUMARO_PASSWORD (HTTP 401"});
        row("stored password refused", {}, {"--user", "ann:other"}, "env ", 3,
            {"with the password stored in the bookmark (HTTP 401"});
        // The server asks to come back at once: the file goes again, and nothing is left queued.
        const QStringList busy{"--fault", "POST /ra/categoryAssets.json#1=retry-after:0"};
        row("server busy, sent again", {"--json"}, busy, "", 0, {R"("seconds":0,"wait":"retry"})"}, 4, 2);
        row("server busy, no retries", {"--retries", "0"}, busy, "", 1,
            {"failed: " + m_dir + "/a.jpg: The server answered HTTP 503"}, 3, 1);
        row("retry time not understood", {"--retry-for", "soon"}, {}, "", 2,
            {"--retry-for takes a time such as 90s"});
        row("dry run creates nothing", {"-c", "/Photos/2027/May", "--create", "--dry-run"}, {}, "", 0,
            {"would create /Photos/2027/May", "would upload " + m_dir + "/a.jpg to /Photos/2027/May"});
        row("dry run of a tree", {"--dry-run", m_tree}, {}, "", 0,
            {"would create /Photos/2025/Events/Party", "would create /Photos/2025/New",
             "would create /Photos/2025/New/Sub",
             "would upload " + m_tree + "/Events/Party/p1.jpg to /Photos/2025/Events/Party",
             "would upload " + m_tree + "/Events/ev.jpg to /Photos/2025/Events (id 7)",
             "would upload " + m_dir + "/a.jpg to /Photos (id 1)"});
        // Named with reasons, never opened; the rest still goes, and the status says something was left out.
        row("unreadable, not UTF-8, a pipe", {m_odd + "/fifo", m_odd}, {}, "as nobody", 1,
            {"not added: " + m_odd + "/caf\uFFFD.jpg: its name is not valid UTF-8",
             "not added: " + m_odd + "/fifo: is a named pipe",
             "not added: " + m_odd + "/shut: cannot be read: Permission denied",
             "uploaded " + m_odd + "/ok.jpg (1 of 3"},
            5, 3);
        // A listing that cannot prove "Photos" absent: nothing is created beside it.
        row("nameless record in a listing", {"-c", "/Photos/2026", "--create"},
            {"--fault",
             R"(GET /ra/categories.json=body:[{"id":1,"topLevel":true},{"id":10,"name":"Video","topLevel":true}])"},
            "", 3, {"\"Photos\" in the top level"});
        row("store locked", {}, {}, "lock store", 3, {"The data store is in use by another program: "});
    }

    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, serverArgs);
        QFETCH(QString, setup);
        QFETCH(int, status);
        DevServer server(serverArgs.contains("--user") ? serverArgs : serverArgs + QStringList{"--user", "ann:" + Password});
        QVERIFY2(seedStore(server, setup.startsWith("pin ") ? setup.mid(4) : QString()), qPrintable(server.errorString()));
        // As a window saving at that moment would, for longer than the wait allows.
        const bool lock = setup == "lock store";
        if (lock)
            QVERIFY(QSqlQuery(rawStore()).exec("BEGIN IMMEDIATE"));
        if (setup == "as nobody")
            QVERIFY(shareStoreWithNobody());
        qputenv("QT_LOGGING_RULES", "lumaro.connection.debug=true");
        const QString typed = setup.startsWith("stdin ") ? setup.mid(6) : QString();
        const QString environment = setup.startsWith("env ") ? setup.mid(4) : Password;
        // A certificate question nobody answers must not hold the run. An exit right after a refused
        // handshake may leave OpenSSL's per-thread state of Qt's network thread behind.
        const bool tls = serverArgs.contains("--tls");
        const Run run = cli(QStringList{"upload"} + args + QStringList{m_dir + "/a.jpg", m_dir + "/b.jpg"},
                            environment.isEmpty() ? QString() : environment, setup == "as nobody",
                            typed.toUtf8() + "\n", !tls, tls ? 5000 : 60000);
        qunsetenv("QT_LOGGING_RULES");
        if (lock)
            QVERIFY(QSqlQuery(rawStore()).exec("ROLLBACK"));
        QVERIFY2(run.status == status, qPrintable(run.err));
        QFETCH(QStringList, says);
        for (const QString &text : says)
            QVERIFY2((run.out + run.err).contains(text),
                     qPrintable(text + "\nnot in:\n" + run.out + run.err));
        QTEST(server.postCount(), "posts");
        for (const QJsonObject &request : server.requests("/ra/categoryTypes.json"))
            QVERIFY(typed.isEmpty() || request.value("query")["password"] == typed);
        auto store = openStore();
        QTEST(int(store->fetchUploadedAssets().size()) - 1, "logged");
        QCOMPARE(pendingRows(), 1);
    }

    void createsMissingLevelsAndListsThem()
    {
        DevServer server({"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        // Control characters in a name are shown escaped, as ls -b shows them, so each record stays one line.
        const QString odd = m_files.path() + "/odd\\tname\\n\\\\\\177.jpg";
        const Run run = cli({"upload", "-b", "Shop", "-c", "/Photos/2026/Summer", "--create", m_files.filePath("odd\tname\n\\\x7f.jpg")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, "uploaded " + odd + " (1 of 1, 5 bytes)\n");

        // Each missing level made below the one before: tst_connection's categoryTree "create".
        const Run listed = cli({"categories", "-b", "Shop", "/Photos/2026"});
        QCOMPARE(listed.status, 0);
        const QStringList summer = listed.out.trimmed().split('\t');
        QCOMPARE(summer.value(1), QString("Summer"));
        const QJsonObject target = requestBody(server.requests("/ra/categoryAssets.json").first()).value("category").toObject();
        QCOMPARE(target.value("id").toInt(), summer.value(0).toInt());

        // The time of day counts, in local time as the help's example gives it.
        const auto since = [](int secs) { return QDateTime::currentDateTime().addSecs(secs).toString("yyyy-MM-ddTHH:mm"); };
        QCOMPARE(cli({"log", "--since", since(120)}).out, QString());
        const Run log = cli({"log", "-b", "Shop", "--since", since(-120)});
        QCOMPARE(log.out.split('\n', Qt::SkipEmptyParts).size(), 1);
        QVERIFY2(log.out.endsWith("\tShop\t" + summer.value(0) + "\t/Photos/2026/Summer\t" + odd + "\n"),
                 qPrintable(log.out));
        const Run bookmarks = cli({"bookmarks"});
        QCOMPARE(bookmarks.out, "Shop\t" + server.baseUrl() + "\tann\n");
        QVERIFY(!bookmarks.out.contains(Password));
    }

    void interrupting_data()
    {
        QTest::addColumn<int>("interrupts");
        QTest::addColumn<bool>("firstLogged");
        QTest::newRow("once: the file in flight goes") << 1 << true;
        QTest::newRow("twice: stops at once") << 2 << false;
        // Four files on their way when the process dies: none is lost nor sent again.
        QTest::newRow("killed with four in flight") << 9 << false;
    }

    void interrupting()
    {
        QFETCH(int, interrupts);
        DevServer server({"--user", "ann:" + Password, "--fault", "POST /ra/categoryAssets.json=delay:1500"});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        const QString four = m_files.filePath("four");
        for (const char *name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
            writeFile(four + '/' + name, name);
        QProcess process;
        startCli(process, {"upload", "-b", "Shop", "-c", "/Photos", "--json", "--parallel", interrupts == 9 ? "4" : "1",
                           interrupts == 9 ? four : m_dir}, {}, interrupts == 1);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += process.readAllStandardOutput()).count("file-started") >= (interrupts == 9 ? 4 : 1), 20000);
        ::kill(pid_t(process.processId()), interrupts == 9 ? SIGKILL : SIGINT);
        if (interrupts == 9) {
            QVERIFY(process.waitForFinished(20000));
            const Run again = cli({"upload", "-b", "Shop", "-c", "/Photos", "--json", four});
            QCOMPARE(again.status, 0);
            QCOMPARE(again.out.count("\",\"mayHaveArrived\""), 4);
            QTRY_COMPARE(server.requests("/ra/categoryAssets.json").size(), 4);
            return;
        }
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
        QFETCH(bool, firstLogged);
        QCOMPARE(uploadedPaths(*openStore()).mid(1),
                 firstLogged ? QStringList{m_dir + "/a.jpg"} : QStringList());
        if (interrupts == 1)
            return;
        // Cut off after its last byte: it may be on the server, so the next run skips it.
        QVERIFY2(run.events().contains("may-have-arrived"), qPrintable(run.out));
        const Run again = cli({"upload", "-b", "Shop", "-c", "/Photos", "--json", m_dir});
        QCOMPARE(again.status, 0);
        QVERIFY2(
            again.out.contains(R"("event":"file-skipped","file":")" + m_dir + R"(/a.jpg","mayHaveArrived")"),
            qPrintable(again.out));
        QCOMPARE(server.sentFileNames(), (QStringList{"a.jpg", "b.jpg"}));
    }

    // The data folder fills up mid-batch (a small tmpfs of a private mount namespace): the run
    // stops and says why; with room again, the same command sends the rest, and no file twice.
    void dataFolderFillsUp()
    {
        QTemporaryDir mount;
        if (QProcess::execute("unshare", {"-Urm", "mount", "-t", "tmpfs", "tmpfs", mount.path()}) != 0)
            QSKIP("no tmpfs can be mounted in a user and mount namespace here (unshare -Urm)");
        DevServer server({"--user", "ann:" + Password});
        QVERIFY2(seedStore(server), qPrintable(server.errorString()));
        QProcess shell;
        shell.start("unshare", {"-Urm", "sh", "-c", R"(set -e
            mount -t tmpfs -o size=8m tmpfs "$1"
            cp -a "$XDG_DATA_HOME/." "$1"
            dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null || true
            truncate -s -160K "$1/filler"
            export XDG_DATA_HOME="$1"
            "$2" upload -b Shop -c /Photos "$3" || echo "status $?"
            rm "$1/filler"
            "$2" upload -b Shop -c /Photos "$3" && echo "status $?")",
                                 "sh", mount.path(), LUMARO_BINARY_DIR "/src/cli/lumaro-import", m_files.filePath("many")});
        const Run run = finish(shell);
        const QStringList runs = run.out.split(QRegularExpression("status \\d+\n"));
        QVERIFY2(runs.size() == 3 && run.out.contains("status 3\n") && run.err.contains("database or disk is full"),
                 qPrintable(run.out.right(500) + run.err.right(500)));
        QVERIFY2(runs.at(0).count("uploaded ") > 0 && runs.at(0).count("uploaded ") < 198, qPrintable(runs.at(0)));
        const QStringList sent = server.sentFileNames();
        QCOMPARE(sent.size(), 198);
        QCOMPARE(QSet<QString>(sent.cbegin(), sent.cend()).size(), 198);
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

    // What a client sent must be what lands on disk; a name cannot leave the upload folder.
    void uploadWritesDecodedBytesOnlyForValidBase64()
    {
        DevServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const Answer status = post(server, "/ra/assetImportStatus.json", R"({"name":"t","count":2})");
        QCOMPARE(status.json["id"].toString(), QStringLiteral("1"));

        QByteArray data;
        for (int i = 0; i < 70000; ++i)
            data.append(char(i * 7));
        const QByteArray valid = assetBody("../Grüße.bin", data.toBase64());
        QCOMPARE(post(server, "/ra/categoryAssets.json", valid).status, 200);
        QCOMPARE(post(server, "/ra/categoryAssets.json", assetBody("bad.bin", "aGVsbG8")).status, 400);

        const QStringList saved = QDir(server.uploadDir()).entryList(QDir::Files);
        QCOMPARE(saved, QStringList({QStringLiteral("1-_._Grüße.bin")}));
        QFile file(QDir(server.uploadDir()).filePath(saved.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), data);
    }

    void discardModeOnlyCountsBytes()
    {
        DevServer server({"--discard-bodies"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        const QByteArray body(3 * 1024 * 1024, 'x'); // not even JSON: discard mode never parses
        const Answer answer = post(server, "/ra/categoryAssets.json", body);
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.json["received"].toInteger(), body.size());
        const QJsonObject logged = server.requests().last();
        QCOMPARE(logged["bodySize"].toInteger(), body.size());
        QVERIFY(!logged.contains("body"));
    }
};

LUMARO_TEST_MAIN(TestCli)
#include "tst_cli.moc"
