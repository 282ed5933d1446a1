#include "session/LMSessionInitialViewController.h"

#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/Alert.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionUploadViewController.h"
#include "session/LMSessionWindowController.h"
#include "session/PasswordSheet.h"
#include "store/BookmarkPasswords.h"
#include "store/ServerBookmark.h"

#include <QJsonValue>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QVBoxLayout>

LMSessionInitialViewController::LMSessionInitialViewController(QObject *parent) : ViewController(parent) {}

LMSessionInitialViewController::~LMSessionInitialViewController() = default;

QString LMSessionInitialViewController::notLumaroServerText()
{
    return tr("This doesn't seem to be a Lumaro server. Please check its address.");
}

QString LMSessionInitialViewController::versionMismatchText()
{
    return tr("Cannot connect to this Lumaro server due to a version mismatch");
}

QString LMSessionInitialViewController::noFolderTypeText()
{
    return tr("Could not connect to server");
}

QString LMSessionInitialViewController::messageForServerCheck(int code)
{
    switch (code) {
    case SessionErrorCodes::notLumaroServer:
        return notLumaroServerText();
    case SessionErrorCodes::versionMismatch:
        return versionMismatchText();
    default:
        return {};
    }
}

PasswordSheet *LMSessionInitialViewController::passwordSheet() const
{
    return m_passwordSheet;
}

LMSessionWindowController *LMSessionInitialViewController::sessionWindow() const
{
    return m_sessionWindow;
}

void LMSessionInitialViewController::setSessionWindow(LMSessionWindowController *window)
{
    m_sessionWindow = window;
}

LMServerConnection *LMSessionInitialViewController::connection() const
{
    return m_sessionWindow ? m_sessionWindow->serverConnection() : nullptr;
}

QString LMSessionInitialViewController::hostText() const
{
    const ServerBookmark *bookmark = m_sessionWindow ? m_sessionWindow->connectionBookmark() : nullptr;
    return bookmark ? bookmark->hostName().value_or(QString()) : QString();
}

void LMSessionInitialViewController::loadView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("connectingView"));

    m_statusLabel = new QLabel(view);
    m_statusLabel->setObjectName(QStringLiteral("connectingLabel"));
    m_statusLabel->setAlignment(Qt::AlignCenter);
    QFont title = m_statusLabel->font();
    title.setPointSizeF(title.pointSizeF() * 1.35);
    title.setBold(true);
    m_statusLabel->setFont(title);

    m_busyIndicator = new QProgressBar(view);
    m_busyIndicator->setObjectName(QStringLiteral("busyIndicator"));
    m_busyIndicator->setAccessibleName(tr("Connecting"));
    m_busyIndicator->setRange(0, 0); // busy: no known end
    m_busyIndicator->setTextVisible(false);
    m_busyIndicator->setFixedWidth(320);

    m_detailLabel = new QLabel(view);
    m_detailLabel->setObjectName(QStringLiteral("connectingDetailLabel"));
    m_detailLabel->setAlignment(Qt::AlignCenter);
    m_detailLabel->setForegroundRole(QPalette::PlaceholderText);

    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(14);
    layout->addStretch(3);
    layout->addWidget(m_statusLabel);
    layout->addWidget(m_busyIndicator, 0, Qt::AlignHCenter);
    layout->addWidget(m_detailLabel);
    layout->addStretch(4);
    setView(view);
}

void LMSessionInitialViewController::viewWillAppear()
{
    if (m_started || !m_sessionWindow)
        return;
    ServerBookmark *bookmark = m_sessionWindow->connectionBookmark();
    if (!bookmark) {
        qCWarning(lcSession) << "session window shown without a bookmark";
        return;
    }
    m_started = true;

    auto *connection = new LMServerConnection(bookmark);
    // Uploads stamp and save records in the one shared context.
    connection->setManagedObjectContext(m_sessionWindow->managedObjectContext());
    m_sessionWindow->setServerConnection(connection);

    NotificationCenter *center = NotificationCenter::defaultCenter();
    center->addObserver(this, LMNotification::CheckedServer, connection,
                        &LMSessionInitialViewController::checkedLMServer);
    center->addObserver(this, LMNotification::GotFullURL, connection,
                        &LMSessionInitialViewController::gotFullURL);
    center->addObserver(this, LMNotification::RetrievedCategoryTypes, connection,
                        &LMSessionInitialViewController::gotCategoryTypes);
    center->addObserver(this, LMNotification::HasCategoryPath, connection,
                        &LMSessionInitialViewController::restoreInitialCategory);

    static_cast<void>(view()); // loads the interface elements
    m_statusLabel->setText(tr("Connecting to %1").arg(hostText()));
    obtainPassword(bookmark);
}

