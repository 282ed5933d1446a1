#include "session/LMImportLogViewController.h"

#include "platform/widgets/Alert.h"
#include "session/ImportLogModel.h"
#include "store/ObjectContext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// Typing a word is one search, not one per letter.
constexpr int SearchDelayMs = 250;

QString countText(qint64 n)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(n);
}
} // namespace

LMImportLogViewController::LMImportLogViewController(ObjectContext *context, QObject *parent)
    : ViewController(parent), m_managedObjectContext(context), m_model(new ImportLogModel(context, this)),
      m_searchDelay(new QTimer(this))
{
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(SearchDelayMs);
    connect(m_searchDelay, &QTimer::timeout, this, [this] {
        if (m_searchField)
            m_model->setSearchText(m_searchField->text().trimmed());
    });
    connect(m_model, &ImportLogModel::countsChanged, this, &LMImportLogViewController::updateCounts);
    connect(m_model, &QAbstractItemModel::modelReset, this, &LMImportLogViewController::updateActions);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &LMImportLogViewController::updateActions);
    connect(m_model, &ImportLogModel::exportFinished, this, &LMImportLogViewController::exportFinished);
}

LMImportLogViewController::~LMImportLogViewController() = default;

ObjectContext *LMImportLogViewController::managedObjectContext() const
{
    return m_managedObjectContext;
}

void LMImportLogViewController::viewWillAppear()
{
    (void)view();
    // Another process may have written to the log since it was last shown (the first showing
    // has its answer on the way already).
    if (m_model->isLoaded())
        m_model->refresh();
}

void LMImportLogViewController::clearLogButtonWasClicked()
{
    if (m_managedObjectContext)
        m_managedObjectContext->deleteUploadedAssets();
}

