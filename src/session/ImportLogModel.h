#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class Asset;
class ObjectContext;

// The import log's rows: every uploaded record of every bookmark, newest first. Follows the
// store context, so records stamped, renamed or deleted while the log is open show at once
// (changes are gathered and applied together on the next turn of the event loop).
class ImportLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileColumn, CategoryColumn, UploadTimeColumn, BookmarkColumn, ColumnCount };
    static inline const QString NoBookmark = QStringLiteral("—");

    explicit ImportLogModel(QObject *parent = nullptr);
    ~ImportLogModel() override;

    // Null shows an empty log.
    void setContext(ObjectContext *context);
    [[nodiscard]] ObjectContext *context() const;

    // Re-reads the context now.
    void refresh();

    [[nodiscard]] Asset *record(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

    [[nodiscard]] static QString formatUploadTime(const QDateTime &when);

private:
    void scheduleRefresh();

    QPointer<ObjectContext> m_context;
    QList<QPointer<Asset>> m_rows;
    bool m_refreshPending = false;
};
