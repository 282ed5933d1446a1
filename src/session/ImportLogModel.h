#pragma once

#include "store/LogQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPointer>

class Asset;
class CoalescedUpdate;
class LogSource;
class ManagedObject;
class ObjectContext;

// The import log's rows: every uploaded record of every bookmark, searched and sorted by the
// store on a worker thread. The model holds only the ordered keys and a bounded cache of the
// rows on screen, so a long history costs neither launch time nor memory. It follows the
// context: unsaved changes (a cleared log, a stamp not yet saved, a renamed or deleted
// bookmark) show as they are there, and a new entry arrives as one row inserted at its place,
// without asking the store again: a batch with the log open costs a few comparisons per file.
class ImportLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileColumn, CategoryColumn, UploadTimeColumn, BookmarkColumn, SizeColumn, ColumnCount };
    static inline const QString NoBookmark = QStringLiteral("—");

    // Without a context or a store file the log stays empty.
    explicit ImportLogModel(ObjectContext *context, QObject *parent = nullptr);
    ~ImportLogModel() override;

    [[nodiscard]] ObjectContext *context() const;

    // Asks the store again; the rows follow when it answers.
    void refresh();
    [[nodiscard]] bool isLoaded() const { return m_loaded; }

    void setSearchText(const QString &text);
    [[nodiscard]] QString searchText() const { return m_query.search; }
    [[nodiscard]] const LogQuery &query() const { return m_query; }
    // Rows without the search.
    [[nodiscard]] qint64 totalCount() const { return m_total; }

    // The record's one object, loaded when nothing holds it yet.
    [[nodiscard]] Asset *record(int row) const;
    [[nodiscard]] LogRow logRow(int row) const;
    [[nodiscard]] QString bookmarkText(const LogRow &row) const;

    // Writes the shown rows as CSV on a worker thread; false while an export runs.
    bool exportCsv(const QString &path);
    [[nodiscard]] bool isExporting() const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    [[nodiscard]] static QString formatUploadTime(const QDateTime &when);
    [[nodiscard]] static QString formatSize(const QVariant &bytes);

signals:
    // The shown or total count changed, or the first answer arrived.
    void countsChanged();
    void exportFinished(bool ok, qint64 rows, const QString &error);

private:
    void scheduleRefresh();
    void contextChanged(ManagedObject *record, const QString &key);
    // A saved record stamped for the first time, as one row at its place; false when the store
    // has to be asked instead. New entries are placed at most about 30 times a second, so a
    // batch of tiny files does not redraw the table per file.
    bool placeNewEntry(Asset *asset);
    void placeArrivals();
    // Where the entry goes among the rows, as the store's query would put it.
    [[nodiscard]] int placeOf(const LogRow &entry) const;
    void insertEntry(int row, qint64 key);
    // The row as the store's query sorts and searches it (by its bookmark's name).
    [[nodiscard]] LogRow comparableRow(int row) const;
    void applyKeys(const QList<qint64> &keys, qint64 total);
    bool applyDifference(const QList<qint64> &keys);
    [[nodiscard]] const LogRow *storedRow(int row) const;

    QPointer<ObjectContext> m_context;
    LogSource *m_source = nullptr;
    LogQuery m_query;
    QList<qint64> m_keys;
    qint64 m_total = 0;
    bool m_loaded = false;
    bool m_refreshPending = false;
    bool m_awaitingKeys = false;
    CoalescedUpdate *m_arrivals;
    QList<QPointer<Asset>> m_arriving;
    // Entries placed while the store was being asked: its answer may lack them.
    QList<QPointer<Asset>> m_placedMeanwhile;
    // Rows of records not yet saved, whose keys change when they are.
    qsizetype m_unsavedRows = 0;
    // Rows read from the file for display, by key; dropped whenever the store answers again.
    mutable QHash<qint64, LogRow> m_rows;
};