namespace {
// Why a notification reports a failure: the description of its error, if it carries one.
QString reasonOf(const Notification &notification)
{
    const QVariant error = notification.userInfo.value(LMUserInfoKey::Error);
    if (error.typeId() == QMetaType::QString)
        return error.toString();
    return error.toMap().value(LMErrorKey::Description).toString();
}

bool certificateRefused(const Notification &notification)
{
    return notification.userInfo.value(LMUserInfoKey::Error).toMap().value(LMErrorKey::Domain) ==
           LMErrorDomain::CertificateRefused;
}

// No server answered at all (refused, not found, no secure connection, the proxy): then the reason
// alone names the culprit, and no server is blamed for being of another kind.
bool nothingAnswered(const Notification &notification)
{
    const QVariantMap error = notification.userInfo.value(LMUserInfoKey::Error).toMap();
    return !error.isEmpty() && error.value(LMErrorKey::Domain) != LMErrorDomain::Reply;
}
} // namespace

void LMSessionInitialViewController::obtainPassword(ServerBookmark *bookmark)
{
    BookmarkPasswords *passwords = m_sessionWindow->bookmarkPasswords();
    if (!passwords) {
        if (bookmark->askForPassword())
            askForPassword({});
        else
            startChecks();
        return;
    }
    m_detailLabel->setText(tr("Reading the password…"));
    // The keyring may be slow or ask its user to unlock it; the window stays live meanwhile.
    passwords->passwordFor(bookmark, this, [this](const BookmarkPasswords::Answer &answer) {
        if (m_failed || !connection())
            return;
        if (answer.mustAsk) {
            askForPassword(answer.reason);
            return;
        }
        connection()->setSessionPassword(answer.password.value_or(QString()));
        startChecks();
    });
}

void LMSessionInitialViewController::askForPassword(const QString &reason)
{
    const ServerBookmark *bookmark = m_sessionWindow->connectionBookmark();
    m_detailLabel->setText(tr("Waiting for the password…"));
    auto *sheet = new PasswordSheet(m_sessionWindow->window(), bookmark->userName().value_or(QString()), hostText(),
                                    reason);
    m_passwordSheet = sheet;
    connect(sheet, &QDialog::finished, this, [this, sheet](int result) {
        sheet->deleteLater();
        if (m_failed || !connection())
            return;
        if (result != QDialog::Accepted) {
            endStart();
            return;
        }
        connection()->setSessionPassword(sheet->password());
        startChecks();
    });
    sheet->open();
}

void LMSessionInitialViewController::startChecks()
{
    LMServerConnection *connection = this->connection();
    const ServerBookmark *bookmark = m_sessionWindow->connectionBookmark();
    if (!connection || !bookmark)
        return;
    const std::optional<QString> path = bookmark->applicationNameURL();
    if (path && !path->isEmpty()) {
        m_detailLabel->setText(tr("Checking the server…"));
        connection->checkLMServer();
    } else {
        m_detailLabel->setText(tr("Looking for the Lumaro application…"));
        connection->getFullURL();
    }
}

void LMSessionInitialViewController::gotFullURL(const Notification &notification)
{
    LMServerConnection *conn = connection();
    if (m_failed || !conn)
        return;
    const QVariant appURL = notification.userInfo.value(LMUserInfoKey::AppURL);
    if (ServerBookmark *bookmark = m_sessionWindow->connectionBookmark())
        bookmark->setApplicationNameURL(appURL.isValid() ? std::optional<QString>(appURL.toString())
                                                         : std::nullopt);
    m_detailLabel->setText(tr("Checking the server…"));
    conn->checkLMServer();
}

