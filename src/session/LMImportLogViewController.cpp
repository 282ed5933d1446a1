#include "session/LMImportLogViewController.h"

#include "app/AppDelegate.h"
#include "session/ImportLogModel.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

LMImportLogViewController::LMImportLogViewController(QObject *parent)
    : ViewController(parent), m_model(new ImportLogModel(this))
{
    connect(m_model, &QAbstractItemModel::modelReset, this, &LMImportLogViewController::updateSummary);
}

LMImportLogViewController::~LMImportLogViewController() = default;

ObjectContext *LMImportLogViewController::managedObjectContext()
{
    return m_managedObjectContext.get();
}

void LMImportLogViewController::viewWillAppear()
{
    (void)view();
    m_model->setContext(managedObjectContext());
    m_model->refresh();
}

void LMImportLogViewController::clearLogButtonWasClicked()
{
    ObjectContext *context = managedObjectContext();
    if (!context)
        return;
    for (Asset *record : context->fetchUploadedAssets())
        context->deleteObject(record);
    // The rows go now, not on the next turn of the loop.
    m_model->refresh();
}

void LMImportLogViewController::updateSummary()
{
    if (!m_summaryLabel)
        return;
    const int count = m_model->rowCount();
    if (count == 0)
        m_summaryLabel->setText(tr("No uploads recorded"));
    else
        m_summaryLabel->setText(count == 1 ? tr("1 file uploaded") : tr("%1 files uploaded").arg(count));
    m_clearLogButton->setEnabled(count > 0);
}

void LMImportLogViewController::loadView()
{
    auto *root = new QWidget;
    root->setObjectName(QStringLiteral("importLogView"));

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
    m_tableView->verticalHeader()->setDefaultSectionSize(m_tableView->fontMetrics().height() + 8);
    QHeaderView *header = m_tableView->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(ImportLogModel::CategoryColumn, QHeaderView::Stretch);
    header->resizeSection(ImportLogModel::FileColumn, 200);
    header->resizeSection(ImportLogModel::UploadTimeColumn, 150);
    header->resizeSection(ImportLogModel::BookmarkColumn, 180);

    m_clearLogButton = new QPushButton(tr("Clear Log"), root);
    m_clearLogButton->setObjectName(QStringLiteral("clearLogButton"));
    connect(m_clearLogButton, &QPushButton::clicked, this,
            &LMImportLogViewController::clearLogButtonWasClicked);
    m_summaryLabel = new QLabel(root);
    m_summaryLabel->setForegroundRole(QPalette::PlaceholderText);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_summaryLabel, 1);
    bottom->addWidget(m_clearLogButton);

    auto *column = new QVBoxLayout(root);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addWidget(m_tableView, 1);
    column->addLayout(bottom);
    setView(root);
    updateSummary();
}
