#include "session/ImportLogModel.h"

#include "platform/CoalescedUpdate.h"
#include "platform/DisplayName.h"
#include "store/Asset.h"
#include "store/LogSource.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QLocale>
#include <QRegularExpression>
#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <utility>

Q_LOGGING_CATEGORY(lcImportLog, "lumaro.importlog")

namespace {
// Rows read around the one asked for: a screenful and then some, in one statement.
constexpr int PageBefore = 32;
constexpr int PageAfter = 96;
// The cache never holds more than this; scrolling through the whole log keeps memory flat.
constexpr int CacheLimit = 2048;
// More changes than this at once are shown as a new list rather than row by row.
constexpr qsizetype MaxRowChanges = 1000;
// New entries take their places a few times a second: the log is watched beside the batch, not
// followed file by file, and every insertion at the top redraws the whole visible table, which
// at the upload view's pace cost a batch a fifth of its speed.
constexpr int ArrivalIntervalMs = 200;
} // namespace

ImportLogModel::ImportLogModel(ObjectContext *context, QObject *parent)
    : QAbstractTableModel(parent), m_context(context),
      m_arrivals(new CoalescedUpdate([this] { placeArrivals(); }, this, ArrivalIntervalMs))
{
    if (!context || !context->storeFile())
        return;
    m_source = new LogSource(context->storeFile()->path(), this);
    connect(m_source, &LogSource::keysReady, this, &ImportLogModel::applyKeys);
    connect(m_source, &LogSource::fetchFailed, this, [this](const QString &error) {
        qCWarning(lcImportLog) << "cannot read the log:" << error;
        m_awaitingKeys = false;
        m_placedMeanwhile.clear();
    });
    connect(m_source, &LogSource::exportFinished, this, &ImportLogModel::exportFinished);
    connect(context, &ObjectContext::objectChanged, this, &ImportLogModel::contextChanged);
    connect(context, &ObjectContext::objectDeleted, this,
            [this](ManagedObject *record) { contextChanged(record, {}); });
    connect(context, &ObjectContext::didSave, this, [this] {
        // Saved rows keep their keys and places; only records saved for the first time get new
        // keys.
        if (m_unsavedRows > 0)
            scheduleRefresh();
    });
    connect(context, &ObjectContext::uploadedAssetsDeleted, this, [this] {
        // Everything shown is gone: no need to wait for the store to say so.
        m_arriving.clear();
        if (!m_keys.isEmpty()) {
            beginResetModel();
            m_keys.clear();
            m_rows.clear();
            endResetModel();
        }
        refresh();
    });
    refresh();
}

ImportLogModel::~ImportLogModel() = default;

ObjectContext *ImportLogModel::context() const
{
    return m_context;
}

void ImportLogModel::contextChanged(ManagedObject *record, const QString &key)
{
    if (auto *asset = qobject_cast<Asset *>(record)) {
        if (asset->isPending() && key != Asset::kUploadDateTime)
            return; // queue business
        if (key == Asset::kUploadDateTime && placeNewEntry(asset))
            return;
        // What the log neither shows, searches nor sorts by (the state a stamp sets beside the
        // time, a fingerprint): asking the store again for it cost a batch a query per file.
        static const QStringList shown{Asset::kUploadDateTime, Asset::kFilePath, Asset::kCategoryPath,
                                       Asset::kFileSize, Asset::kBookmark};
        if (!key.isEmpty() && !shown.contains(key))
            return;
    } else if (!key.isEmpty() && key != ServerBookmark::kBookmarkName) {
        return;
    }
    scheduleRefresh();
}

bool ImportLogModel::placeNewEntry(Asset *asset)
{
    // Anything but a first stamp of a saved record under a saved bookmark may move, drop or
    // rename rows: the store says how.
    const qint64 key = asset->objectId();
    const ServerBookmark *bookmark = asset->bookmark();
    if (!m_loaded || key <= 0 || asset->isPending() || (bookmark && bookmark->objectId() <= 0) ||
        asset->committedValues().value(Asset::kUploadDateTime).isValid())
        return false;
    if (m_awaitingKeys)
        m_placedMeanwhile.append(asset);
    m_arriving.append(asset);
    m_arrivals->request();
    return true;
}

