#include "session/LMSessionCategoryViewController.h"

#include "connection/LMServerConnection.h"
#include "platform/ConsoleLog.h"
#include "platform/DisplayName.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/ColumnBrowser.h"
#include "platform/widgets/Segue.h"
#include "session/LMNewCategoryViewController.h"
#include "session/LMSessionUploadViewController.h"
#include "session/LMSessionWindowController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QJsonValue>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {
const QLatin1String kId("id");
const QLatin1String kName("name");
const QLatin1String kIsLeaf("isLeaf");

std::optional<qint64> integerId(const QJsonObject &record)
{
    const QJsonValue id = record.value(kId);
    if (!id.isDouble())
        return std::nullopt;
    const qint64 value = id.toInteger(std::numeric_limits<qint64>::min());
    if (value == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return value;
}

QJsonObject jsonObjectFrom(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QJsonObject>())
        return value.toJsonObject();
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return QJsonObject::fromVariantMap(value.toMap());
    return {};
}
} // namespace

LMSessionCategoryViewController::LMSessionCategoryViewController(QObject *parent) : ViewController(parent) {}

LMSessionCategoryViewController::~LMSessionCategoryViewController()
{
    // The browser goes with the view, after this object: it must not ask a half-destroyed delegate.
    if (m_categoryBrowser)
        m_categoryBrowser->setDelegate(nullptr);
}

LMSessionWindowController *LMSessionCategoryViewController::sessionWindow() const
{
    return m_sessionWindow;
}

void LMSessionCategoryViewController::setSessionWindow(LMSessionWindowController *window)
{
    m_sessionWindow = window;
}

LMServerConnection *LMSessionCategoryViewController::connection() const
{
    return m_sessionWindow ? m_sessionWindow->serverConnection() : nullptr;
}

void LMSessionCategoryViewController::loadView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("categoryView"));

    m_headerLabel = new QLabel(tr("Choose the category that your files will be uploaded into."), view);
    m_headerLabel->setObjectName(QStringLiteral("categoryHeaderLabel"));

    m_categoryBrowser = new ColumnBrowser(view);
    m_categoryBrowser->setObjectName(QStringLiteral("categoryBrowser"));
    m_categoryBrowser->setColumnWidth(210);
    m_categoryBrowser->setAccessibleTitle(tr("Categories"));
    m_categoryBrowser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_selectionLabel = new QLabel(view);
    m_selectionLabel->setObjectName(QStringLiteral("selectionLabel"));
    m_selectionLabel->setTextFormat(Qt::PlainText);
    // A deep path is cut off rather than widening the window.
    m_selectionLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_loadFailureLabel = new QLabel(view);
    m_loadFailureLabel->setObjectName(QStringLiteral("loadFailureLabel"));
    m_loadFailureLabel->setTextFormat(Qt::PlainText);
    m_loadFailureLabel->setWordWrap(true);
    m_loadFailureLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_loadFailureLabel->hide();

    m_loadingCategoryLabel = new QLabel(tr("getting categories"), view);
    m_loadingCategoryLabel->setObjectName(QStringLiteral("loadingCategoryLabel"));
    m_loadingCategoryLabel->setForegroundRole(QPalette::PlaceholderText);

    m_newCategoryButton = new QPushButton(tr("New Category…"), view);
    m_newCategoryButton->setObjectName(QStringLiteral("newCategoryButton"));
    m_newCategoryButton->setToolTip(tr("Create a category inside the selected one"));
    m_setCategoryButton = new QPushButton(tr("Set Category"), view);
    m_setCategoryButton->setObjectName(QStringLiteral("setCategoryButton"));
    m_setCategoryButton->setToolTip(tr("Upload into the selected category"));
    m_setCategoryButton->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_selectionLabel, 1);
    buttons->addWidget(m_loadingCategoryLabel);
    buttons->addSpacing(12);
    buttons->addWidget(m_newCategoryButton);
    buttons->addWidget(m_setCategoryButton);

    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    layout->addWidget(m_headerLabel);
    layout->addWidget(m_categoryBrowser, 1);
    layout->addWidget(m_loadFailureLabel);
    layout->addLayout(buttons);
    setView(view);
}

