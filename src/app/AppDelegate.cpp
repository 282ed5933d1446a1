#include "AppDelegate.h"

#include "app/ApplicationMenus.h"
#include "bookmarks/BookmarksStoryboard.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "platform/ConsoleLog.h"
#include "platform/DesktopNotifier.h"
#include "platform/SleepInhibitor.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/Storyboard.h"
#include "platform/widgets/WindowController.h"
#include "session/LMImportLogWindowController.h"
#include "session/SessionStoryboard.h"
#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/SecretStore.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QScopedValueRollback>
#include <QSettings>
#include <QTimer>

Q_LOGGING_CATEGORY(lcApp, "lumaro.app")

namespace {
AppDelegate *g_shared = nullptr;
}

AppDelegate::AppDelegate()
    : m_connectMenuItem(new QAction(tr("&Connect"), this)),
      m_newMenuItem(new QAction(tr("&New Bookmark…"), this)),
      m_desktopNotifier(new DesktopNotifier(QGuiApplication::applicationDisplayName(),
                                            QGuiApplication::desktopFileName(), this)),
      m_sleepInhibitor(new SleepInhibitor(tr("Uploading files to a Lumaro server"), this))
{
    g_shared = this;
    m_connectMenuItem->setObjectName(QStringLiteral("connectMenuItem"));
    m_connectMenuItem->setEnabled(false);
    m_newMenuItem->setObjectName(QStringLiteral("newMenuItem"));
    m_menus = new ApplicationMenus(this);
    if (qApp)
        qApp->installEventFilter(this);
    // A quit that does not come through terminate() (the session manager, say) still ends
    // with the exit sequence.
    if (qApp)
        connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
            if (m_launched && !m_exited)
                applicationWillTerminate();
        });
}

AppDelegate::~AppDelegate()
{
    if (qApp)
        qApp->removeEventFilter(this);
    // Windows go before the records they show; none of them is closed, so open sessions stay
    // marked open for the next launch.
    delete m_importLogWindowController.data();
    delete m_bookmarksWindowController.data();
    delete m_passwords;
    m_context.reset();
    if (g_shared == this)
        g_shared = nullptr;
}

AppDelegate *AppDelegate::shared()
{
    return g_shared;
}

QString AppDelegate::applicationDocumentsDirectory() const
{
    return PersistentStore::applicationDocumentsDirectory();
}

ObjectContext *AppDelegate::managedObjectContext()
{
    if (m_storeTried)
        return m_context.get();
    m_storeTried = true;
    auto opened = PersistentStore::open(applicationDocumentsDirectory());
    if (auto *error = std::get_if<StoreOpenError>(&opened)) {
        m_storeFailed = true;
        Alert::presentError(QApplication::activeWindow(), StoreOpenError::description(), error->reason,
                            error->underlying);
        return nullptr;
    }
    m_context = std::move(std::get<std::unique_ptr<ObjectContext>>(opened));
    // Passwords still in the store file move to the keyring from here on, without holding the launch.
    m_passwords = new BookmarkPasswords(m_context.get(), new SecretStore(SecretStore::ServiceName, this), this);
    m_passwords->start();
    emit storeOpened(m_context.get());
    return m_context.get();
}

void AppDelegate::saveAction()
{
    ObjectContext *context = managedObjectContext();
    if (!context)
        return;
    if (!context->commitEditing())
        ConsoleLog::line(QStringLiteral("AppDelegate unable to commit editing before saving"));
    if (!context->hasChanges())
        return;
    QString error;
    if (!context->save(&error))
        Alert::presentError(QApplication::activeWindow(), tr("Could not save changes"), error);
}

UndoManager *AppDelegate::windowWillReturnUndoManager()
{
    ObjectContext *context = managedObjectContext();
    return context ? context->undoManager() : nullptr;
}

LMBookmarksWindowController *AppDelegate::bookmarksWindowController() const
{
    return m_bookmarksWindowController;
}

QIcon AppDelegate::applicationIcon()
{
    // The bundled sizes a taskbar asks for; X11 drops an icon that offers only 256 pixels.
    QIcon bundled;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        bundled.addFile(QStringLiteral(":/icons/lumaro-importer-%1.png").arg(size), QSize(size, size));
    bundled.addFile(QStringLiteral(":/icons/lumaro-importer.png"), QSize(256, 256));
    return QIcon::fromTheme(IconName, bundled);
}