void ImportLogModel::placeArrivals()
{
    // Found against the rows as they are, then put in as one block per place: a burst of
    // entries at the top is one insertion for the view, not one per file.
    struct Placed {
        int row;
        LogRow entry;
    };
    QList<Placed> placed;
    QSet<qint64> seen;
    bool counted = false;
    for (const QPointer<Asset> &asset : std::exchange(m_arriving, {})) {
        if (!asset || asset->isPending() || seen.contains(asset->objectId()))
            continue;
        seen.insert(asset->objectId());
        const LogRow entry = LogRow::of(asset, asset->objectId());
        if (m_query.matches(entry)) {
            const int row = placeOf(entry);
            // Already in an answer: it is in its place.
            if (row < rowCount() && m_keys.at(row) == entry.key)
                continue;
            placed.append({row, entry});
        }
        ++m_total;
        counted = true;
    }
    std::stable_sort(placed.begin(), placed.end(), [this](const Placed &a, const Placed &b) {
        return a.row != b.row ? a.row < b.row : m_query.before(a.entry, b.entry);
    });
    qsizetype shift = 0;
    for (qsizetype i = 0; i < placed.size();) {
        qsizetype end = i + 1;
        while (end < placed.size() && placed.at(end).row == placed.at(i).row)
            ++end;
        const qsizetype first = placed.at(i).row + shift;
        beginInsertRows({}, int(first), int(first + end - i - 1));
        m_keys.insert(first, end - i, 0);
        for (qsizetype k = i; k < end; ++k)
            m_keys[first + k - i] = placed.at(k).entry.key;
        endInsertRows();
        shift += end - i;
        i = end;
    }
    if (counted)
        emit countsChanged();
}

int ImportLogModel::placeOf(const LogRow &entry) const
{
    // Most entries are newest and land at one end: the ends are tried before halving.
    const int rows = rowCount();
    if (rows == 0 || m_query.before(entry, comparableRow(0)))
        return 0;
    if (m_query.before(comparableRow(rows - 1), entry))
        return rows;
    int first = 0;
    int last = rows - 1;
    while (first < last) {
        const int middle = first + (last - first) / 2;
        if (m_query.before(comparableRow(middle), entry))
            first = middle + 1;
        else
            last = middle;
    }
    return first;
}

void ImportLogModel::insertEntry(int row, qint64 key)
{
    beginInsertRows({}, row, row);
    m_keys.insert(row, key);
    endInsertRows();
}

LogRow ImportLogModel::comparableRow(int row) const
{
    LogRow log = logRow(row);
    // A row read from the file names its bookmark by id.
    if (log.bookmarkName.isNull() && log.bookmarkId > 0 && m_context) {
        if (const ServerBookmark *bookmark = m_context->registeredBookmark(log.bookmarkId))
            log.bookmarkName = bookmark->bookmarkLongName();
    }
    return log;
}

void ImportLogModel::scheduleRefresh()
{
    // A batch stamps and saves record after record, an editor changes a name key by key: one
    // question per turn of the event loop is enough.
    if (m_refreshPending || !m_source)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &ImportLogModel::refresh, Qt::QueuedConnection);
}

void ImportLogModel::refresh()
{
    m_refreshPending = false;
    if (!m_source || !m_context)
        return;
    m_awaitingKeys = true;
    m_placedMeanwhile.clear();
    m_source->fetch(m_query, m_context->logSnapshot());
}

void ImportLogModel::setSearchText(const QString &text)
{
    if (text == m_query.search)
        return;
    m_query.search = text;
    refresh();
}

void ImportLogModel::sort(int column, Qt::SortOrder order)
{
    static const QHash<int, LogQuery::Column> columns{{FileColumn, LogQuery::File},
                                                      {CategoryColumn, LogQuery::Category},
                                                      {UploadTimeColumn, LogQuery::Time},
                                                      {BookmarkColumn, LogQuery::Bookmark},
                                                      {SizeColumn, LogQuery::Size}};
    if (!columns.contains(column))
        return;
    LogQuery query = m_query;
    query.sortColumn = columns.value(column);
    query.order = order;
    if (query == m_query)
        return;
    m_query = query;
    refresh();
}

