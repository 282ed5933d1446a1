#include "GuiTestMain.h"

#include "AppTestSupport.h"
#include "DevServer.h"
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

using namespace AppTestSupport;

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
        for (const QJsonObject &request : server.requests(QStringLiteral("/ra/categories.json"))) {
            if (request.value(QStringLiteral("query"))
                    .toObject()
                    .value(QStringLiteral("loginName"))
                    .toString() == login)
                ++count;
        }
        return count;
    }

    struct Run {
        int exitCode = -1;
        QProcess::ExitStatus exitStatus = QProcess::CrashExit;
        QStringList stdoutLines;
    };

    static bool start(QProcess &app, const QStringList &extraEnvironment = {})
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
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::SeparateChannels);
        app.setReadChannel(QProcess::StandardOutput);
        app.start(binary(), {});
        return app.waitForStarted(10000);
    }

    // Asks the application to quit as the desktop does at logout (SIGTERM).
    static Run finish(QProcess &app)
    {
        app.terminate();
        Run run;
        if (!app.waitForFinished(20000)) {
            app.kill();
            app.waitForFinished(5000);
        } else {
            run.exitStatus = app.exitStatus(); // one that had to be killed did not end normally
        }
        run.exitCode = app.exitCode();
        run.stdoutLines =
            QString::fromUtf8(app.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QByteArray errors = app.readAllStandardError();
        if (run.exitCode != 0)
            qWarning().noquote() << "LumaroImporter stderr:" << QString::fromUtf8(errors.right(4000));
        return run;
    }

    // Starts the application, waits until ready() says it is up, then asks it to quit.
    static Run runUntil(const std::function<bool()> &ready, bool *becameReady)
    {
        QProcess app;
        *becameReady = start(app) && QTest::qWaitFor(ready, 20000);
        return finish(app);
    }

    static QStringList exitLines(const Run &run)
    {
        QStringList lines = run.stdoutLines;
        lines.removeIf(
            [](const QString &l) { return !l.startsWith(QStringLiteral("bookmarks window showing")); });
        return lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(binary()).isExecutable(), qPrintable(binary() + QStringLiteral(" is not built")));
    }

    void sessionsOpenAtQuitComeBackAtTheNextLaunch()
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
            seed(seeded.context.get(),
                 bookmark(QStringLiteral("Una's server"), QStringLiteral("una")).withOpenSession());
            seed(seeded.context.get(), bookmark(QStringLiteral("Wes's server"), QStringLiteral("wes")));
            seed(seeded.context.get(),
                 bookmark(QStringLiteral("Vic's server"), QStringLiteral("vic")).withOpenSession());
            QVERIFY(seeded.context->save());
        }

        // First launch: no preference yet, so the bookmarks window shows; both sessions connect.
        bool ready = false;
        Run first = runUntil(
            [&] {
                return categoryRequestsBy(server, QStringLiteral("una")) >= 1 &&
                       categoryRequestsBy(server, QStringLiteral("vic")) >= 1;
            },
            &ready);
        QVERIFY2(ready, "the reopened sessions did not reach the server");
        QCOMPARE(first.exitStatus, QProcess::NormalExit);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(exitLines(first), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value(AppDelegate::ShowBookmarksKey),
                 QVariant(true));
        {
            const StoredBookmarks stored = readStore();
            QCOMPARE(stored.named(QStringLiteral("Una's server"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("Vic's server"))->sessionWindowOpen(), true);
            QCOMPARE(stored.named(QStringLiteral("Wes's server"))->sessionWindowOpen(), false);
        }
        QCOMPARE(categoryRequestsBy(server, QStringLiteral("wes")), 0);

        // Second launch with the bookmarks window switched off: the sessions still come back.
        {
            QSettings settings(settingsFile(), QSettings::IniFormat);
            settings.setValue(AppDelegate::ShowBookmarksKey, false);
        }
        Run second = runUntil(
            [&] {
                return categoryRequestsBy(server, QStringLiteral("una")) >= 2 &&
                       categoryRequestsBy(server, QStringLiteral("vic")) >= 2;
            },
            &ready);
        QVERIFY2(ready, "the sessions were not reopened at the second launch");
        QCOMPARE(second.exitStatus, QProcess::NormalExit);
        QCOMPARE(second.exitCode, 0);
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
        const Run run = finish(first);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(exitLines(run), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
    }
    void terminationDuringTheLaunchAlertEndsTheProcess()
    {
        // A store file of random bytes: the launch stops in a blocking alert before the main loop.
        resetPersistentState();
        QDir().mkpath(PersistentStore::applicationDocumentsDirectory());
        QFile store(PersistentStore::applicationDocumentsDirectory() + QLatin1Char('/') + PersistentStore::FileName);
        QVERIFY(store.open(QIODevice::WriteOnly));
        QByteArray noise(8192, Qt::Uninitialized);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        store.write(noise);
        store.close();

        QProcess app;
        QVERIFY(start(app, {QStringLiteral("QT_LOGGING_RULES=lumaro.platform.info=true")}));
        app.setReadChannel(QProcess::StandardError);
        QByteArray errors;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         errors += app.readAllStandardError();
                         return errors.contains("blocking alert: Failed to initialize the application's saved data");
                     },
                     20000),
                 "the store alert never came up");
        const Run run = finish(app);
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(exitLines(run), QStringList{QStringLiteral("bookmarks window showing on exit = true")});
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), noise); // never overwritten or reset
    }
};

LUMARO_GUI_TEST_MAIN(TestRelaunch)
#include "tst_relaunch.moc"
