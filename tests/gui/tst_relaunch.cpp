#include "GuiTestMain.h"

#include "SessionTestKit.h"
#include "UploadTestKit.h"
#include "app/SingleInstance.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "session/DuplicateSheet.h"
#include "session/FolderTreeSheet.h"
#include "store/Asset.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

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

    static int categoryRequestsBy(const DevServer &server, const QString &login)
    {
        int count = 0;
        for (const QJsonObject &request : server.requests(QStringLiteral("/ra/categories.json")))
            count += request["query"]["loginName"].toString() == login;
        return count;
    }

    struct Run {
        int exitCode = -1;
        QProcess::ExitStatus exitStatus = QProcess::CrashExit;
        QStringList stdoutLines;
    };

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
        app.start(user.isEmpty() ? binary() : QCoreApplication::applicationFilePath(),
                  user.isEmpty() ? QStringList() : QStringList{QStringLiteral("playTheUser")});
        return app.waitForStarted(10000);
    }

    // Waits for the end of a process asked to quit (or killed); one that had to be killed here
    // did not end normally.
    static Run collect(QProcess &app, QByteArray errors = {})
    {
        Run run;
        if (!app.waitForFinished(20000)) {
            app.kill();
            app.waitForFinished(5000);
        } else {
            run.exitStatus = app.exitStatus();
        }
        run.exitCode = app.exitCode();
        run.stdoutLines =
            QString::fromUtf8(app.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        errors += app.readAllStandardError();
        if (run.exitCode != 0)
            qWarning().noquote() << "LumaroImporter stderr:" << QString::fromUtf8(errors.right(4000));
        return run;
    }

    // Starts, waits until ready() says it is up (it also sees what was written to standard error
    // so far), then asks it to quit. The user who picks quits by itself; "set" is killed (kill -9).
    static Run runUntil(const std::function<bool(const QByteArray &)> &ready, bool *becameReady,
                        const QStringList &extraEnvironment = {}, const QString &user = {})
    {
        QProcess app;
        if (!start(app, extraEnvironment, user)) {
            *becameReady = false;
            return Run{};
        }
        QByteArray errors;
        *becameReady = QTest::qWaitFor(
            [&] {
                errors += app.readAllStandardError();
                return ready(errors);
            },
            20000);
        if (user == QLatin1String("set") || user == QLatin1String("queue tree"))
            app.kill();
        else if (user.isEmpty())
            app.terminate();
        return collect(app, errors);
    }

    static LMSessionWindowController *sessionOf(AppDelegate &app, const QString &user)
    {
        for (LMSessionWindowController *session : app.bookmarksWindowController()->sessionWindowControllers())
            if (session->connectionBookmark()->userName() == user)
                return session;
        return nullptr;
    }

    // The fixed lines printed at exit by a run that ended normally with status 0; else how it ended.
    static QStringList exitLines(const Run &run)
    {
        if (run.exitStatus != QProcess::NormalExit || run.exitCode != 0)
            return {QStringLiteral("ended with status %1, code %2").arg(run.exitStatus).arg(run.exitCode)};
        QStringList lines = run.stdoutLines;
        lines.removeIf(
            [](const QString &l) { return !l.startsWith(QStringLiteral("bookmarks window showing")); });
        return lines;
    }

    // The user of halfSentTreeKeepsItsPlaces, in the upload view where the session reopens.
    static void playTheUploader(AppDelegate &app, LMSessionWindowController *session, const QByteArray &role)
    {
        LMSessionUploadViewController *upload = session->uploadView();
        QVERIFY(waitForContent(session, upload));
        QTRY_COMPARE_WITH_TIMEOUT(upload->categoryNameTextField()->text(),
                                  QStringLiteral("/Photos/2024/Spring"), kTimeout);
        if (role == "queue tree") {
            upload->AddAssetsToImportQueue({QUrl::fromLocalFile(qEnvironmentVariable("LUMARO_PLAY_CARD"))});
            FolderTreeSheet *sheet = upload->folderTreeSheet();
            QVERIFY(sheet);
            QTRY_VERIFY_WITH_TIMEOUT(!sheet->isLoading(), kTimeout);
            QTest::mouseClick(sheet->addButton(), Qt::LeftButton);
            QCOMPARE(upload->importQueue().size(), 5);
            QTest::mouseClick(upload->startUploadButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(upload->uploadedCount(), 2, kTimeout);
            std::fprintf(stderr, "user: done\n");
            QVERIFY(!QTest::qWaitFor([] { return false; }, 60000)); // until killed
            return;
        }
        // Each file still queued is listed with the place it was given.
        QCOMPARE(upload->importQueue().size(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(upload->targetPathOf(row),
                     QStringLiteral("/Photos/2024/Spring/") +
                         upload->importQueue().at(row)->folderPath().value_or(QString()));
        QTest::mouseClick(upload->startUploadButton(), Qt::LeftButton);
        // The file on its way when the process was killed may have arrived: asked about, skipped.
        DuplicateSheet *sheet = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((sheet = session->window()->findChild<DuplicateSheet *>()), kTimeout);
        QCOMPARE(sheet->list()->count(), 1);
        QVERIFY2(sheet->list()->item(0)->text().startsWith(QStringLiteral("IMG_0003.CR3 — may have arrived")),
                 qPrintable(sheet->list()->item(0)->text()));
        QTest::mouseClick(sheet->button(DuplicateSheet::SkipDuplicates), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!upload->uploadInProgress() && upload->importQueue().isEmpty(), kTimeout);
        std::fprintf(stderr, "user: done\n");
        QSignalSpy terminated(&app, &AppDelegate::terminated);
        app.terminate();
        QCOMPARE(terminated.size(), 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(binary()).isExecutable(), qPrintable(binary() + QStringLiteral(" is not built")));
    }

    void sessionsOpenAtQuitComeBackWhereTheUserWas()
    {
        resetPersistentState();
        QFile::remove(settingsFile());
        DevServer server({QStringLiteral("--user"), QStringLiteral("una:pw-una"), QStringLiteral("--user"),
                          QStringLiteral("vic:pw-vic"), QStringLiteral("--user"),
                          QStringLiteral("wes:pw-wes")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        {
            auto seeded = readStore();
            QVERIFY(seeded.context);
            auto bookmark = [&](const QString &name, const QString &user) {
                return BookmarkSeed(name, QStringLiteral("127.0.0.1"))
                    .withPort(server.port())
                    .withLogin(user, QStringLiteral("pw-") + user);
            };
            Asset *queued = seeded.context->insertAsset();
            queued->setFilePath(QStringLiteral("/srv/shots/queued.jpg"));
            queued->setBookmark(
                seed(seeded.context.get(),
                     bookmark(QStringLiteral("Una's server"), QStringLiteral("una")).withOpenSession()));
            seed(seeded.context.get(), bookmark(QStringLiteral("Wes's server"), QStringLiteral("wes")));
            seed(seeded.context.get(),
                 bookmark(QStringLiteral("Vic's server"), QStringLiteral("vic")).withOpenSession());
            QVERIFY(seeded.context->save());
        }
        bool ready = false;
        // Runs the application until Vic's session asked the server again and Una's logged where it is.
        const auto launch = [&](const QByteArray &logged) {
            const int vicBefore = categoryRequestsBy(server, QStringLiteral("vic"));
            return runUntil(
                [&](const QByteArray &err) {
                    return categoryRequestsBy(server, QStringLiteral("vic")) > vicBefore &&
                           err.contains(logged);
                },
                &ready, {QStringLiteral("QT_LOGGING_RULES=lumaro.session.info=true")});
        };

        // The user, played by this test binary with the application's own code and the keyboard,
        // picks Summer in Una's session and quits.
        Run run = runUntil([](const QByteArray &err) { return err.contains("user: done"); }, &ready, {},
                           QStringLiteral("pick"));
        QVERIFY(ready && run.exitCode == 0);

        // First launch: no preference yet, so the bookmarks window shows; both sessions connect,
        // Una's walked to where the user was.
        const Run first = launch("category browser ready at /Photos/2024/Summer");
        QVERIFY2(ready, "the reopened sessions did not reach the server, or Una's not her category");
        QCOMPARE(exitLines(first), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value(AppDelegate::ShowBookmarksKey),
                 QVariant(true));
        {
            const StoredBookmarks stored = readStore();
            QCOMPARE(stored.named(QStringLiteral("Una's server"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("Vic's server"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("Wes's server"))->sessionWindowOpen(), false);
        }

        // Set takes Una's session to the upload view, then the process is killed (kill -9).
        runUntil([](const QByteArray &err) { return err.contains("user: done"); }, &ready, {},
                 QStringLiteral("set"));
        QVERIFY(ready);

        // Second launch with the bookmarks window switched off: the sessions still come back, Una's
        // straight into the upload view with its queue.
        {
            QSettings settings(settingsFile(), QSettings::IniFormat);
            settings.setValue(AppDelegate::ShowBookmarksKey, false);
        }
        const Run second = launch("upload view ready at /Photos/2024/Summer with 1 queued files");
        QVERIFY2(ready, "the sessions were not reopened at the second launch, or Una's not where she was");
        QCOMPARE(exitLines(second), QStringList{QStringLiteral("bookmarks window showing on exit = false")});
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value(AppDelegate::ShowBookmarksKey),
                 QVariant(false));
        QCOMPARE(categoryRequestsBy(server, QStringLiteral("wes")), 0);
        QCOMPARE(readStore().named(QStringLiteral("Vic's server"))->sessionWindowOpen(), true);
    }

    void aSecondStartHandsOverToTheFirst()
    {
        resetPersistentState();
        QFile::remove(settingsFile());
        DevServer server({QStringLiteral("--user"), QStringLiteral("una:pw-una")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        {
            auto seeded = readStore();
            QVERIFY(seeded.context);
            seed(seeded.context.get(),
                 BookmarkSeed(QStringLiteral("Una's server"), QStringLiteral("127.0.0.1"))
                     .withPort(server.port())
                     .withLogin(QStringLiteral("una"), QStringLiteral("pw-una"))
                     .withOpenSession());
            QVERIFY(seeded.context->save());
            QSettings(settingsFile(), QSettings::IniFormat).setValue(AppDelegate::ShowBookmarksKey, false);
        }
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
        QVERIFY2(second.waitForFinished(20000), "a second instance kept running");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(categoryRequestsBy(server, QStringLiteral("una")), 2);
        // The first brought up its bookmarks window, hidden at launch by the preference.
        first.terminate(); // as the desktop does at logout
        QCOMPARE(exitLines(collect(first)),
                 QStringList{QStringLiteral("bookmarks window showing on exit = true")});
    }
    void halfSentTreeKeepsItsPlaces()
    {
        resetPersistentState();
        QFile::remove(settingsFile());
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
        DevServer server({QStringLiteral("--user"), QStringLiteral("una:pw-una"), QStringLiteral("--fault"),
                          QStringLiteral("POST /ra/categoryAssets.json#3=delay:15000")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
        {
            auto seeded = readStore();
            QVERIFY(seeded.context);
            ServerBookmark *una =
                seed(seeded.context.get(),
                     BookmarkSeed(QStringLiteral("Una's server"), QStringLiteral("127.0.0.1"))
                         .withPort(server.port())
                         .withLogin(QStringLiteral("una"), QStringLiteral("pw-una"))
                         .withOpenSession());
            una->setLastCategoryView(LMSessionWindowController::UploadViewName);
            una->setLastCategoryID(UploadTestKit::kSpringCategory);
            QVERIFY(seeded.context->save());
            QSettings(settingsFile(), QSettings::IniFormat).setValue(AppDelegate::ShowBookmarksKey, false);
        }
        const QStringList card{QStringLiteral("LUMARO_PLAY_CARD=") + files.filePath(QStringLiteral("card"))};
        const auto userDone = [](const QByteArray &err) { return err.contains("user: done"); };

        // The user queues the card keeping its structure and starts; two files are sent, then the
        // process is killed (kill -9).
        bool ready = false;
        runUntil(userDone, &ready, card, QStringLiteral("queue tree"));
        QVERIFY(ready);
        {
            const StoredBookmarks stored = readStore();
            QMap<QString, QString> pending;
            for (Asset *record :
                 stored.context->fetchPendingAssets(stored.named(QStringLiteral("Una's server"))))
                pending.insert(record->fileName(), record->folderPath().value_or(QString()));
            QMap<QString, QString> rest = places;
            rest.remove(QStringLiteral("IMG_0001.CR3"));
            rest.remove(QStringLiteral("IMG_0002.CR3"));
            QCOMPARE(pending, rest);
        }

        // The next launch lists the rest where they go and sends them there, but for the one on its
        // way at the kill, which the server received and the user skips.
        const Run finish = runUntil(userDone, &ready, card, QStringLiteral("finish tree"));
        QVERIFY(ready && finish.exitCode == 0);
        const QMultiHash<QString, qint64> categories =
            UploadTestKit::categoriesBelow(server, UploadTestKit::kSpringCategory, {"una", "pw-una"});
        QStringList paths = categories.keys();
        paths.sort();
        QCOMPARE(paths, (QStringList{"card", "card/DCIM", "card/DCIM/100CANON", "card/DCIM/101CANON"}));
        const QStringList lines = requestLines(server);
        QCOMPARE(lines.count(QStringLiteral("POST /ra/categories.json")), 4);
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
        QVERIFY(stored.context->fetchPendingAssets(stored.named(QStringLiteral("Una's server"))).isEmpty());
        const QList<Asset *> logged = stored.context->fetchUploadedAssets();
        QCOMPARE(logged.size(), places.size() - 1);
        for (const Asset *record : logged)
            QCOMPARE(record->categoryPath().value_or(QString()),
                     QStringLiteral("/Photos/2024/Spring/") + places.value(record->fileName()));
    }

    // Run only as the user of sessionsOpenAtQuitComeBackWhereTheUserWas, in a process of its own.
    void playTheUser()
    {
        const QByteArray role = qgetenv("LUMARO_PLAY_USER");
        if (role.isEmpty())
            QSKIP("the user of sessionsOpenAtQuitComeBackWhereTheUserWas; runs in its own process");
        // The application's store, not the one this process's own test set-up made.
        qputenv("XDG_DATA_HOME", qgetenv("LUMARO_PLAY_DATA"));
        AppDelegate app;
        app.setQuitOnLastWindowClosed(false);
        app.applicationDidFinishLaunching();
        LMSessionWindowController *session = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(session = sessionOf(app, QStringLiteral("una")), kTimeout);
        if (role.endsWith("tree")) {
            playTheUploader(app, session, role);
            return;
        }
        LMSessionCategoryViewController *categories = session->categoryView();
        QVERIFY(waitForContent(session, categories) && waitUntilIdle(categories));
        ColumnBrowser *browser = categories->categoryBrowser();
        if (role == "pick") {
            // Photos by its first letters; Return opens it and takes 2024, then Spring; "su" is Summer.
            for (const auto &[column, keys] : {std::pair{0, "ph"}, {0, "\r"}, {1, "\r"}, {2, "su"}}) {
                QTest::keyClicks(browser->columnView(column), QLatin1String(keys));
                QVERIFY(waitUntilIdle(categories));
            }
            QCOMPARE(session->serverConnection()->getSelectedCategoryPath(),
                     QStringLiteral("/Photos/2024/Summer"));
            QSignalSpy terminated(&app, &AppDelegate::terminated);
            app.terminate(); // what SIGTERM does in the application
            QCOMPARE(terminated.size(), 1);
        } else {
            // The walk of this launch ended at Summer.
            QCOMPARE(session->serverConnection()->getSelectedCategoryPath(),
                     QStringLiteral("/Photos/2024/Summer"));
            categories->setCategoryButton()->click();
            QVERIFY(waitForContent(session, session->uploadView()));
        }
        std::fprintf(stderr, "user: done\n");
        if (role == "set")
            QVERIFY(!QTest::qWaitFor([] { return false; }, 60000)); // until killed
    }

    void terminationDuringTheLaunchAlertEndsTheProcess()
    {
        // A store file of random bytes: the launch stops in a blocking alert before the main loop.
        resetPersistentState();
        QDir().mkpath(PersistentStore::applicationDocumentsDirectory());
        QFile store(PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') +
                    PersistentStore::FileName);
        QVERIFY(store.open(QIODevice::WriteOnly));
        QByteArray noise(8192, Qt::Uninitialized);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        store.write(noise);
        store.close();

        bool ready = false;
        const Run run = runUntil(
            [](const QByteArray &errors) {
                return errors.contains("blocking alert: Failed to initialize the application's saved data");
            },
            &ready, {QStringLiteral("QT_LOGGING_RULES=lumaro.platform.info=true")});
        QVERIFY2(ready, "the store alert never came up");
        QCOMPARE(exitLines(run), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), noise); // never overwritten or reset
    }
};

LUMARO_GUI_TEST_MAIN(TestRelaunch)
#include "tst_relaunch.moc"
