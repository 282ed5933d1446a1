#include "session/ImportLogModel.h"

#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QLocale>

#include <algorithm>

ImportLogModel::ImportLogModel(QObject *parent) : QAbstractTableModel(parent) {}

ImportLogModel::~ImportLogModel() = default;

void ImportLogModel::setContext(ObjectContext *context)
{
    if (context == m_context)
        return;
    if (m_context)
        m_context->disconnect(this);
    m_context = context;
    if (context) {
        connect(context, &ObjectContext::objectInserted, this, &ImportLogModel::scheduleRefresh);
        connect(context, &ObjectContext::objectDeleted, this, &ImportLogModel::scheduleRefresh);
        connect(context, &ObjectContext::objectChanged, this, &ImportLogModel::scheduleRefresh);
        connect(context, &ObjectContext::didSave, this, &ImportLogModel::scheduleRefresh);
    }
    refresh();
}

ObjectContext *ImportLogModel::context() const
{
    return m_context;
}

void ImportLogModel::scheduleRefresh()
{
    // A batch stamps records one by one and an editor changes fields key by key: one re-read
    // per turn of the event loop is enough.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &ImportLogModel::refresh, Qt::QueuedConnection);
}

void ImportLogModel::refresh()
{
    m_refreshPending = false;
    QList<Asset *> records = m_context ? m_context->fetchUploadedAssets() : QList<Asset *>();
    std::stable_sort(records.begin(), records.end(), [](const Asset *a, const Asset *b) {
        return a->uploadDateTime().value_or(QDateTime()) > b->uploadDateTime().value_or(QDateTime());
    });

    bool same = records.size() == m_rows.size();
    for (qsizetype i = 0; same && i < records.size(); ++i)
        same = records.at(i) == m_rows.at(i);
    if (same) {
        // Same rows: only texts may have changed (a bookmark renamed, say); keep the selection.
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    m_rows.clear();
    for (Asset *record : std::as_const(records))
        m_rows.append(record);
    endResetModel();
}

Asset *ImportLogModel::record(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).data() : nullptr;
}

int ImportLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ImportLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ImportLogModel::formatUploadTime(const QDateTime &when)
{
    if (!when.isValid())
        return {};
    const QDateTime local = when.toLocalTime();
    const QLocale locale;
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           local.time().toString(QStringLiteral("HH:mm:ss"));
}

QVariant ImportLogModel::data(const QModelIndex &index, int role) const
{
    const Asset *asset = record(index.row());
    if (!asset || !index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case FileColumn:
            return asset->fileName();
        case CategoryColumn:
            return asset->categoryPath().value_or(QString());
        case UploadTimeColumn:
            return formatUploadTime(asset->uploadDateTime().value_or(QDateTime()));
        case BookmarkColumn:
            return asset->bookmark() ? asset->bookmark()->bookmarkLongName() : NoBookmark;
        default:
            return {};
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (index.column()) {
        case FileColumn:
            return asset->filePath().value_or(QString());
        case UploadTimeColumn:
            return QLocale().toString(asset->uploadDateTime().value_or(QDateTime()).toLocalTime(),
                                      QLocale::LongFormat);
        default:
            return data(index, Qt::DisplayRole);
        }
    }
    return {};
}

QVariant ImportLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case FileColumn:
        return tr("File");
    case CategoryColumn:
        return tr("Category");
    case UploadTimeColumn:
        return tr("Uploaded");
    case BookmarkColumn:
        return tr("Server");
    default:
        return {};
    }
}
