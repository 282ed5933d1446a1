#include "bookmarks/LMBookmarksWindowController.h"

#include "bookmarks/BookmarksLogging.h"
#include "bookmarks/LMBookmarkEditViewController.h"
#include "bookmarks/LMBookmarksViewController.h"
#include "platform/ConsoleLog.h"
#include "platform/widgets/Segue.h"
#include "session/LMSessionWindowController.h"
#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/SecretStore.h"
#include "store/ServerBookmark.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

LMBookmarksWindowController::LMBookmarksWindowController(QObject *parent)
    //: Tool bar buttons, acting on the selected bookmark (Connect, Edit) or adding one (New)
    : WindowController(parent), m_connectToolbarItem(new QAction(tr("Connect"), this)),
      m_editToolbarItem(new QAction(tr("Edit"), this)), m_newToolbarItem(new QAction(tr("New"), this))
{
    QStyle *style = QApplication::style();
    m_connectToolbarItem->setObjectName(QStringLiteral("connectToolbarItem"));
    m_connectToolbarItem->setIcon(style->standardIcon(QStyle::SP_DriveNetIcon));
    m_connectToolbarItem->setToolTip(tr("Open a session window on the selected bookmark"));
    m_editToolbarItem->setObjectName(QStringLiteral("editToolbarItem"));
    m_editToolbarItem->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_editToolbarItem->setToolTip(tr("Edit the selected bookmark"));
    m_newToolbarItem->setObjectName(QStringLiteral("newToolbarItem"));
    m_newToolbarItem->setIcon(style->standardIcon(QStyle::SP_FileDialogNewFolder));
    m_newToolbarItem->setToolTip(tr("Add a server bookmark"));
    connect(m_connectToolbarItem, &QAction::triggered, this,
            &LMBookmarksWindowController::connectToSelectedBookmark);
    connect(m_editToolbarItem, &QAction::triggered, this, &LMBookmarksWindowController::editSelectedBookmark);
    connect(m_newToolbarItem, &QAction::triggered, this, &LMBookmarksWindowController::showNewBookmarkView);

    auto *list = new LMBookmarksViewController(this);
    // Any showing of the window, not only the first, means the window is up at exit.
    connect(list, &LMBookmarksViewController::willAppear, this, [this] { emit showingChanged(true); });
    setContentViewController(list);
    setFrameAutosaveName(FrameAutosaveName);
}

LMBookmarksWindowController::~LMBookmarksWindowController() = default;

bool LMBookmarksWindowController::hasOpenSession(const ServerBookmark *bookmark)
{
    return bookmark && bookmark->sessionWindowOpen().value_or(false);
}

LMBookmarksViewController *LMBookmarksWindowController::bookmarksViewController() const
{
    return qobject_cast<LMBookmarksViewController *>(contentViewController());
}

ServerBookmark *LMBookmarksWindowController::selectedBookmark() const
{
    LMBookmarksViewController *list = bookmarksViewController();
    return list ? list->selectedBookmark() : nullptr;
}

QList<LMSessionWindowController *> LMBookmarksWindowController::sessionWindowControllers() const
{
    QList<LMSessionWindowController *> result;
    for (const QPointer<LMSessionWindowController> &session : m_sessions) {
        if (session)
            result.append(session);
    }
    return result;
}

void LMBookmarksWindowController::setManagedObjectContext(ObjectContext *context)
{
    m_context = context;
    if (LMBookmarksViewController *list = bookmarksViewController())
        list->setManagedObjectContext(context);
}

ObjectContext *LMBookmarksWindowController::managedObjectContext() const
{
    return m_context;
}

void LMBookmarksWindowController::setMenuItems(QAction *connectItem, QAction *newItem)
{
    m_connectMenuItem = connectItem;
    m_newMenuItem = newItem;
}

void LMBookmarksWindowController::setBookmarkPasswords(BookmarkPasswords *passwords)
{
    m_passwords = passwords;
    if (!passwords)
        return;
    connect(passwords, &BookmarkPasswords::keyringUnavailable, this, &LMBookmarksWindowController::showKeyringNotice);
    if (!passwords->secrets()->isAvailable())
        showKeyringNotice(passwords->secrets()->unavailableReason());
}

QString LMBookmarksWindowController::keyringNotice() const
{
    return m_keyringNotice ? m_keyringNotice->text() : QString();
}

void LMBookmarksWindowController::showKeyringNotice(const QString &reason)
{
    // Said once and left standing: no alert, nothing to dismiss, nothing asked again. A window
    // not loaded yet says it when it loads.
    if (m_keyringNotice || !isWindowLoaded())
        return;
    // The reason says which of the keyring's troubles it is and what to do about it.
    m_keyringNotice = new QLabel(
        tr("%1 Meanwhile passwords stay in the application's own data file.").arg(reason), window());
    m_keyringNotice->setObjectName(QStringLiteral("keyringNotice"));
    m_keyringNotice->setWordWrap(true);
    m_keyringNotice->setToolTip(tr("The data file is readable by you only."));
    // Made after the window is up, so neither line nor bar would show by themselves.
    window()->statusBar()->addWidget(m_keyringNotice, 1);
    m_keyringNotice->show();
    window()->statusBar()->show();
}