QList<int> LMImportLogViewController::selectedRows() const
{
    QList<int> rows;
    if (!m_tableView)
        return rows;
    for (const QModelIndex &index : m_tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString LMImportLogViewController::selectedRowsText() const
{
    QStringList lines;
    for (int row : selectedRows()) {
        const LogRow log = m_model->logRow(row);
        lines.append(QStringList{
            log.filePath, log.categoryPath,
            ImportLogModel::formatUploadTime(QDateTime::fromMSecsSinceEpoch(log.uploadMs, Qt::UTC)),
            m_model->bookmarkText(log), ImportLogModel::formatSize(log.fileSize)}
                         .join(QLatin1Char('\t')));
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void LMImportLogViewController::copySelection()
{
    const QString text = selectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void LMImportLogViewController::showInFolder()
{
    if (!m_tableView || !m_tableView->currentIndex().isValid())
        return;
    const QFileInfo file(m_model->logRow(m_tableView->currentIndex().row()).filePath);
    if (file.exists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
    updateActions();
}

void LMImportLogViewController::exportButtonWasClicked()
{
    auto *dialog = new QFileDialog(view()->window(), tr("Export Import Log"));
    dialog->setObjectName(QStringLiteral("exportLogDialog"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(tr("CSV files (*.csv)"));
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(tr("Import Log.csv"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &LMImportLogViewController::exportToFile);
    dialog->open();
}

void LMImportLogViewController::exportToFile(const QString &path)
{
    if (path.isEmpty() || !m_model->exportCsv(path))
        return;
    m_exportPath = path;
    if (m_statusLabel)
        m_statusLabel->setText(tr("Exporting…"));
    updateActions();
}

void LMImportLogViewController::exportFinished(bool ok, qint64 rows, const QString &error)
{
    updateActions();
    if (!m_statusLabel)
        return;
    if (ok) {
        m_statusLabel->setText(
            //: The plural follows the number of rows; %1 is that number with thousands separators
            tr("%1 rows exported to %2", "", int(rows))
                .arg(countText(rows), QFileInfo(m_exportPath).fileName()));
        return;
    }
    m_statusLabel->clear();
    Alert::beginSheet(view()->window(), Alert::Style::Warning, tr("The log could not be exported."),
                      //: The file exported to: why it failed
                      tr("%1: %2").arg(m_exportPath, error), {}, {});
}

void LMImportLogViewController::updateCounts()
{
    if (m_countLabel) {
        const qint64 total = m_model->totalCount();
        const qint64 shown = m_model->rowCount();
        if (!m_model->isLoaded())
            m_countLabel->clear();
        else if (total == 0)
            m_countLabel->setText(tr("No uploads recorded"));
        else if (m_model->searchText().isEmpty())
            //: The plural follows the number of files; %1 is that number with thousands separators
            m_countLabel->setText(tr("%1 files", "", int(total)).arg(countText(total)));
        else
            m_countLabel->setText(
                tr("%1 of %2 files", "", int(total)).arg(countText(shown), countText(total)));
    }
    updateActions();
}

void LMImportLogViewController::updateActions()
{
    if (!m_tableView)
        return;
    const QList<int> rows = selectedRows();
    const QModelIndex current = m_tableView->currentIndex();
    m_copyButton->setEnabled(!rows.isEmpty());
    // A file that is gone has no folder to show (or one that no longer holds it).
    m_showInFolderButton->setEnabled(current.isValid() &&
                                     QFileInfo::exists(m_model->logRow(current.row()).filePath));
    m_exportButton->setEnabled(m_model->rowCount() > 0 && !m_model->isExporting());
    m_clearLogButton->setEnabled(m_model->totalCount() > 0 || m_model->rowCount() > 0);
}

void LMImportLogViewController::loadView()
{
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("importLogView"));

    m_searchField = new QLineEdit(root);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(tr("Search file, category or server"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setAccessibleName(tr("Search the import log"));
    connect(m_searchField, &QLineEdit::textChanged, m_searchDelay, qOverload<>(&QTimer::start));
    m_countLabel = new QLabel(root);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_countLabel->setForegroundRole(QPalette::PlaceholderText);

    m_tableView = new QTableView(root);
    m_tableView->setObjectName(QStringLiteral("ImportLogTableView"));
    m_tableView->setAccessibleName(tr("Uploaded files"));
    m_tableView->setModel(m_model);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setAlternatingRowColors(true);
    m_tableView->setShowGrid(false);
    m_tableView->setWordWrap(false);
    m_tableView->setTextElideMode(Qt::ElideMiddle);
    m_tableView->verticalHeader()->hide();
    // One height for every row: the view never measures rows it has not shown.
    m_tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tableView->verticalHeader()->setDefaultSectionSize(m_tableView->fontMetrics().height() + 8);
    m_tableView->setSortingEnabled(true);
    m_tableView->sortByColumn(ImportLogModel::UploadTimeColumn, Qt::DescendingOrder);
    QHeaderView *header = m_tableView->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(ImportLogModel::CategoryColumn, QHeaderView::Stretch);
    header->resizeSection(ImportLogModel::FileColumn, 200);
    header->resizeSection(ImportLogModel::UploadTimeColumn, 150);
    header->resizeSection(ImportLogModel::BookmarkColumn, 150);
    header->resizeSection(ImportLogModel::SizeColumn, 80);
    // A new search or sort starts at its first rows.
    connect(m_model, &QAbstractItemModel::modelReset, m_tableView, &QTableView::scrollToTop);
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LMImportLogViewController::updateActions);
    connect(m_tableView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &LMImportLogViewController::updateActions);

    auto *copy = new QAction(tr("Copy"), m_tableView);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &LMImportLogViewController::copySelection);
    m_tableView->addAction(copy);

    auto button = [root](const QString &title, const char *name) {
        auto *b = new QPushButton(title, root);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_showInFolderButton = button(tr("Show in Folder"), "showInFolderButton");
    m_copyButton = button(tr("Copy"), "copyButton");
    m_exportButton = button(tr("Export…"), "exportButton");
    m_clearLogButton = button(tr("Clear Log"), "clearLogButton");
    connect(m_showInFolderButton, &QPushButton::clicked, this, &LMImportLogViewController::showInFolder);
    connect(m_copyButton, &QPushButton::clicked, this, &LMImportLogViewController::copySelection);
    connect(m_exportButton, &QPushButton::clicked, this, &LMImportLogViewController::exportButtonWasClicked);
    connect(m_clearLogButton, &QPushButton::clicked, this,
            &LMImportLogViewController::clearLogButtonWasClicked);
    m_statusLabel = new QLabel(root);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_statusLabel->setForegroundRole(QPalette::PlaceholderText);

    auto *top = new QHBoxLayout;
    top->addWidget(m_searchField, 1);
    top->addWidget(m_countLabel);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_showInFolderButton);
    bottom->addWidget(m_copyButton);
    bottom->addWidget(m_exportButton);
    bottom->addWidget(m_statusLabel, 1);
    bottom->addWidget(m_clearLogButton);

    auto *column = new QVBoxLayout(root);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addLayout(top);
    column->addWidget(m_tableView, 1);
    column->addLayout(bottom);
    setView(root);
    updateCounts();
}
