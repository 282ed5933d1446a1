#pragma once

#include "app/SharedContext.h"

#include "platform/widgets/ViewController.h"

#include <QPointer>

class ImportLogModel;
class ObjectContext;
class QLabel;
class QPushButton;
class QTableView;

// The import log: every uploaded file of every bookmark, newest first, and Clear Log. Reads
// and deletes records of the shared store context; never talks to a server.
class LMImportLogViewController : public ViewController {
    Q_OBJECT
public:
    explicit LMImportLogViewController(QObject *parent = nullptr);
    ~LMImportLogViewController() override;

    [[nodiscard]] ImportLogModel *ImportLogArrayController() const { return m_model; }
    // Null until the view is loaded.
    [[nodiscard]] QTableView *ImportLogTableView() const { return m_tableView; }
    [[nodiscard]] QPushButton *clearLogButton() const { return m_clearLogButton; }

    // Taken from the application delegate on first use and kept; null when the store could not
    // be opened.
    [[nodiscard]] ObjectContext *managedObjectContext();

    void viewWillAppear() override;

public slots:
    // Deletes every uploaded record without asking and without saving; pending ones stay.
    void clearLogButtonWasClicked();

protected:
    void loadView() override;

private:
    void updateSummary();

    ImportLogModel *m_model;
    SharedContext m_managedObjectContext;
    // Owned by the view.
    QTableView *m_tableView = nullptr;
    QPushButton *m_clearLogButton = nullptr;
    QLabel *m_summaryLabel = nullptr;
};