void LMBookmarksWindowController::windowDidLoad()
{
    QMainWindow *w = window();
    w->setWindowTitle(tr("Server Bookmarks"));
    w->setObjectName(QStringLiteral("BookmarksWindow"));
    w->resize(560, 380);
    w->setMinimumSize(360, 220);
    setCloseButtonHandler([this] { closeThisWindow(); });

    auto *toolbar = new QToolBar(tr("Bookmarks"), w);
    toolbar->setObjectName(QStringLiteral("bookmarksToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->addAction(m_connectToolbarItem);
    toolbar->addAction(m_editToolbarItem);
    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    toolbar->addAction(m_newToolbarItem);
    w->addToolBar(Qt::TopToolBarArea, toolbar);

    emit showingChanged(true);
    wireMenuItems();
    if (m_passwords && !m_passwords->secrets()->isAvailable())
        showKeyringNotice(m_passwords->secrets()->unavailableReason());
    m_connectToolbarItem->setEnabled(false);
    m_editToolbarItem->setEnabled(false);
    // Otherwise the table makes its first row current on focus: it looks chosen, yet Connect and
    // Edit stay off. A real selection enables them through the list's selection handler.
    if (LMBookmarksViewController *list = bookmarksViewController())
        list->selectBookmark(list->bookmarkToSelectAtLaunch());
    reopenSessions();
}

void LMBookmarksWindowController::wireMenuItems()
{
    if (QAction *item = m_newMenuItem) {
        disconnect(item, &QAction::triggered, nullptr, nullptr);
        connect(item, &QAction::triggered, this, &LMBookmarksWindowController::showNewBookmarkView);
    }
    if (QAction *item = m_connectMenuItem) {
        disconnect(item, &QAction::triggered, nullptr, nullptr);
        connect(item, &QAction::triggered, this, &LMBookmarksWindowController::connectToSelectedBookmark);
        item->setEnabled(false);
    }
}

void LMBookmarksWindowController::reopenSessions()
{
    ObjectContext *context = managedObjectContext();
    if (!context)
        return;
    // Store order, so the windows come back in the order the bookmarks were made.
    for (ServerBookmark *bookmark : context->fetchAllBookmarks()) {
        if (!bookmark->sessionWindowOpen().value_or(false))
            continue;
        qCDebug(lcBookmarks) << "reopening the session of" << bookmark->bookmarkLongName();
        m_bookmarkToOpen = bookmark;
        performSegue(SegueIdentifiers::showSessionCategoryViewController, this);
    }
    m_bookmarkToOpen = nullptr;
}

bool LMBookmarksWindowController::sheetIsUp() const
{
    LMBookmarksViewController *list = bookmarksViewController();
    return list && !list->presentedViewControllers().isEmpty();
}

bool LMBookmarksWindowController::hasSelectedBookmark() const
{
    if (m_bookmarkToOpen)
        return true;
    const ServerBookmark *bookmark = selectedBookmark();
    return bookmark && !hasOpenSession(bookmark);
}

bool LMBookmarksWindowController::shouldPerformSegue(const QString &identifier, QObject *)
{
    if (identifier == SegueIdentifiers::showSessionCategoryViewController && m_bookmarkToOpen)
        return true;
    // While an editor is up its record must not be connected, edited twice or edited anew.
    if (sheetIsUp())
        return false;
    if (identifier == SegueIdentifiers::showEditBookmarkViewController ||
        identifier == SegueIdentifiers::showSessionCategoryViewController)
        return hasSelectedBookmark();
    return true;
}

void LMBookmarksWindowController::prepareForSegue(Segue &segue, QObject *)
{
    if (segue.identifier.isEmpty())
        return;
    if (segue.identifier == SegueIdentifiers::showEditBookmarkViewController) {
        auto *editor = segue.destinationController<LMBookmarkEditViewController>();
        if (ServerBookmark *bookmark = selectedBookmark(); bookmark && editor) {
            editor->setBookmarksWindow(this);
            editor->setBookmarkPasswords(m_passwords);
            editor->setBookmark(bookmark);
            editor->setIsNew(false);
        }
    } else if (segue.identifier == SegueIdentifiers::newEditBookmarkViewController) {
        auto *editor = segue.destinationController<LMBookmarkEditViewController>();
        if (!editor)
            return;
        editor->setIsNew(true);
        editor->setBookmarksWindow(this);
        editor->setBookmarkPasswords(m_passwords);
        // Without a store there is no record to edit; the editor says so when asked to save.
        ObjectContext *context = managedObjectContext();
        if (!context)
            return;
        auto *bookmark = qobject_cast<ServerBookmark *>(context->insertNewObject(ServerBookmark::EntityName));
        //: The name a new server bookmark starts with
        bookmark->setBookmarkName(tr("Local Testing"));
        editor->setBookmark(bookmark);
        editor->setIsNew(true);
        if (LMBookmarksViewController *list = bookmarksViewController())
            list->selectBookmark(bookmark);
    } else if (segue.identifier == SegueIdentifiers::showSessionCategoryViewController) {
        auto *session = segue.destinationController<LMSessionWindowController>();
        ServerBookmark *bookmark = m_bookmarkToOpen ? m_bookmarkToOpen.data() : selectedBookmark();
        if (!session || !bookmark)
            return;
        // Ours until its window closes; it then releases itself.
        session->setParent(this);
        m_sessions.removeAll(nullptr);
        m_sessions.append(session);
        session->setBookmarkPasswords(m_passwords);
        session->setConnectionBookmark(bookmark);
    } else {
        ConsoleLog::line(QStringLiteral("should not be here - bookmarks window - prepare for segue"));
    }
}

void LMBookmarksWindowController::showNewBookmarkView()
{
    // The sheet needs its window on screen, also when New comes from a session window's menu.
    if (!window()->isVisible())
        showWindow();
    performSegue(SegueIdentifiers::newEditBookmarkViewController, this);
}

void LMBookmarksWindowController::editSelectedBookmark()
{
    performSegue(SegueIdentifiers::showEditBookmarkViewController, this);
}

void LMBookmarksWindowController::connectToSelectedBookmark()
{
    performSegue(SegueIdentifiers::showSessionCategoryViewController, this);
}

void LMBookmarksWindowController::closeThisWindow()
{
    emit showingChanged(false);
    close();
}