void AppDelegate::applicationDidFinishLaunching()
{
    // Before any window exists, so each one is made with it.
    QApplication::setWindowIcon(applicationIcon());
    // The store first: a failure to open it is told in a blocking alert, and a quit asked for
    // meanwhile must find no windows opened behind it.
    (void)managedObjectContext();
    if (m_exited)
        return;
    Storyboard &storyboard = Storyboard::main();
    registerSessionControllers(storyboard, m_desktopNotifier, m_sleepInhibitor);
    registerBookmarkControllers(storyboard);

    auto *bookmarks = storyboard.instantiate<LMBookmarksWindowController>(
        LMBookmarksWindowController::StoryboardIdentifier);
    if (!bookmarks) {
        qCCritical(lcApp) << "the storyboard has no bookmarks window";
        return;
    }
    bookmarks->setParent(this);
    bookmarks->setManagedObjectContext(m_context.get());
    bookmarks->setBookmarkPasswords(m_passwords);
    bookmarks->setMenuItems(m_connectMenuItem, m_newMenuItem);
    connect(bookmarks, &LMBookmarksWindowController::showingChanged, this,
            &AppDelegate::setShowingBookmarksWindow);
    m_bookmarksWindowController = bookmarks;
    m_launched = true;

    // No stored preference is a first launch: the home window is what a newcomer needs.
    const QVariant stored = QSettings().value(ShowBookmarksKey);
    m_showingBookmarksWindow = stored.isValid() ? stored.toBool() : true;
    if (m_showingBookmarksWindow) {
        bookmarks->showWindow();
        return;
    }
    // Hidden, but loaded all the same so the sessions open at the last quit come back.
    (void)bookmarks->window();
    m_showingBookmarksWindow = false;
    // There is no menu bar outside the windows: without any window the application would be
    // out of reach.
    if (bookmarks->sessionWindowControllers().isEmpty())
        bookmarks->showWindow();
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    ObjectContext *context = managedObjectContext();
    if (!context)
        return TerminateNow;
    if (!context->commitEditing()) {
        ConsoleLog::line(QStringLiteral("AppDelegate unable to commit editing to terminate"));
        return TerminateCancel;
    }
    if (!context->hasChanges())
        return TerminateNow;
    QString error;
    if (context->save(&error))
        return TerminateNow;

    QWidget *parent = QApplication::activeWindow();
    Alert::presentError(parent, tr("Could not save changes"), error);
    const int answer =
        Alert::runModal(parent, Alert::Style::Warning,
                        tr("Could not save changes while quitting. Quit anyway?",
                           "Quit without saves error question message"),
                        tr("Quitting now will lose any changes you have made since the last successful save",
                           "Quit without saves error question info"),
                        {tr("Quit anyway", "Quit anyway button title"), tr("Cancel", "Cancel button title")});
    if (answer == 0) {
        // The user chose to let the changes go; the exit save would only fail again.
        m_discardChangesAtExit = true;
        return TerminateNow;
    }
    return TerminateCancel;
}

void AppDelegate::applicationWillTerminate()
{
    m_exited = true;
    ConsoleLog::line(QStringLiteral("bookmarks window showing on exit = ") +
                     (m_showingBookmarksWindow ? QStringLiteral("true") : QStringLiteral("false")));
    QSettings settings;
    settings.setValue(ShowBookmarksKey, m_showingBookmarksWindow);
    settings.sync();
    if (!m_discardChangesAtExit)
        saveAction();
}

void AppDelegate::terminate()
{
    // A second request while the first one asks the user is the same request.
    if (m_terminating || m_exited)
        return;
    {
        QScopedValueRollback terminating(m_terminating, true);
        if (applicationShouldTerminate() == TerminateCancel) {
            if (!anyWindowVisible())
                showBookmarksWindow();
            return;
        }
        applicationWillTerminate();
    }
    emit terminated();
}

void AppDelegate::showBookmarksWindow()
{
    if (m_bookmarksWindowController)
        m_bookmarksWindowController->showWindow();
}

void AppDelegate::showImportLog()
{
    if (!m_importLogWindowController)
        m_importLogWindowController = new LMImportLogWindowController(managedObjectContext(), this);
    m_importLogWindowController->showWindow();
}

bool AppDelegate::anyWindowVisible()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget *w) {
        return qobject_cast<const QMainWindow *>(w) && w->isVisible();
    });
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    auto *window = qobject_cast<QMainWindow *>(watched);
    if (!window || !window->isWindow())
        return false;
    if (type == QEvent::Show)
        m_menus->install(window);
    else if (!event->spontaneous())
        lastWindowMayHaveClosed(WindowController::closedByApplication(window));
    return false;
}

void AppDelegate::lastWindowMayHaveClosed(bool closedByApplication)
{
    if (!m_launched || !m_quitOnLastWindowClosed || m_terminating || m_exited)
        return;
    // Checked once the closing is over, so a window replaced by another is not taken for the last.
    QTimer::singleShot(0, this, [this, closedByApplication] {
        if (m_terminating || m_exited || anyWindowVisible())
            return;
        // Only a person closing the last window quits; a session that failed to start leaves
        // the user at home instead.
        if (closedByApplication)
            showBookmarksWindow();
        else
            terminate();
    });
}
