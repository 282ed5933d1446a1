#include "bookmarks/BookmarksTableModel.h"

#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QFont>

BookmarksTableModel::BookmarksTableModel(QObject *parent) : QAbstractTableModel(parent) {}

BookmarksTableModel::~BookmarksTableModel() = default;

void BookmarksTableModel::setContext(ObjectContext *context)
{
    if (context == m_context)
        return;
    beginResetModel();
    if (m_context)
        disconnect(m_context, nullptr, this, nullptr);
    m_context = context;
    m_rows.clear();
    if (context) {
        for (ServerBookmark *bookmark : context->fetchAllBookmarks())
            m_rows.append(bookmark);
        connect(context, &ObjectContext::objectInserted, this, &BookmarksTableModel::recordInserted);
        connect(context, &ObjectContext::objectDeleted, this, &BookmarksTableModel::recordDeleted);
        connect(context, &ObjectContext::objectChanged, this, &BookmarksTableModel::recordChanged);
        // A context going away takes its records along.
        connect(context, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_rows.clear();
            endResetModel();
        });
    }
    endResetModel();
}

ObjectContext *BookmarksTableModel::context() const
{
    return m_context;
}

QString BookmarksTableModel::serverText(const ServerBookmark *bookmark)
{
    const std::optional<qint64> port = bookmark->portNumber();
    const qint64 schemePort = bookmark->secureConnect() == true ? 443 : 80;
    QString text = bookmark->urlShortString();
    if (!port || *port == 0 || *port == schemePort)
        return text;
    // An IPv6 address keeps its colons apart from the port's.
    const QString host = bookmark->hostName().value_or(QString());
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))) {
        text.chop(host.size());
        text += QLatin1Char('[') + host + QLatin1Char(']');
    }
    return text + QLatin1Char(':') + QString::number(*port);
}

ServerBookmark *BookmarksTableModel::bookmarkAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).data() : nullptr;
}

int BookmarksTableModel::rowOf(const ServerBookmark *bookmark) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row) == bookmark)
            return row;
    }
    return -1;
}

int BookmarksTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BookmarksTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BookmarksTableModel::data(const QModelIndex &index, int role) const
{
    const ServerBookmark *bookmark = index.isValid() ? bookmarkAt(index.row()) : nullptr;
    if (!bookmark)
        return {};
    const bool sessionOpen = bookmark->sessionWindowOpen().value_or(false);
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == NameColumn ? bookmark->bookmarkLongName() : serverText(bookmark);
    case Qt::ToolTipRole:
        return sessionOpen ? tr("%1 (session window open)").arg(bookmark->urlString())
                           : bookmark->urlString();
    case Qt::FontRole:
        if (sessionOpen) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case BookmarkRole:
        return QVariant::fromValue<QObject *>(const_cast<ServerBookmark *>(bookmark));
    default:
        return {};
    }
}

QVariant BookmarksTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? tr("Name") : tr("Server");
}

void BookmarksTableModel::recordInserted(ManagedObject *record)
{
    auto *bookmark = qobject_cast<ServerBookmark *>(record);
    if (!bookmark || rowOf(bookmark) >= 0)
        return;
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(bookmark);
    endInsertRows();
}

void BookmarksTableModel::recordDeleted(ManagedObject *record)
{
    const int row = rowOf(qobject_cast<ServerBookmark *>(record));
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void BookmarksTableModel::recordChanged(ManagedObject *record, const QString &)
{
    // A record that is deleted still announces field changes (an undo step may touch it).
    if (record->isDeleted())
        return;
    const int row = rowOf(qobject_cast<ServerBookmark *>(record));
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
