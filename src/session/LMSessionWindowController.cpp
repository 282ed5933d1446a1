#include "session/LMSessionWindowController.h"

#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/Storyboard.h"
#include "platform/widgets/ViewController.h"
#include "session/CertificateSheet.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionInitialViewController.h"
#include "session/LMSessionUploadViewController.h"
#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QJsonValue>
#include <QMainWindow>

Q_LOGGING_CATEGORY(lcSession, "lumaro.session")

namespace {
constexpr QSize kDefaultWindowSize(880, 560);
constexpr QSize kMinimumWindowSize(560, 380);

// Opening a session or moving in it writes only this bookmark's own state; other records being
// edited elsewhere are not ours to commit. The outcome is not reported (a later save picks the
// change up).
void saveBookmark(ServerBookmark *bookmark)
{
    ObjectContext *context = bookmark->managedObjectContext();
    if (!context)
        return;
    QString error;
    if (!context->saveObjects({bookmark}, &error))
        qCWarning(lcSession) << "could not save the session state of a bookmark:" << error;
}

// Closing a session saves everything: queue entries removed with Delete and a cleared log must
// not come back after a crash later on.
void saveEverything(ServerBookmark *bookmark)
{
    ObjectContext *context = bookmark->managedObjectContext();
    if (!context)
        return;
    QString error;
    if (!context->save(&error))
        qCWarning(lcSession) << "could not save when a session window closed:" << error;
}
} // namespace

LMSessionWindowController::LMSessionWindowController(QObject *parent) : WindowController(parent)
{
    connect(this, &WindowController::closed, this, &QObject::deleteLater);
}

LMSessionWindowController::~LMSessionWindowController() = default;

LMServerConnection *LMSessionWindowController::serverConnection() const
{
    return m_serverConnection;
}

void LMSessionWindowController::setServerConnection(LMServerConnection *connection)
{
    if (connection == m_serverConnection)
        return;
    releaseConnection();
    m_serverConnection = connection;
    if (!connection)
        return;
    connection->setParent(this);
    // Whichever view is up, the session asks about a certificate once, here.
    NotificationCenter::defaultCenter()->addObserver(this, LMNotification::CertificateNeedsTrust, connection,
                                                     &LMSessionWindowController::certificateNeedsTrust);
}

void LMSessionWindowController::setBookmarkPasswords(BookmarkPasswords *passwords)
{
    m_passwords = passwords;
}

BookmarkPasswords *LMSessionWindowController::bookmarkPasswords() const
{
    return m_passwords;
}

CertificateSheet *LMSessionWindowController::certificateSheet() const
{
    return m_certificateSheet;
}

void LMSessionWindowController::certificateNeedsTrust(const Notification &notification)
{
    if (m_certificateSheet || !isWindowLoaded())
        return;
    auto *sheet = new CertificateSheet(window(), notification.userInfo);
    m_certificateSheet = sheet;
    QPointer<LMServerConnection> connection = m_serverConnection;
    connect(sheet, &QDialog::finished, this, [this, sheet, connection](int result) {
        sheet->deleteLater();
        if (!connection)
            return;
        const bool trusted = result == QDialog::Accepted;
        connection->answerCertificateQuestion(trusted);
        // The pin is the bookmark's from now on, also for the next launch.
        if (trusted && m_connectionBookmark)
            saveBookmark(m_connectionBookmark);
    });
    sheet->open();
}

LMSessionInitialViewController *LMSessionWindowController::initialView() const
{
    return m_initialView;
}

LMSessionCategoryViewController *LMSessionWindowController::categoryView() const
{
    return m_categoryView;
}

LMSessionUploadViewController *LMSessionWindowController::uploadView() const
{
    return m_uploadView;
}

ServerBookmark *LMSessionWindowController::connectionBookmark() const
{
    return m_connectionBookmark;
}

ObjectContext *LMSessionWindowController::managedObjectContext() const
{
    return m_connectionBookmark ? m_connectionBookmark->managedObjectContext() : nullptr;
}

