#include "GuiTestMain.h"

#include "UploadTestKit.h"
#include "app/SingleInstance.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "session/DuplicateSheet.h"
#include "session/FolderTreeSheet.h"

#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>

using namespace AppTestSupport;
using namespace SessionTestKit;

// Runs the real application, several times over one store, the way a user starts and quits it.
class TestRelaunch : public QObject {
    Q_OBJECT

    static QString binary() { return QStringLiteral(LUMARO_BINARY_DIR "/src/LumaroImporter"); }

    // The application's own settings file (its organisation and name, not the test's).
    static QString settingsFile()
    {
        return TestEnvironment::configHome() + QStringLiteral("/veltrane/LumaroImporter.conf");
    }

    // Server arguments for users who log in as "<name>" with "pw-<name>".
    static QStringList users(const QStringList &names, QStringList args = {})
    {
        for (const QString &name : names)
            args << QStringLiteral("--user") << name + QStringLiteral(":pw-") + name;
        return args;
    }

    // A bookmark named after its user; with a category, its session was last in that upload view.
    static ServerBookmark *seedUser(ObjectContext *context, const DevServer &server, const QString &user,
                                    bool sessionOpen, qint64 uploadInto = -1)
    {
        BookmarkSeed bookmark = BookmarkSeed(user, QStringLiteral("127.0.0.1"))
                                    .withPort(server.port())
                                    .withLogin(user, "pw-" + user);
        ServerBookmark *seeded = seed(context, sessionOpen ? bookmark.withOpenSession() : bookmark);
        if (uploadInto >= 0) {
            seeded->setLastCategoryView(LMSessionWindowController::UploadViewName);
            seeded->setLastCategoryID(uploadInto);
        }
        return seeded;
    }

    // Una's session was open at the last quit, and the bookmarks window is off.
    static bool seedUna(const DevServer &server, qint64 uploadInto = -1)
    {
        auto seeded = readStore();
        if (!seeded.context)
            return false;
        seedUser(seeded.context.get(), server, QStringLiteral("una"), true, uploadInto);
        QSettings(settingsFile(), QSettings::IniFormat).setValue(AppDelegate::ShowBookmarksKey, false);
        return seeded.context->save();
    }

    // One statement on the store file, as another program runs it: its first value, or for a
    // change the rows it changed; -1 when it fails.
    static qint64 onStoreFile(const QString &sql)
    {
        qint64 result = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            db.setDatabaseName(PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') +
                               PersistentStore::FileName);
            QSqlQuery query(db);
            if (db.open() && query.exec(sql))
                result = query.next() ? query.value(0).toLongLong() : query.numRowsAffected();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        return result;
    }

    static int categoryRequestsBy(const DevServer &server, const QString &login)
    {
        int count = 0;
        for (const QJsonObject &request : server.requests(QStringLiteral("/ra/categories.json")))
            count += request["query"]["loginName"].toString() == login;
        return count;
    }