void LMSessionCategoryViewController::viewDidLoad()
{
    m_categoryBrowser->setDelegate(this);
    connect(m_categoryBrowser, &ColumnBrowser::action, this,
            &LMSessionCategoryViewController::categoryBrowserWasClicked);
    connect(m_newCategoryButton, &QPushButton::clicked, this,
            &LMSessionCategoryViewController::newCategoryButtonWasClicked);
    connect(m_setCategoryButton, &QPushButton::clicked, this,
            &LMSessionCategoryViewController::setCategoryButtonWasClicked);
    // Nothing to choose from until the first load is complete; a click during the path walk
    // would send the walk elsewhere.
    m_categoryBrowser->setEnabled(false);
    m_setCategoryButton->setEnabled(false);
    m_newCategoryButton->setEnabled(false);
}

void LMSessionCategoryViewController::viewWillAppear()
{
    LMServerConnection *conn = connection();
    if (m_alreadyInitialized || !conn)
        return;
    static_cast<void>(view()); // loads the interface elements

    NotificationCenter *center = NotificationCenter::defaultCenter();
    center->addObserver(this, LMNotification::HasCategories, conn,
                        &LMSessionCategoryViewController::gotCategories);
    center->addObserver(this, LMNotification::CreatedNewCategory, conn,
                        &LMSessionCategoryViewController::newCategoryWasCreated);
    center->addObserver(this, LMNotification::CreateCategoryFailed, conn,
                        &LMSessionCategoryViewController::categoryCreationFailed);

    if (m_initialCategoryID == -1) {
        m_pathToFollow = QList<QJsonObject>();
        m_currentPathLevel = 0;
        m_targetPathLevel = 0;
    } else {
        m_pathToFollow = conn->categoryPath();
        m_currentPathLevel = -1;
        m_targetPathLevel = conn->pathLevel();
    }
    m_clickedCategory = Position{};

    ++m_pendingLoads;
    conn->retrieveTopCategories();
    m_alreadyInitialized = true;
}

void LMSessionCategoryViewController::askConnectionToSelect(Position position)
{
    LMServerConnection *conn = connection();
    if (!conn)
        return;
    ++m_pendingLoads;
    m_awaitingSelection = true;
    conn->selectCategory(position.column, position.row);
}

void LMSessionCategoryViewController::gotCategories(const Notification &notification)
{
    if (!m_categoryBrowser)
        return;
    m_pendingLoads = std::max(0, m_pendingLoads - 1);
    const Position clicked = m_clickedCategory;
    noteLoadFailure(notification, clicked);
    // Answers arrive in reply order; only when none is outstanding and the model shows the
    // position asked for last is the column to its right worth showing.
    if (m_awaitingSelection && m_pendingLoads == 0 && selectionMatchesModel(clicked.column, clicked.row))
        m_awaitingSelection = false;

    m_categoryBrowser->reloadColumn(int(clicked.column));
    m_categoryBrowser->reloadColumn(int(clicked.column + 1));
    m_categoryBrowser->selectRow(int(clicked.row), int(clicked.column));

    if (m_targetPathLevel > m_currentPathLevel) {
        setBrowserCategoryToPath();
        return;
    }
    if (m_awaitingSelection) {
        if (m_pendingLoads > 0)
            return;
        // A late answer for an earlier click replaced what the last click loaded: ask once more.
        if (!m_askedAgain) {
            m_askedAgain = true;
            askConnectionToSelect(clicked);
            return;
        }
        m_awaitingSelection = false;
        m_categoryBrowser->reloadColumn(int(clicked.column + 1));
    }
    finishLoading();
}

