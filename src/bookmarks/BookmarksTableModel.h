#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class ManagedObject;
class ObjectContext;
class ServerBookmark;

// The bookmarks of one context, one row each in store order, kept live: inserted, deleted and
// changed records show at once, saved or not. Sorting is left to a proxy.
class BookmarksTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, ServerColumn, ColumnCount };
    // The record of a row, for views and proxies.
    static constexpr int BookmarkRole = Qt::UserRole + 1;

    explicit BookmarksTableModel(QObject *parent = nullptr);
    BookmarksTableModel(const BookmarksTableModel &) = delete;
    BookmarksTableModel &operator=(const BookmarksTableModel &) = delete;
    ~BookmarksTableModel() override;

    // No context lists nothing.
    void setContext(ObjectContext *context);
    [[nodiscard]] ObjectContext *context() const;

    // The Server column: scheme and host, and the port when it is not the scheme's own, so two
    // bookmarks to one host on different ports can be told apart.
    [[nodiscard]] static QString serverText(const ServerBookmark *bookmark);

    [[nodiscard]] ServerBookmark *bookmarkAt(int row) const;
    [[nodiscard]] int rowOf(const ServerBookmark *bookmark) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    void recordInserted(ManagedObject *record);
    void recordDeleted(ManagedObject *record);
    void recordChanged(ManagedObject *record, const QString &key);

    QPointer<ObjectContext> m_context;
    QList<QPointer<ServerBookmark>> m_rows;
};
