#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QFormLayout;
class QLabel;
class QWidget;
class RecordFieldBinding;
class ServerBookmark;

// The bound fields of one bookmark sheet and its live address line: the editor and the
// advanced settings edit the same record this way.
class BookmarkForm : public QObject {
    Q_OBJECT
public:
    explicit BookmarkForm(QObject *parent = nullptr);

    // Adds the read-only "Address:" row that follows the record's urlString.
    void addAddressRow(QFormLayout *form, QWidget *parent);
    void setBindings(const QList<RecordFieldBinding *> &bindings);
    // Shows and edits this record from now on; null empties and disables the fields.
    void setBookmark(ServerBookmark *bookmark);

    void commit();
    // Once the editing is decided, a field losing focus as the sheet goes must not write again.
    void detach(bool commitFirst);

private:
    void updateAddress();

    QPointer<ServerBookmark> m_bookmark;
    QPointer<QLabel> m_addressLabel;
    QList<QPointer<RecordFieldBinding>> m_bindings;
    QMetaObject::Connection m_bookmarkConnection;
};