void LMSessionCategoryViewController::noteLoadFailure(const Notification &notification, Position clicked)
{
    const QString failure = notification.userInfo.value(LMUserInfoKey::Failure).toString();
    if (failure.isEmpty())
        return;
    const LMServerConnection *conn = connection();
    const QVariant failedID = notification.userInfo.value(LMUserInfoKey::CategoryID);
    if (!failedID.isValid()) {
        m_loadFailure = tr("Could not load the categories: %1").arg(failure);
    } else {
        // Only the failure of what is selected now is worth telling.
        if (!conn || clicked.column < 0 || clicked.column >= conn->categoryData().size() || clicked.row < 0 ||
            clicked.row >= conn->categoryData().at(clicked.column).size())
            return;
        const CategoryRecord &record = conn->categoryData().at(clicked.column).at(clicked.row);
        if (integerId(record) != failedID.toLongLong())
            return;
        m_loadFailure = tr("Could not load the sub-categories of %1: %2. Select it again to retry.")
                            .arg(record.value(kName).toString(), failure);
    }
}

void LMSessionCategoryViewController::finishLoading()
{
    m_loadingCategoryLabel->setText(QString());
    // A failure stays in view until the next load; selecting the category again retries.
    m_loadFailureLabel->setText(m_loadFailure);
    m_loadFailureLabel->setVisible(!m_loadFailure.isEmpty());
    showSelection();
    qCInfo(lcSession).noquote() << "category browser ready at" << m_selectionLabel->toolTip();
    m_categoryBrowser->setEnabled(true);
    m_setCategoryButton->setEnabled(true);
    m_newCategoryButton->setEnabled(true);
    m_currentPathLevel = -1;
    m_targetPathLevel = -1;
}

void LMSessionCategoryViewController::showSelection()
{
    const LMServerConnection *conn = connection();
    const QString path = conn ? conn->getSelectedCategoryPath() : QString();
    m_selectionLabel->setText(path.isEmpty() ? tr("No category selected")
                                             : tr("Selected: %1").arg(DisplayName::isolated(path)));
    m_selectionLabel->setToolTip(DisplayName::visible(path));
}

void LMSessionCategoryViewController::setBrowserCategoryToPath()
{
    LMServerConnection *conn = connection();
    if (!conn)
        return;
    ++m_currentPathLevel;
    const qint64 level = m_currentPathLevel;
    std::optional<qint64> id;
    if (m_pathToFollow && level >= 0 && level < m_pathToFollow->size())
        id = integerId(m_pathToFollow->at(level));
    const qint64 row = id ? conn->findCategory(*id, level) : -1;

    Position next = m_clickedCategory;
    if (row >= 0)
        next = Position{level, row};
    else
        m_currentPathLevel = m_targetPathLevel; // the walk ends with the next level loaded
    m_clickedCategory = next;
    askConnectionToSelect(next);
}

void LMSessionCategoryViewController::categoryBrowserWasClicked()
{
    if (!m_categoryBrowser)
        return;
    const int column = m_categoryBrowser->selectedColumn();
    const int row = column >= 0 ? m_categoryBrowser->selectedRowInColumn(column) : -1;
    if (!m_categoryBrowser->isEnabled())
        return;
    m_clickedCategory = Position{column, row};
    m_loadFailure.clear();
    m_loadFailureLabel->hide();
    m_loadingCategoryLabel->setText(tr("getting categories"));
    m_setCategoryButton->setEnabled(false);
    m_askedAgain = false;
    askConnectionToSelect(m_clickedCategory);
    // The connection holds the new selection from here on.
    if (m_sessionWindow)
        m_sessionWindow->rememberPosition();
    // The column to the right shows nothing until the connection has the rows that belong there.
    m_categoryBrowser->reloadColumn(column + 1);
}

void LMSessionCategoryViewController::createNewCategory(const QString &name)
{
    if (LMServerConnection *conn = connection())
        conn->createNewCategory(name);
}

void LMSessionCategoryViewController::newCategoryWasCreated(const Notification &notification)
{
    const QJsonObject created = jsonObjectFrom(notification.userInfo.value(LMUserInfoKey::NewCategory));
    if (!integerId(created)) {
        const QJsonValue said = created.value(QLatin1String("error"));
        reportRefusedCategory(said.isString() ? said.toString() : QString());
    } else if (m_categoryBrowser) {
        // The selection may carry the children it had before the creation; the connection
        // would answer from them, so it is made to ask the server again.
        const int column = m_categoryBrowser->selectedColumn();
        if (column >= 0)
            forgetChildren(Position{column, m_categoryBrowser->selectedRowInColumn(column)});
    }
    categoryBrowserWasClicked();
}