void ImportLogModel::applyKeys(const QList<qint64> &keys, qint64 total)
{
    m_arrivals->flush();
    // The file may have changed under any row: read again what is shown.
    m_rows.clear();
    const bool firstAnswer = !m_loaded;
    const qsizetype shown = m_keys.size();
    m_loaded = true;
    m_awaitingKeys = false;
    if (!applyDifference(keys)) {
        beginResetModel();
        m_keys = keys;
        endResetModel();
    } else if (!m_keys.isEmpty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    }
    // Entries stamped after the question may be missing from the answer: they take their
    // places again. Without a search the total is the rows listed; with one it may or may not
    // count them, and the store is asked once more.
    const QList<QPointer<Asset>> placed = std::exchange(m_placedMeanwhile, {});
    bool missing = false;
    if (!placed.isEmpty()) {
        const QSet<qint64> answered(keys.cbegin(), keys.cend());
        for (const QPointer<Asset> &asset : placed) {
            if (!asset || asset->isPending() || answered.contains(asset->objectId()))
                continue;
            missing = true;
            const LogRow entry = LogRow::of(asset, asset->objectId());
            if (m_query.matches(entry)) {
                insertEntry(placeOf(entry), entry.key);
                if (m_query.search.trimmed().isEmpty())
                    ++total;
            }
        }
    }
    if (missing && !m_query.search.trimmed().isEmpty())
        scheduleRefresh();
    m_unsavedRows = std::count_if(m_keys.cbegin(), m_keys.cend(), [](qint64 key) { return key <= 0; });
    if (firstAnswer || m_total != total || shown != m_keys.size()) {
        m_total = total;
        emit countsChanged();
    }
}

// Moves from the rows shown to these as rows removed and inserted, when the rows both have
// keep their order; false when a reset says it better (a new sort, a new search).
bool ImportLogModel::applyDifference(const QList<qint64> &keys)
{
    const QList<qint64> &old = m_keys;
    // (Qt 6.4 compares two empty lists with a null pointer to memcmp.)
    if (old.size() == keys.size() && (old.isEmpty() || old == keys))
        return true;
    // The usual case: one block came or went (a new entry at its place, deletions).
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(old.size(), keys.size());
    while (prefix < shorter && old.at(prefix) == keys.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && old.at(old.size() - 1 - suffix) == keys.at(keys.size() - 1 - suffix))
        ++suffix;
    QList<qsizetype> removed;
    QList<qsizetype> inserted;
    if (prefix + suffix == old.size()) {
        for (qsizetype i = prefix; i < keys.size() - suffix; ++i)
            inserted.append(i);
    } else if (prefix + suffix == keys.size()) {
        for (qsizetype i = prefix; i < old.size() - suffix; ++i)
            removed.append(i);
    } else {
        const QSet<qint64> now(keys.cbegin(), keys.cend());
        const QSet<qint64> before(old.cbegin(), old.cend());
        QList<qint64> kept;
        for (qsizetype i = 0; i < old.size(); ++i) {
            if (now.contains(old.at(i)))
                kept.append(old.at(i));
            else
                removed.append(i);
        }
        qsizetype k = 0;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (!before.contains(keys.at(i)))
                inserted.append(i);
            else if (k >= kept.size() || kept.at(k++) != keys.at(i))
                return false; // rows that stay changed places
        }
    }
    if (removed.size() + inserted.size() > MaxRowChanges)
        return false;
    // Removals from the back so the positions still hold, then insertions from the front.
    for (qsizetype n = removed.size(); n > 0;) {
        qsizetype first = --n;
        while (first > 0 && removed.at(first - 1) == removed.at(first) - 1)
            --first;
        beginRemoveRows({}, int(removed.at(first)), int(removed.at(n)));
        m_keys.remove(removed.at(first), removed.at(n) - removed.at(first) + 1);
        endRemoveRows();
        n = first;
    }
    for (qsizetype n = 0; n < inserted.size();) {
        qsizetype last = n;
        while (last + 1 < inserted.size() && inserted.at(last + 1) == inserted.at(last) + 1)
            ++last;
        beginInsertRows({}, int(inserted.at(n)), int(inserted.at(last)));
        for (qsizetype i = inserted.at(n); i <= inserted.at(last); ++i)
            m_keys.insert(i, keys.at(i));
        endInsertRows();
        n = last + 1;
    }
    return true;
}

