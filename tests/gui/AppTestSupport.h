#pragma once

// Helpers shared by the application-shell and bookmarks tests: a fresh store and preference per
// test, seeding, reading back what is on disk, and capturing the fixed standard-output lines.

#include "app/AppDelegate.h"
#include "bookmarks/LMBookmarksViewController.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "StoreAccess.h"
#include "platform/widgets/Alert.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace AppTestSupport {

// For looking at: the window's picture goes to <build>/screenshots/<name>.png.
// Run on a real display (QT_QPA_PLATFORM=xcb, e.g. under xvfb-run) with LUMARO_SCREEN_SHOTS set
// to a folder, the whole screen as a person sees it is saved there too, by ImageMagick's import.
inline bool saveScreenshot(QWidget *window, const QString &name)
{
    const QString folder = QStringLiteral(LUMARO_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString screen = qEnvironmentVariable("LUMARO_SCREEN_SHOTS");
    if (!screen.isEmpty() && QTest::qWaitForWindowExposed(window->window())) {
        QDir().mkpath(screen);
        window->window()->repaint();
        QCoreApplication::processEvents();
        if (QProcess::execute(QStringLiteral("import"),
                              {QStringLiteral("-window"), QStringLiteral("root"),
                               screen + QLatin1Char('/') + name + QStringLiteral(".png")}) != 0)
            return false;
    }
    return window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// No store file, no preference, no saved window frames.
inline void resetPersistentState()
{
    QDir(PersistentStore::applicationDocumentsDirectory()).removeRecursively();
    QSettings().clear();
    QSettings().sync();
}

// A delegate on a clean slate that stays up when its last window closes, for tests that open
// and close windows at will.
inline std::unique_ptr<AppDelegate> freshDelegate()
{
    resetPersistentState();
    auto app = std::make_unique<AppDelegate>();
    app->setQuitOnLastWindowClosed(false);
    return app;
}

// What the shell and bookmarks tests reach through their delegate.
struct DelegateFixture {
    std::unique_ptr<AppDelegate> m_app;

    // Windows deleted later go before the next test resets the store and preferences.
    void quitApp()
    {
        m_app.reset();
        QTest::qWait(0);
    }

    [[nodiscard]] ObjectContext *context() { return m_app->managedObjectContext(); }
    [[nodiscard]] LMBookmarksWindowController *bookmarksWindow()
    {
        return m_app->bookmarksWindowController();
    }
    [[nodiscard]] LMBookmarksViewController *list() { return bookmarksWindow()->bookmarksViewController(); }

    // Launched with the bookmarks window up and active, as a user finds it.
    void launch()
    {
        m_app->applicationDidFinishLaunching();
        QMainWindow *window = bookmarksWindow()->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

    // The list's names (or another column), top to bottom.
    [[nodiscard]] QStringList listedNames(int column = 0)
    {
        QStringList names;
        const QAbstractItemModel *model = list()->bookmarksTableView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, column).data().toString());
        return names;
    }
};

struct BookmarkSeed {
    BookmarkSeed(QString name, QString host) : name(std::move(name)), host(std::move(host)) {}
    BookmarkSeed &withPort(qint64 p)
    {
        port = p;
        return *this;
    }
    BookmarkSeed &withLogin(QString u, QString p)
    {
        user = std::move(u);
        password = std::move(p);
        return *this;
    }
    BookmarkSeed &withSecure()
    {
        secure = true;
        return *this;
    }
    BookmarkSeed &withOpenSession()
    {
        sessionWindowOpen = true;
        return *this;
    }

    QString name;
    QString host;
    std::optional<qint64> port;
    QString user;
    QString password;
    bool secure = false;
    bool sessionWindowOpen = false;
};

inline ServerBookmark *seed(ObjectContext *context, const BookmarkSeed &s)
{
    ServerBookmark *bookmark = context->insertBookmark();
    bookmark->setBookmarkName(s.name);
    bookmark->setHostName(s.host);
    bookmark->setSecureConnect(s.secure);
    bookmark->setPortNumber(s.port.value_or(s.secure ? 443 : 80));
    if (!s.user.isEmpty())
        bookmark->setUserName(s.user);
    if (!s.password.isEmpty())
        bookmark->setPassword(s.password);
    bookmark->setSessionWindowOpen(s.sessionWindowOpen);
    return bookmark;
}

// What the store file holds right now, read through a context of its own.
struct StoredBookmarks {
    std::unique_ptr<ObjectContext> context;
    QList<ServerBookmark *> bookmarks;

    [[nodiscard]] ServerBookmark *named(const QString &name) const
    {
        for (ServerBookmark *b : bookmarks) {
            if (b->bookmarkName() == name)
                return b;
        }
        return nullptr;
    }
    [[nodiscard]] QStringList names() const
    {
        QStringList out;
        for (ServerBookmark *b : bookmarks)
            out.append(b->bookmarkLongName());
        return out;
    }
};

inline StoredBookmarks readStore()
{
    StoredBookmarks result;
    result.context = openStore();
    if (result.context)
        result.bookmarks = result.context->fetchAllBookmarks();
    return result;
}

inline QAbstractButton *buttonTitled(QMessageBox *box, const QString &title)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text().remove(QLatin1Char('&')) == title)
            return button;
    }
    return nullptr;
}

// Answers every alert with the button of the given title (or the first one) and remembers
// what each box said.
class AlertAnswerer {
public:
    struct Seen {
        QString text;
        QString informativeText;
        QStringList buttons;

        [[nodiscard]] QStringList all() const { return QStringList{text, informativeText} + buttons; }
    };

    explicit AlertAnswerer(QStringList answers = {}) : m_answers(std::move(answers))
    {
        Alert::setTestHook([this](QMessageBox *box) {
            Seen seen{box->text(), box->informativeText(), {}};
            for (QAbstractButton *b : box->buttons())
                seen.buttons.append(b->text().remove(QLatin1Char('&')));
            m_seen.append(seen);
            const QString answer = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
            QAbstractButton *button = answer.isEmpty() ? nullptr : buttonTitled(box, answer);
            if (!button)
                button = box->defaultButton();
            if (button)
                button->click();
        });
    }
    ~AlertAnswerer() { Alert::setTestHook({}); }
    Q_DISABLE_COPY(AlertAnswerer)

    [[nodiscard]] const QList<Seen> &seen() const { return m_seen; }

private:
    QStringList m_answers;
    QList<Seen> m_seen;
};

// Sends the process's standard output to a file until lines() is called (test results go to
// standard output too, so the capture ends before anything is compared).
class StdoutCapture {
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_file.open();
        m_saved = ::dup(STDOUT_FILENO);
        ::dup2(m_file.handle(), STDOUT_FILENO);
    }
    ~StdoutCapture() { restore(); }
    Q_DISABLE_COPY(StdoutCapture)

    [[nodiscard]] QStringList lines()
    {
        restore();
        m_file.seek(0); // the captured output shares this file's offset
        // Qt Test reports messages on standard output as well; those are not the application's.
        static const QRegularExpression testMessage(
            QStringLiteral("^(QDEBUG|QINFO|QWARN|QCRITICAL|QSYSTEM|QFATAL) "));
        QStringList lines = QString::fromUtf8(m_file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.removeIf([](const QString &line) { return testMessage.match(line).hasMatch(); });
        return lines;
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace AppTestSupport