void LMSessionWindowController::windowDidLoad()
{
    QMainWindow *w = window();
    w->resize(kDefaultWindowSize);
    w->setMinimumSize(kMinimumWindowSize);
    setCloseButtonHandler([this] { closeThisWindow(); });
    m_sessionWindowClosed = false;

    m_initialView = qobject_cast<LMSessionInitialViewController *>(contentViewController());
    m_categoryView = storyboard()->instantiate<LMSessionCategoryViewController>(CategoryViewIdentifier);
    m_uploadView = storyboard()->instantiate<LMSessionUploadViewController>(UploadViewIdentifier);

    if (m_initialView)
        m_initialView->setSessionWindow(this);
    if (m_categoryView) {
        m_categoryView->setParent(this);
        m_categoryView->setStoryboard(storyboard());
        m_categoryView->setSessionWindow(this);
    }
    if (m_uploadView) {
        m_uploadView->setParent(this);
        m_uploadView->setStoryboard(storyboard());
        m_uploadView->setSessionWindow(this);
    }
    if (!m_initialView || !m_categoryView || !m_uploadView)
        qCWarning(lcSession) << "session window is missing a view; is the storyboard complete?";
}

void LMSessionWindowController::setConnectionBookmark(ServerBookmark *bookmark)
{
    m_connectionBookmark = bookmark;
    if (!bookmark)
        return;

    window()->setWindowTitle(bookmark->userName().value_or(QString()) + QLatin1Char('@') +
                             bookmark->hostName().value_or(QString()));
    QString autosaveName = FrameAutosavePrefix + bookmark->bookmarkName().value_or(QString());
    setFrameAutosaveName(autosaveName.remove(QLatin1Char(' ')));

    m_currentView = bookmark->lastCategoryView();
    const qint64 lastCategory = bookmark->lastCategoryID().value_or(-1);
    m_startingCategory = lastCategory < 1 ? -1 : lastCategory;

    bookmark->setSessionWindowOpen(true);
    saveBookmark(bookmark);

    if (m_uploadView)
        m_uploadView->initializeImportQueue();
}

void LMSessionWindowController::closeThisWindow()
{
    m_sessionWindowClosed = true;
    close();
}

void LMSessionWindowController::showView(ViewController *view)
{
    if (!view || view == contentViewController())
        return;
    // The incoming view starts at the size of the one it replaces, so the window does not jump.
    if (ViewController *current = contentViewController(); current && current->isViewLoaded())
        view->view()->resize(current->view()->size());
    setContentViewController(view);
}

qint64 LMSessionWindowController::selectedCategoryID() const
{
    if (!m_serverConnection || !m_serverConnection->selectedCategory())
        return -1;
    const QJsonValue id = m_serverConnection->selectedCategory()->value(QLatin1String("id"));
    return id.isDouble() ? id.toInteger(-1) : -1;
}

void LMSessionWindowController::rememberPosition()
{
    ServerBookmark *bookmark = m_connectionBookmark;
    if (!bookmark)
        return;
    const qint64 categoryID = selectedCategoryID();
    if (bookmark->lastCategoryView() == m_currentView && bookmark->lastCategoryID() == categoryID)
        return;
    bookmark->setLastCategoryView(m_currentView);
    bookmark->setLastCategoryID(categoryID);
    saveBookmark(bookmark);
}

void LMSessionWindowController::windowWillClose()
{
    if (ServerBookmark *bookmark = m_connectionBookmark) {
        bookmark->setLastCategoryView(m_currentView);
        bookmark->setLastCategoryID(selectedCategoryID());
        bookmark->setSessionWindowOpen(!m_sessionWindowClosed);
        saveEverything(bookmark);
    }

    // A batch under way finishes the file in flight, so it is stamped and saved, and stops there.
    if (m_serverConnection && m_serverConnection->isUploading()) {
        LMServerConnection *connection = m_serverConnection;
        connection->setHaltUpload(true);
        m_serverConnection = nullptr;
        connection->setParent(nullptr);
        NotificationCenter::defaultCenter()->addObserver(
            connection, LMNotification::UploadDone, connection,
            [connection](const Notification &) { connection->deleteLater(); });
    }
}

void LMSessionWindowController::releaseConnection()
{
    LMServerConnection *old = m_serverConnection;
    m_serverConnection = nullptr;
    if (old && old->parent() == this)
        old->deleteLater();
}