void LMSessionCategoryViewController::forgetChildren(Position position)
{
    if (LMServerConnection *conn = connection())
        conn->forgetChildren(position.column, position.row);
}

void LMSessionCategoryViewController::categoryCreationFailed(const Notification &notification)
{
    reportRefusedCategory(notification.userInfo.value(LMUserInfoKey::Error).toString());
}

void LMSessionCategoryViewController::reportRefusedCategory(const QString &reason)
{
    Alert::beginSheet(view()->window(), Alert::Style::Warning, tr("The new category could not be created."),
                      reason.isEmpty() ? tr("The server did not accept the new category.")
                                       : tr("The server answered: %1").arg(reason),
                      {}, nullptr);
}

void LMSessionCategoryViewController::newCategoryButtonWasClicked()
{
    performSegue(SegueIdentifiers::showNewCategoryViewController, this);
}

void LMSessionCategoryViewController::prepareForSegue(Segue &segue, QObject *)
{
    if (segue.identifier == SegueIdentifiers::showNewCategoryViewController) {
        if (auto *sheet = segue.destinationController<LMNewCategoryViewController>())
            sheet->setTarget(this);
        return;
    }
    ConsoleLog::line(QStringLiteral("should not be here - session category view - prepare for segue"));
}

void LMSessionCategoryViewController::setCategoryButtonWasClicked()
{
    LMServerConnection *conn = connection();
    if (!conn || conn->categoryPath().isEmpty())
        return;
    m_sessionWindow->setCurrentView(LMSessionWindowController::UploadViewName);
    m_sessionWindow->rememberPosition();
    m_sessionWindow->showView(m_sessionWindow->uploadView());
}

bool LMSessionCategoryViewController::selectionMatchesModel(qint64 column, qint64 row) const
{
    if (column < 0)
        return true;
    const LMServerConnection *conn = connection();
    if (!conn)
        return false;
    const QList<CategoryLevel> &data = conn->categoryData();
    const QList<CategoryRecord> &path = conn->categoryPath();
    if (column >= data.size() || column >= path.size() || row < 0 || row >= data.at(column).size())
        return false;
    const CategoryRecord &shown = data.at(column).at(row);
    const CategoryRecord &selected = path.at(column);
    const std::optional<qint64> shownId = integerId(shown);
    const std::optional<qint64> selectedId = integerId(selected);
    if (shownId && selectedId)
        return *shownId == *selectedId;
    return shown == selected;
}

bool LMSessionCategoryViewController::levelIsCurrent(int column) const
{
    if (column == 0)
        return true;
    if (m_awaitingSelection && column > m_clickedCategory.column)
        return false;
    const LMServerConnection *conn = connection();
    if (!conn || conn->pathLevel() < column - 1)
        return false;
    for (int c = 0; c < column; ++c) {
        if (!selectionMatchesModel(c, m_categoryBrowser->selectedRowInColumn(c)))
            return false;
    }
    return true;
}

int LMSessionCategoryViewController::numberOfRowsInColumn(ColumnBrowser *, int column)
{
    const LMServerConnection *conn = connection();
    if (!conn || column < 0 || column >= conn->categoryData().size() || !levelIsCurrent(column))
        return 0;
    return int(conn->categoryData().at(column).size());
}

void LMSessionCategoryViewController::willDisplayCell(ColumnBrowser *, BrowserCell &cell, int row, int column)
{
    static const QIcon folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    const LMServerConnection *conn = connection();
    cell.text = QString();
    if (!conn || column < 0 || column >= conn->categoryData().size() || row < 0 ||
        row >= conn->categoryData().at(column).size())
        return;
    const CategoryRecord &record = conn->categoryData().at(column).at(row);
    const QJsonValue name = record.value(kName);
    const QJsonValue leaf = record.value(kIsLeaf);
    cell.text = name.isString() ? DisplayName::visible(name.toString()) : QString();
    cell.leaf = leaf.isBool() && leaf.toBool();
    cell.icon = folder;
    cell.toolTip = cell.text;
}
