#pragma once

#include "platform/widgets/ViewController.h"

#include <QPointer>

class ImportLogModel;
class ObjectContext;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

// The import log: every uploaded file of every bookmark, searchable and sortable, with a count
// of the rows shown, CSV export, Show in Folder, Copy and Clear Log. Reads and deletes records
// of the store context it is given; never talks to a server.
class LMImportLogViewController : public ViewController {
    Q_OBJECT
public:
    // Without a context (the store could not be opened) the log is empty.
    explicit LMImportLogViewController(ObjectContext *context, QObject *parent = nullptr);
    ~LMImportLogViewController() override;

    [[nodiscard]] ImportLogModel *ImportLogArrayController() const { return m_model; }
    // Interface elements; null until the view is loaded.
    [[nodiscard]] QTableView *ImportLogTableView() const { return m_tableView; }
    [[nodiscard]] QPushButton *clearLogButton() const { return m_clearLogButton; }
    [[nodiscard]] QLineEdit *searchField() const { return m_searchField; }
    [[nodiscard]] QLabel *countLabel() const { return m_countLabel; }
    [[nodiscard]] QLabel *statusLabel() const { return m_statusLabel; }
    [[nodiscard]] QPushButton *showInFolderButton() const { return m_showInFolderButton; }
    [[nodiscard]] QPushButton *copyButton() const { return m_copyButton; }
    [[nodiscard]] QPushButton *exportButton() const { return m_exportButton; }

    [[nodiscard]] ObjectContext *managedObjectContext() const;

    void viewWillAppear() override;

    // The selected rows as text, one line each, tab-separated, in the order shown.
    [[nodiscard]] QString selectedRowsText() const;

public slots:
    // Deletes every uploaded record without asking and without saving; pending ones stay.
    void clearLogButtonWasClicked();
    void showInFolder();
    void copySelection();
    // Asks where to, then exportToFile().
    void exportButtonWasClicked();
    void exportToFile(const QString &path);

protected:
    void loadView() override;

private:
    void updateCounts();
    void updateActions();
    void exportFinished(bool ok, qint64 rows, const QString &error);
    [[nodiscard]] QList<int> selectedRows() const;

    QPointer<ObjectContext> m_managedObjectContext;
    ImportLogModel *m_model;
    QTimer *m_searchDelay;
    QString m_exportPath;
    // Owned by the view.
    QTableView *m_tableView = nullptr;
    QPushButton *m_clearLogButton = nullptr;
    QLineEdit *m_searchField = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
    QPushButton *m_showInFolderButton = nullptr;
    QPushButton *m_copyButton = nullptr;
    QPushButton *m_exportButton = nullptr;
};