void LMSessionInitialViewController::checkedLMServer(const Notification &notification)
{
    LMServerConnection *conn = connection();
    if (m_failed || !conn)
        return;
    bool ok = false;
    const int code = notification.userInfo.value(LMUserInfoKey::ServerCheck).toInt(&ok);
    if (!ok) {
        // No usable result at all counts as no usable server.
        showFailureAlert(notLumaroServerText());
        return;
    }
    if (code != SessionErrorCodes::noError) {
        // The user declined the server's certificate: nothing more to tell.
        if (certificateRefused(notification))
            endStart();
        else if (nothingAnswered(notification) && !reasonOf(notification).isEmpty())
            showFailureAlert(reasonOf(notification));
        else
            showFailureAlert(messageForServerCheck(code), reasonOf(notification));
        return;
    }
    m_detailLabel->setText(tr("Loading the category types…"));
    conn->retrieveCategoryTypes();
}

void LMSessionInitialViewController::gotCategoryTypes(const Notification &notification)
{
    LMServerConnection *conn = connection();
    if (m_failed || !conn)
        return;
    if (conn->folderCategoryTypeID() == 0) {
        showFailureAlert(noFolderTypeText(), reasonOf(notification));
        return;
    }
    const qint64 startingCategory = m_sessionWindow->startingCategory().value_or(-1);
    if (startingCategory == -1) {
        if (LMSessionCategoryViewController *categoryView = m_sessionWindow->categoryView())
            categoryView->setInitialCategoryID(-1);
        m_sessionWindow->setCurrentView(LMSessionWindowController::CategoryViewName);
        m_sessionWindow->showView(m_sessionWindow->categoryView());
        return;
    }
    m_detailLabel->setText(tr("Finding your last category…"));
    conn->retrieveCategoryPath(startingCategory);
}

bool LMSessionInitialViewController::rebuiltPathIsUsable() const
{
    const LMServerConnection *conn = connection();
    if (!conn || conn->categoryPath().isEmpty())
        return false;
    // A server that no longer knows the category may answer with an error object, which the
    // climb takes for a category without parents; only the category asked for is a real path.
    const QJsonValue id = conn->categoryPath().constLast().value(QLatin1String("id"));
    return id.isDouble() && id.toInteger(-1) == m_sessionWindow->startingCategory().value_or(-1);
}

void LMSessionInitialViewController::restoreInitialCategory(const Notification &)
{
    if (m_failed || !connection())
        return;
    LMSessionCategoryViewController *categoryView = m_sessionWindow->categoryView();
    if (categoryView)
        categoryView->setInitialCategoryID(m_sessionWindow->startingCategory().value_or(-1));

    if (m_sessionWindow->currentView() != LMSessionWindowController::CategoryViewName &&
        rebuiltPathIsUsable()) {
        m_sessionWindow->showView(m_sessionWindow->uploadView());
        return;
    }
    // The view the session is in is the one remembered, so the next launch opens where the
    // user really was.
    m_sessionWindow->setCurrentView(LMSessionWindowController::CategoryViewName);
    m_sessionWindow->showView(categoryView);
}

void LMSessionInitialViewController::endStart()
{
    m_failed = true;
    if (QPointer<LMSessionWindowController> session = m_sessionWindow) {
        session->setSessionWindowClosed(true);
        session->closeByApplication();
    }
}

void LMSessionInitialViewController::showFailureAlert(const QString &message, const QString &reason)
{
    m_failed = true;
    m_busyIndicator->setRange(0, 1);
    m_detailLabel->clear();
    QPointer<LMSessionWindowController> session = m_sessionWindow;
    Alert::beginSheet(session->window(), Alert::Style::Critical,
                      tr("Cannot open a session on %1").arg(hostText()),
                      reason.isEmpty() ? message : message + QStringLiteral("\n\n") + reason, {}, [session](int) {
                          if (!session)
                              return;
                          session->setSessionWindowClosed(true);
                          session->closeByApplication();
                      });
}
