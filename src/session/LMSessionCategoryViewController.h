#pragma once

#include "platform/widgets/ColumnBrowser.h"
#include "platform/widgets/ColumnBrowserDelegate.h"
#include "platform/widgets/ViewController.h"

#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>

#include <optional>

class LMServerConnection;
class LMSessionWindowController;
class QLabel;
class QPushButton;
struct Notification;

// The category tree of the session's server in a column browser, one column per level. Every
// row comes from the connection's model; the view only asks the connection to select, load and
// create. When the session restores a stored category it walks the browser down the rebuilt
// path one level per notification.
class LMSessionCategoryViewController : public ViewController, public ColumnBrowserDelegate {
    Q_OBJECT
    Q_PROPERTY(qint64 initialCategoryID READ initialCategoryID WRITE setInitialCategoryID)

public:
    static inline const QString StoryboardIdentifier = QStringLiteral("CategoryView");
    struct SegueIdentifiers {
        static inline const QString showNewCategoryViewController =
            QStringLiteral("showNewCategoryViewController");
    };

    // A browser position; -1 means none.
    struct Position {
        qint64 column = -1;
        qint64 row = -1;
        friend bool operator==(const Position &, const Position &) = default;
    };

    explicit LMSessionCategoryViewController(QObject *parent = nullptr);
    ~LMSessionCategoryViewController() override;

    [[nodiscard]] LMSessionWindowController *sessionWindow() const;
    void setSessionWindow(LMSessionWindowController *window);

    // Interface elements; null until the view is loaded.
    [[nodiscard]] ColumnBrowser *categoryBrowser() const { return m_categoryBrowser.data(); }
    [[nodiscard]] QPushButton *newCategoryButton() const { return m_newCategoryButton; }
    [[nodiscard]] QLabel *loadingCategoryLabel() const { return m_loadingCategoryLabel; }
    // Why the last load failed, shown until the next one; hidden otherwise.
    [[nodiscard]] QLabel *loadFailureLabel() const { return m_loadFailureLabel; }
    [[nodiscard]] QPushButton *setCategoryButton() const { return m_setCategoryButton; }
    // The connection's selected path, as uploads will see it.
    [[nodiscard]] QLabel *selectionLabel() const { return m_selectionLabel; }

    [[nodiscard]] qint64 initialCategoryID() const { return m_initialCategoryID; }
    void setInitialCategoryID(qint64 id) { m_initialCategoryID = id; }
    [[nodiscard]] const std::optional<QList<QJsonObject>> &pathToFollow() const { return m_pathToFollow; }
    [[nodiscard]] qint64 currentPathLevel() const { return m_currentPathLevel; }
    [[nodiscard]] qint64 targetPathLevel() const { return m_targetPathLevel; }
    [[nodiscard]] Position clickedCategory() const { return m_clickedCategory; }
    [[nodiscard]] bool alreadyInitialized() const { return m_alreadyInitialized; }

    // The first call subscribes, loads the top level and starts the path walk; later calls
    // show the browser as it was left.
    void viewWillAppear() override;

    // Forwards the name to the connection; the new category appears once the server confirms.
    void createNewCategory(const QString &name);

    // Notification handlers (sender: this session's connection).
    void gotCategories(const Notification &notification);
    void newCategoryWasCreated(const Notification &notification);
    // A refused or unanswered creation: the user is told why.
    void categoryCreationFailed(const Notification &notification);

    void setBrowserCategoryToPath();
    void prepareForSegue(Segue &segue, QObject *sender) override;

    // Column browser delegate.
    int numberOfRowsInColumn(ColumnBrowser *browser, int column) override;
    void willDisplayCell(ColumnBrowser *browser, BrowserCell &cell, int row, int column) override;

public slots:
    void categoryBrowserWasClicked();
    void newCategoryButtonWasClicked();
    void setCategoryButtonWasClicked();

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    [[nodiscard]] LMServerConnection *connection() const;
    void askConnectionToSelect(Position position);
    void finishLoading();
    // Keeps the reason of a failed load that concerns the clicked position, for finishLoading().
    void noteLoadFailure(const Notification &notification, Position clicked);
    void showSelection();
    // Whether the connection's model holds what the browser shows selected in column.
    [[nodiscard]] bool selectionMatchesModel(qint64 column, qint64 row) const;
    // Whether level column of the connection's model belongs to the browser's selection path.
    [[nodiscard]] bool levelIsCurrent(int column) const;
    // Makes the connection ask the server again for the children of the record at position.
    void forgetChildren(Position position);
    void reportRefusedCategory(const QString &reason);

    QPointer<LMSessionWindowController> m_sessionWindow;
    qint64 m_initialCategoryID = -1;
    std::optional<QList<QJsonObject>> m_pathToFollow;
    qint64 m_currentPathLevel = 0;
    qint64 m_targetPathLevel = 0;
    Position m_clickedCategory;
    bool m_alreadyInitialized = false;

    // Loads asked of the connection and not yet answered. While the answer for the clicked
    // position is outstanding, the columns to its right show nothing rather than stale rows.
    int m_pendingLoads = 0;
    bool m_awaitingSelection = false;
    bool m_askedAgain = false;
    QString m_loadFailure;

    QPointer<ColumnBrowser> m_categoryBrowser; // checked: handlers may outlive a torn-down view
    QPushButton *m_newCategoryButton = nullptr;
    QLabel *m_loadingCategoryLabel = nullptr;
    QLabel *m_loadFailureLabel = nullptr;
    QPushButton *m_setCategoryButton = nullptr;
    QLabel *m_headerLabel = nullptr;
    QLabel *m_selectionLabel = nullptr;
};