const LogRow *ImportLogModel::storedRow(int row) const
{
    const qint64 key = m_keys.at(row);
    auto found = m_rows.constFind(key);
    if (found != m_rows.cend())
        return &*found;
    StoreFile *store = m_context ? m_context->storeFile() : nullptr;
    if (!store)
        return nullptr;
    if (m_rows.size() > CacheLimit)
        m_rows.clear();
    QList<qint64> ids;
    const int last = std::min(int(m_keys.size()) - 1, row + PageAfter);
    for (int i = std::max(0, row - PageBefore); i <= last; ++i) {
        if (m_keys.at(i) > 0 && !m_rows.contains(m_keys.at(i)))
            ids.append(m_keys.at(i));
    }
    QString error;
    const auto loaded = store->loadAssetsById(ids, &error);
    if (!loaded)
        qCWarning(lcImportLog) << "cannot read log rows:" << error;
    for (const StoreFile::Row &stored : loaded.value_or(QList<StoreFile::Row>())) {
        LogRow logRow = LogRow::of(stored.values, stored.id);
        logRow.bookmarkId = stored.bookmarkId;
        m_rows.insert(stored.id, logRow);
    }
    found = m_rows.constFind(key);
    return found != m_rows.cend() ? &*found : nullptr;
}

LogRow ImportLogModel::logRow(int row) const
{
    if (row < 0 || row >= m_keys.size() || !m_context)
        return {};
    const qint64 key = m_keys.at(row);
    // A record that has an object is shown as the object has it, saved or not.
    Asset *asset = key > 0 ? m_context->registeredAsset(key) : m_context->assetForLogKey(key);
    if (asset)
        return LogRow::of(asset, key);
    const LogRow *stored = key > 0 ? storedRow(row) : nullptr;
    return stored ? *stored : LogRow{};
}

Asset *ImportLogModel::record(int row) const
{
    if (row < 0 || row >= m_keys.size() || !m_context)
        return nullptr;
    return m_context->assetForLogKey(m_keys.at(row));
}

QString ImportLogModel::bookmarkText(const LogRow &row) const
{
    // The name as the context has it now: a rename shows before it is saved.
    if (row.bookmarkId > 0) {
        const ServerBookmark *bookmark = m_context ? m_context->registeredBookmark(row.bookmarkId) : nullptr;
        return bookmark ? bookmark->bookmarkLongName() : NoBookmark;
    }
    return row.bookmarkName.isNull() ? NoBookmark : row.bookmarkName;
}

bool ImportLogModel::exportCsv(const QString &path)
{
    return m_source && m_context && m_source->exportCsv(path, m_query, m_context->logSnapshot());
}

bool ImportLogModel::isExporting() const
{
    return m_source && m_source->isExporting();
}

int ImportLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
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
    // The locale's long time keeps the seconds a log needs; its time zone name is noise here.
    // Worked out once per locale, not for every cell painted.
    static QString formatLocale;
    static QString timeFormat;
    if (locale.name() != formatLocale) {
        static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?"));
        formatLocale = locale.name();
        timeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    }
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), timeFormat);
}

QString ImportLogModel::formatSize(const QVariant &bytes)
{
    return bytes.isValid()
               ? QLocale().formattedDataSize(bytes.toLongLong(), 1, QLocale::DataSizeTraditionalFormat)
               : QString();
}

QVariant ImportLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_keys.size())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const LogRow row = logRow(index.row());
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(row.uploadMs, Qt::UTC);
    switch (index.column()) {
    case FileColumn:
        return DisplayName::visible(role == Qt::ToolTipRole ? row.filePath : row.fileName());
    case CategoryColumn:
        return DisplayName::visible(row.categoryPath);
    case UploadTimeColumn:
        return role == Qt::ToolTipRole ? QLocale().toString(when.toLocalTime(), QLocale::LongFormat)
                                       : formatUploadTime(when);
    case BookmarkColumn:
        return bookmarkText(row);
    case SizeColumn:
        return role == Qt::ToolTipRole && row.fileSize.isValid()
                   ? tr("%1 bytes").arg(QLocale().toString(row.fileSize.toLongLong()))
                   : formatSize(row.fileSize);
    default:
        return {};
    }
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
        //: Column header: the date and time a file was uploaded
        return tr("Uploaded");
    case BookmarkColumn:
        return tr("Server");
    case SizeColumn:
        return tr("Size");
    default:
        return {};
    }
}
