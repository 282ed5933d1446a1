#include "app/ApplicationMenus.h"

#include "app/AppDelegate.h"
#include "store/ObjectContext.h"
#include "store/UndoManager.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {
constexpr char kInstalledProperty[] = "lumaroApplicationMenus";
}

ApplicationMenus::ApplicationMenus(AppDelegate *app)
    : QObject(app), m_app(app), m_save(new QAction(tr("&Save"), this)),
      m_importLog(new QAction(tr("&Import Log"), this)), m_bookmarks(new QAction(tr("&Bookmarks"), this)),
      m_quit(new QAction(tr("&Quit"), this)), m_undo(new QAction(tr("&Undo"), this)),
      m_redo(new QAction(tr("&Redo"), this))
{
    m_save->setObjectName(QStringLiteral("saveMenuItem"));
    m_save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_importLog->setObjectName(QStringLiteral("importLogMenuItem"));
    m_bookmarks->setObjectName(QStringLiteral("bookmarksMenuItem"));
    m_bookmarks->setToolTip(tr("Show the bookmarks window"));
    m_quit->setObjectName(QStringLiteral("quitMenuItem"));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setMenuRole(QAction::QuitRole);
    m_undo->setObjectName(QStringLiteral("undoMenuItem"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo->setObjectName(QStringLiteral("redoMenuItem"));
    m_redo->setShortcut(QKeySequence::Redo);

    connect(m_save, &QAction::triggered, app, &AppDelegate::saveAction);
    connect(m_importLog, &QAction::triggered, app, &AppDelegate::showImportLog);
    connect(m_bookmarks, &QAction::triggered, app, &AppDelegate::showBookmarksWindow);
    // Queued: the quit flow may end the process, which is no business of a menu's event handling.
    connect(m_quit, &QAction::triggered, app, &AppDelegate::terminate, Qt::QueuedConnection);
    connect(m_undo, &QAction::triggered, this, [this] {
        if (UndoManager *undo = m_app->windowWillReturnUndoManager())
            undo->undo();
    });
    connect(m_redo, &QAction::triggered, this, [this] {
        if (UndoManager *undo = m_app->windowWillReturnUndoManager())
            undo->redo();
    });
    connect(app, &AppDelegate::storeOpened, this,
            [this](ObjectContext *context) { watch(context ? context->undoManager() : nullptr); });
    updateUndoItems();
}

ApplicationMenus::~ApplicationMenus() = default;

bool ApplicationMenus::isInstalled(const QMainWindow *window)
{
    return window && window->property(kInstalledProperty).toBool();
}

void ApplicationMenus::install(QMainWindow *window)
{
    if (!window || isInstalled(window))
        return;
    window->setProperty(kInstalledProperty, true);
    QMenuBar *bar = window->menuBar();
    QAction *before = bar->actions().isEmpty() ? nullptr : bar->actions().constFirst();

    auto *file = new QMenu(tr("&File"), bar);
    file->setObjectName(QStringLiteral("fileMenu"));
    addItem(file, m_app->newMenuItem());
    addItem(file, m_app->connectMenuItem());
    file->addSeparator();
    addItem(file, m_save);
    file->addSeparator();
    addItem(file, m_importLog);
    addItem(file, m_bookmarks);
    file->addSeparator();
    addItem(file, m_quit);

    auto *edit = new QMenu(tr("&Edit"), bar);
    edit->setObjectName(QStringLiteral("editMenu"));
    addItem(edit, m_undo);
    addItem(edit, m_redo);

    bar->insertMenu(before, file);
    bar->insertMenu(before, edit);
}

QAction *ApplicationMenus::addItem(QMenu *menu, QAction *command)
{
    // Never the command itself: an action placed in several windows' menus has one
    // accessibility object, tied to the first menu that was asked for it, and when that window
    // goes the item is gone for assistive technology in every other window too.
    auto *item = new QAction(menu);
    item->setObjectName(command->objectName());
    item->setMenuRole(command->menuRole());
    auto follow = [item, command] {
        item->setText(command->text());
        item->setToolTip(command->toolTip());
        item->setShortcuts(command->shortcuts());
        item->setEnabled(command->isEnabled());
        item->setVisible(command->isVisible());
    };
    follow();
    connect(command, &QAction::changed, item, follow);
    connect(item, &QAction::triggered, command, &QAction::trigger);
    menu->addAction(item);
    return item;
}

void ApplicationMenus::watch(UndoManager *undoManager)
{
    if (m_undoManager)
        disconnect(m_undoManager, nullptr, this, nullptr);
    m_undoManager = undoManager;
    if (undoManager)
        connect(undoManager, &UndoManager::changed, this, &ApplicationMenus::updateUndoItems);
    updateUndoItems();
}

void ApplicationMenus::updateUndoItems()
{
    m_undo->setEnabled(m_undoManager && m_undoManager->canUndo());
    m_redo->setEnabled(m_undoManager && m_undoManager->canRedo());
}