    // With a user, this test binary runs playTheUser in the application's place.
    static bool start(QProcess &app, const QStringList &extraEnvironment = {}, const QString &user = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), TestEnvironment::dataHome());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), TestEnvironment::configHome());
        // Quitting while a session's request is still in flight leaves Qt's network objects
        // behind at process exit; leaks are the in-process tests' business, not this one's.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        for (const QString &setting : extraEnvironment)
            env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
        env.insert(QStringLiteral("LUMARO_PLAY_USER"), user);
        env.insert(QStringLiteral("LUMARO_PLAY_DATA"), TestEnvironment::dataHome());
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::SeparateChannels);
        app.setReadChannel(QProcess::StandardOutput);
        app.start(user.isEmpty() ? binary() : QCoreApplication::applicationFilePath(), QStringList());
        return app.waitForStarted(10000);
    }

    // Waits for the end of a process asked to quit (or killed): the fixed lines it printed at exit
    // if it ended normally with status 0, else how it ended. One killed here did not end normally.
    static QStringList collect(QProcess &app, QByteArray errors = {})
    {
        // Its end may have been seen already, while the caller waited for its output; waiting
        // for a process that has finished fails at once.
        const bool ended = app.state() == QProcess::NotRunning || app.waitForFinished(20000);
        if (!ended) {
            app.kill();
            app.waitForFinished(5000);
        }
        errors += app.readAllStandardError();
        if (!ended || app.exitStatus() != QProcess::NormalExit || app.exitCode() != 0) {
            qWarning().noquote() << "LumaroImporter stderr:" << QString::fromUtf8(errors.right(4000));
            return {QStringLiteral("ended with status %1, code %2")
                        .arg(ended ? app.exitStatus() : QProcess::CrashExit)
                        .arg(app.exitCode())};
        }
        QStringList lines = QString::fromUtf8(app.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        lines.removeIf(
            [](const QString &l) { return !l.startsWith(QStringLiteral("bookmarks window showing")); });
        return lines;
    }

    // Starts, waits until ready() says it is up (it also sees what was written to standard error
    // so far), then asks it to quit: what collect() gives, or why it never was ready. The user who
    // finishes quits by itself; "queue tree" and "clear log" are killed (kill -9), which gives
    // nothing once they were ready.
    static QStringList runUntil(const std::function<bool(const QByteArray &)> &ready,
                                const QStringList &extraEnvironment = {}, const QString &user = {})
    {
        QProcess app;
        if (!start(app, extraEnvironment, user))
            return {QStringLiteral("did not start")};
        QByteArray errors;
        const bool becameReady = QTest::qWaitFor(
            [&] {
                errors += app.readAllStandardError();
                return ready(errors);
            },
            20000);
        const bool killed = user == QLatin1String("queue tree") || user == QLatin1String("clear log");
        if (killed)
            app.kill();
        else if (user.isEmpty())
            app.terminate();
        const QStringList ended = collect(app, errors);
        if (!becameReady)
            return QStringList{QStringLiteral("never ready")} + ended;
        return killed ? QStringList() : ended;
    }

private slots:
    void initTestCase()
    {
        // A process halfSentTreeKeepsItsPlaces started in the application's place plays its user
        // and runs no test.
        if (!qEnvironmentVariableIsEmpty("LUMARO_PLAY_USER")) {
            playTheUser();
            if (!QTest::currentTestFailed())
                QSKIP("played the user of halfSentTreeKeepsItsPlaces");
            return;
        }
        QVERIFY2(QFileInfo(binary()).isExecutable(), qPrintable(binary() + QStringLiteral(" is not built")));
    }

    void init()
    {
        resetPersistentState();
        QFile::remove(settingsFile());
    }

    // Where each session was is written as the user goes (tst_sessionwindow); here the real
    // binary, quit by SIGTERM, brings the sessions back there and reads its own preference.
    void sessionsOpenAtQuitComeBackWhereTheUserWas()
    {
        DevServer server(users({"una", "vic", "wes"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        {
            auto seeded = readStore();
            QVERIFY(seeded.context);
            // Una was in the upload view of Summer with a file queued; Wes's session was closed.
            Asset *queued = seeded.context->insertAsset();
            queued->setFilePath(QStringLiteral("/srv/shots/queued.jpg"));
            queued->setBookmark(seedUser(seeded.context.get(), server, "una", true, 4));
            seedUser(seeded.context.get(), server, "wes", false);
            seedUser(seeded.context.get(), server, "vic", true);
            QVERIFY(seeded.context->save());
        }
        // Runs the application until Vic's session asked the server again and Una's is back.
        const auto launch = [&] {
            const int vicBefore = categoryRequestsBy(server, QStringLiteral("vic"));
            return runUntil(
                [&](const QByteArray &err) {
                    return categoryRequestsBy(server, QStringLiteral("vic")) > vicBefore &&
                           err.contains("upload view ready at /Photos/2024/Summer with 1 queued files");
                },
                {QStringLiteral("QT_LOGGING_RULES=lumaro.session.info=true")});
        };
        const auto setting = [] {
            return QSettings(settingsFile(), QSettings::IniFormat).value(AppDelegate::ShowBookmarksKey);
        };

        // First launch: no preference yet, so the bookmarks window shows.
        QCOMPARE(launch(), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QCOMPARE(setting(), QVariant(true));
        {
            const StoredBookmarks stored = readStore();
            QCOMPARE(stored.named(QStringLiteral("una"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("vic"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("wes"))->sessionWindowOpen(), false);
        }

        // With the bookmarks window switched off the sessions still come back.
        QSettings(settingsFile(), QSettings::IniFormat).setValue(AppDelegate::ShowBookmarksKey, false);
        QCOMPARE(launch(), QStringList{QStringLiteral("bookmarks window showing on exit = false")});
        QCOMPARE(setting(), QVariant(false));
        QCOMPARE(categoryRequestsBy(server, QStringLiteral("wes")), 0);
        QCOMPARE(readStore().named(QStringLiteral("vic"))->sessionWindowOpen(), true);
    }

    void aSecondStartHandsOverToTheFirst()
    {
        DevServer server(users({"una"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        QVERIFY(seedUna(server));
        const auto sessionsStarted = [&](int count) {
            return QTest::qWaitFor([&] { return categoryRequestsBy(server, QStringLiteral("una")) >= count; },
                                   20000);
        };

        // An instance that dies without cleaning up leaves its socket behind...
        QProcess crashed;
        QVERIFY(start(crashed) && sessionsStarted(1));
        crashed.kill();
        QVERIFY(crashed.waitForFinished(10000));
        QVERIFY(QFileInfo::exists(
            SingleInstance::socketPathFor(PersistentStore::applicationDocumentsDirectory())));
        // ...which does not keep the next start from running.
        QProcess first;
        QVERIFY(start(first));
        QVERIFY2(sessionsStarted(2), "a socket left by a crash kept the application from starting");

        // A second start hands over and ends, without opening the session a second time.
        QProcess second;
        QVERIFY(start(second));
        QCOMPARE(collect(second), QStringList()); // ended by itself, with status 0
        QCOMPARE(categoryRequestsBy(server, QStringLiteral("una")), 2);
        // The first brought up its bookmarks window, hidden at launch by the preference.
        first.terminate(); // as the desktop does at logout
        QCOMPARE(collect(first), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
    }

    // Killed mid-batch: what was sent is logged, the rest still queued with its places; the file on
    // its way may have arrived, and is sent again only if the user says so.
    void halfSentTreeKeepsItsPlaces()
    {
        QTemporaryDir files;
        const QMap<QString, QString> places{{"IMG_0001.CR3", "card/DCIM/100CANON"},
                                            {"IMG_0002.CR3", "card/DCIM/100CANON"},
                                            {"IMG_0003.CR3", "card/DCIM/100CANON"},
                                            {"IMG_0101.CR3", "card/DCIM/101CANON"},
                                            {"readme.txt", "card"}};
        for (auto it = places.cbegin(); it != places.cend(); ++it)
            QVERIFY(!UploadTestKit::writeFile(files.filePath(it.value() + QLatin1Char('/') + it.key()),
                                              it.key().toUtf8())
                         .isEmpty());
        // The third file's answer comes only after the application is killed.
        DevServer server(users({"una"}, {"--fault", "POST /ra/categoryAssets.json#3=delay:15000"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        QVERIFY(seedUna(server, UploadTestKit::kSpringCategory));
        const QStringList card{QStringLiteral("LUMARO_PLAY_CARD=") + files.filePath(QStringLiteral("card"))};
        const auto userDone = [](const QByteArray &err) { return err.contains("user: done"); };

        // The user queues the card keeping its structure and starts; two files are sent, then the
        // process is killed (kill -9).
        QCOMPARE(runUntil(userDone, card, QStringLiteral("queue tree")), QStringList());
        {
            const StoredBookmarks stored = readStore();
            QMap<QString, QString> pending;
            for (Asset *record : stored.context->fetchPendingAssets(stored.named(QStringLiteral("una"))))
                pending.insert(record->fileName(), record->folderPath().value_or(QString()));
            QMap<QString, QString> rest = places;
            rest.remove(QStringLiteral("IMG_0001.CR3"));
            rest.remove(QStringLiteral("IMG_0002.CR3"));
            QCOMPARE(pending, rest);
            QCOMPARE(stored.context->fetchUploadedAssets().size(), 2);
        }

        // The next launch lists the rest where they go and sends them there, but for the one on its
        // way at the kill, which the server received and the user skips.
        // Its user quit with status 0, the bookmarks window up as this process's settings have it.
        QCOMPARE(runUntil(userDone, card, QStringLiteral("finish tree")),
                 QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        const QMultiHash<QString, qint64> categories =
            UploadTestKit::categoriesBelow(server, UploadTestKit::kSpringCategory, {"una", "pw-una"});
        QStringList paths = categories.keys();
        paths.sort();
        QCOMPARE(paths, (QStringList{"card", "card/DCIM", "card/DCIM/100CANON", "card/DCIM/101CANON"}));
        QCOMPARE(requestLines(server).count(QStringLiteral("POST /ra/categories.json")), 4);
        QStringList sent;
        for (const QJsonObject &request : server.requests(QStringLiteral("/ra/categoryAssets.json"))) {
            // The one held back is logged whenever it is answered, if before the end at all.
            if (request.contains(QLatin1String("fault")))
                continue;
            const QJsonObject body = requestBody(request);
            sent.append(body.value("assetFileName").toString());
            QCOMPARE(body["category"]["id"].toInteger(), categories.value(places.value(sent.constLast())));
        }
        QCOMPARE(sent, (QStringList{"IMG_0001.CR3", "IMG_0002.CR3", "IMG_0101.CR3", "readme.txt"}));
        const StoredBookmarks stored = readStore();
        QVERIFY(stored.context->fetchPendingAssets(stored.named(QStringLiteral("una"))).isEmpty());
        const QList<Asset *> logged = stored.context->fetchUploadedAssets();
        QCOMPARE(logged.size(), places.size() - 1);
        for (const Asset *record : logged)
            QCOMPARE(record->categoryPath().value_or(QString()),
                     QStringLiteral("/Photos/2024/Spring/") + places.value(record->fileName()));

        // The log, with 100,000 older entries, is cleared and saved, and the process killed while
        // they are being deleted: neither the command line nor the next launch lists them again.
        QCOMPARE(
            onStoreFile("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                        "INSERT INTO Asset (filePath, fileName, uploadDateTime) "
                        "SELECT '/old/' || i || '.jpg', i || '.jpg', 1000 * i FROM n"),
            100000);
        QCOMPARE(runUntil(userDone, {}, QStringLiteral("clear log")), QStringList());
        const QString inLog = QStringLiteral("SELECT count(*) FROM Asset WHERE uploadDateTime IS NOT NULL");
        QVERIFY2(onStoreFile(inLog) > 0, "the deletion was over before the kill");
        QProcess cli;
        cli.start(QStringLiteral(LUMARO_BINARY_DIR "/src/cli/lumaro-import"), {QStringLiteral("log")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(cli.readAllStandardOutput().count('\n'), 0);
        const StoredBookmarks relaunched = readStore();
        QTRY_VERIFY_WITH_TIMEOUT(!relaunched.context->isDeletingLog(), kTimeout);
        QCOMPARE(onStoreFile(inLog), 0);
    }

private:
    // Run only as the user of halfSentTreeKeepsItsPlaces, in a process of its own: queues the card
    // and is killed after two files ("queue tree"), sends what is still queued and quits, or
    // clears the log and is killed once that is saved ("clear log").
    static void playTheUser()
    {
        const QByteArray role = qgetenv("LUMARO_PLAY_USER");
        // The application's store, not the one this process's own test set-up made.
        qputenv("XDG_DATA_HOME", qgetenv("LUMARO_PLAY_DATA"));
        AppDelegate app;
        app.setQuitOnLastWindowClosed(false);
        app.applicationDidFinishLaunching();
        QTRY_COMPARE_WITH_TIMEOUT(app.bookmarksWindowController()->sessionWindowControllers().size(), 1,
                                  kTimeout);
        LMSessionWindowController *session =
            app.bookmarksWindowController()->sessionWindowControllers().first();
        LMSessionUploadViewController *upload = session->uploadView();
        QVERIFY(waitForContent(session, upload));
        QTRY_COMPARE_WITH_TIMEOUT(upload->categoryNameTextField()->text(),
                                  QStringLiteral("/Photos/2024/Spring"), kTimeout);
        if (role == "clear log") {
            app.managedObjectContext()->deleteUploadedAssets();
            app.saveAction();
        } else if (role == "queue tree") {
            upload->AddAssetsToImportQueue({QUrl::fromLocalFile(qEnvironmentVariable("LUMARO_PLAY_CARD"))});
            FolderTreeSheet *sheet = upload->folderTreeSheet();
            QVERIFY(sheet);
            QTRY_VERIFY_WITH_TIMEOUT(!sheet->isLoading(), kTimeout);
            QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
            QCOMPARE(upload->importQueue().size(), 5);
            QTest::mouseClick(upload->startUploadButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(upload->uploadedCount(), 2, kTimeout);
        } else {
            // Each file still queued is listed with the place it was given.
            QCOMPARE(upload->importQueue().size(), 3);
            for (int row = 0; row < 3; ++row)
                QCOMPARE(upload->targetPathOf(row),
                         QStringLiteral("/Photos/2024/Spring/") +
                             upload->importQueue().at(row)->folderPath().value_or(QString()));
            QTest::mouseClick(upload->startUploadButton(), Qt::LeftButton);
            // The file on its way when the process was killed may have arrived: asked about, skipped.
            DuplicateSheet *asked = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((asked = session->window()->findChild<DuplicateSheet *>()), kTimeout);
            QCOMPARE(asked->list()->count(), 1);
            QVERIFY2(
                asked->list()->item(0)->text().startsWith(QStringLiteral("IMG_0003.CR3 — may have arrived")),
                qPrintable(asked->list()->item(0)->text()));
            QTest::mouseClick(asked->button(DuplicateSheet::SkipDuplicates), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!upload->uploadInProgress() && upload->importQueue().isEmpty(),
                                     kTimeout);
        }
        std::fprintf(stderr, "user: done\n");
        if (role != "finish tree") {
            QVERIFY(!QTest::qWaitFor([] { return false; }, 60000)); // until killed
            return;
        }
        QSignalSpy terminated(&app, &AppDelegate::terminated);
        app.terminate();
        QCOMPARE(terminated.size(), 1);
    }

private slots:
    void terminationDuringTheLaunchAlertEndsTheProcess()
    {
        // A store file of random bytes: the launch stops in a blocking alert before the main loop.
        QDir().mkpath(PersistentStore::applicationDocumentsDirectory());
        QFile store(PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') +
                    PersistentStore::FileName);
        QVERIFY(store.open(QIODevice::WriteOnly));
        QByteArray noise(8192, Qt::Uninitialized);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        store.write(noise);
        store.close();

        // Ready once the store alert is up.
        QCOMPARE(runUntil(
                     [](const QByteArray &errors) {
                         return errors.contains(
                             "blocking alert: Failed to initialize the application's saved data");
                     },
                     {QStringLiteral("QT_LOGGING_RULES=lumaro.platform.info=true")}),
                 QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), noise); // never overwritten or reset
    }
};

LUMARO_GUI_TEST_MAIN(TestRelaunch)
#include "tst_relaunch.moc"
