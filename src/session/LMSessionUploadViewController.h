#pragma once

#include "platform/AddedFiles.h"

#include "platform/widgets/ColumnBrowserDelegate.h"
#include "platform/widgets/ViewController.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class Asset;
class AssetChooserDialog;
class CoalescedUpdate;
class DesktopNotifier;
class SleepInhibitor;
class DuplicateCheck;
struct DuplicateMatch;
class FolderTreeSheet;
class ImportQueue;
class LMAssetBrowser;
class LMServerConnection;
class LMSessionWindowController;
class ObjectContext;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class UploadPreviewPane;
class UploadProgressPanel;
class UploadViewWidget;
struct Notification;

// The upload view of a session: the import queue of the session's bookmark as a list, the
// picture and path of the current file, and the controls that start, follow and stop a batch.
class LMSessionUploadViewController : public ViewController, public ColumnBrowserDelegate {
    Q_OBJECT
    Q_PROPERTY(bool uploadInProgress READ uploadInProgress NOTIFY uploadInProgressChanged)
    Q_PROPERTY(qint64 uploadBatchTotal READ uploadBatchTotal)
    Q_PROPERTY(qint64 uploadedCount READ uploadedCount)

public:
    static inline const QString StoryboardIdentifier = QStringLiteral("UploadView");

    explicit LMSessionUploadViewController(QObject *parent = nullptr);
    ~LMSessionUploadViewController() override;

    [[nodiscard]] LMSessionWindowController *sessionWindow() const;
    void setSessionWindow(LMSessionWindowController *window);
    // Tells the desktop how a batch ended when the session window is not in front; none, no word.
    void setDesktopNotifier(DesktopNotifier *notifier);
    // Keeps the machine awake while a batch runs; none, it may sleep.
    void setSleepInhibitor(SleepInhibitor *inhibitor);

    // Interface elements; null until the view is loaded.
    [[nodiscard]] LMAssetBrowser *assetBrowser() const { return m_assetBrowser; }
    [[nodiscard]] QLabel *assetPreview() const;
    [[nodiscard]] QPushButton *chooseAssetsButton() const { return m_chooseAssetsButton; }
    [[nodiscard]] QPushButton *startUploadButton() const { return m_startUploadButton; }
    [[nodiscard]] QPushButton *backToCategoriesButton() const { return m_backToCategoriesButton; }
    [[nodiscard]] QLineEdit *categoryNameTextField() const { return m_categoryNameTextField; }
    [[nodiscard]] QLabel *uploadStatusField() const { return m_uploadStatusField; }
    // Shown while a batch waits to try again: ends the wait at once.
    [[nodiscard]] QPushButton *retryNowButton() const;
    [[nodiscard]] QLineEdit *assetNameTextField() const { return m_assetNameTextField; }
    [[nodiscard]] UploadProgressPanel *progressPanel() const { return m_progressPanel; }
    [[nodiscard]] UploadPreviewPane *previewPane() const { return m_previewPane; }
    // Why the shown file failed in the last batch; empty and hidden otherwise.
    [[nodiscard]] QLabel *failureReasonField() const;

    // The records shown in the list; row i is element i. During a batch a sent record stays
    // listed until the next display update takes it out.
    [[nodiscard]] QList<Asset *> importQueue() const;
    // Why the upload of the record in row failed in the last batch; empty when it did not.
    [[nodiscard]] QString failureReason(int row) const;

    [[nodiscard]] bool registeredUploadNotification() const { return m_registeredUploadNotification; }
    [[nodiscard]] qint64 uploadBatchTotal() const { return m_uploadBatchTotal; }
    [[nodiscard]] qint64 uploadedCount() const { return m_uploadedCount; }
    [[nodiscard]] bool uploadInProgress() const { return m_uploadInProgress; }
    // Start Upload was pressed and the queue is being compared with the log (or the duplicate
    // sheet is waiting for an answer): nothing is sent yet.
    [[nodiscard]] bool checkingForDuplicates() const { return m_checking; }

    // The session window's store context; null before the view has a session window.
    [[nodiscard]] ObjectContext *managedObjectContext();

    void viewWillAppear() override;
    // Appends the pending records of the session's bookmark; the session window calls it once.
    void initializeImportQueue();
    // Files are queued as they are, folders with all their sub-folders (AddedFiles); a file already
    // listed is not queued again. Files in sub-folders first ask (FolderTreeSheet) whether their
    // structure is kept below the target. What could not be added is said in the view.
    void AddAssetsToImportQueue(const QList<QUrl> &urls);
    // The sheet asking how to place a folder tree, while it is up.
    [[nodiscard]] FolderTreeSheet *folderTreeSheet() const;
    // What the last add left out, "path — reason" each; empty when nothing.
    [[nodiscard]] QStringList notAddedItems() const;
    [[nodiscard]] QLabel *notAddedField() const;
    [[nodiscard]] QPushButton *showNotAddedButton() const;
    // Where the record in row goes: the target's path and its folder below it; empty for a file
    // that goes into the target itself.
    [[nodiscard]] QString targetPathOf(int row) const;

    // Removes the selected rows (the Delete key); nothing while a batch runs.
    void deleteSelectedAssets();

    // Notification handlers.
    void uploadingAsset(const Notification &notification);
    void uploadedAsset(const Notification &notification);
    void uploadFailedAsset(const Notification &notification);
    void uploadProgress(const Notification &notification);
    void preparingCategories(const Notification &notification);
    void uploadHasFinished(const Notification &notification);
    void uploadWaiting(const Notification &notification);
    void uploadRecorded(const Notification &notification);

    // Column browser delegate.
    int numberOfRowsInColumn(ColumnBrowser *browser, int column) override;
    void willDisplayCell(ColumnBrowser *browser, BrowserCell &cell, int row, int column) override;

public slots:
    void assetBrowserWasClicked();
    void chooseAssetsButtonWasClicked();
    void startUploadButtonWasClicked();
    void backToCategoriesButtonClicked();

signals:
    void uploadInProgressChanged(bool uploading);

protected:
    void loadView() override;

private:
    void registerUploadObservers();
    struct Placed {
        QString path;
        std::optional<QString> folder;
    };
    void queueFiles(const QList<Placed> &files);
    void askHowToPlace(const AddedFiles::Result &added, qsizetype alreadyQueued);
    void reportNotAdded(const QList<AddedFiles::Problem> &problems, qsizetype alreadyQueued);
    // Brings the list, the status line and the selection up to date with the batch.
    void updateDisplay();
    void showRecord(Asset *asset);
    void clearPreview();
    void reloadList();
    void selectAndShowRow(int row);
    void setUploading(bool uploading);
    void setControlsEnabled(bool enabled);
    void beginBatch(const QList<Asset *> &batch);
    void endCheck();
    void duplicatesFound(const QList<DuplicateMatch> &duplicates);
    [[nodiscard]] QList<Asset *> checkedBatch() const;
    void setStatusText(const QString &text);
    // The status line of a waiting batch, counting down to its next try.
    void showWait();
    // goingOn: the batch sends again (not: it ended).
    void endWait(bool goingOn);
    void notifyDesktop(const QString &error);
    // The queue row of the record a notification is about; -1 when it is not listed.
    [[nodiscard]] int rowOfNotifiedAsset(const Notification &notification) const;
    // Rows of the queue, highest first, out of the list and the context.
    void removeQueuedRows(const QList<int> &rowsBottomUp);
    [[nodiscard]] LMServerConnection *connection() const;

    QPointer<LMSessionWindowController> m_sessionWindow;
    QPointer<DesktopNotifier> m_desktopNotifier;
    QPointer<SleepInhibitor> m_sleepInhibitor;
    ImportQueue *m_importQueue = nullptr;
    bool m_registeredUploadNotification = false;
    qint64 m_uploadBatchTotal = 0;
    qint64 m_uploadedCount = 0;
    qint64 m_failedCount = 0;
    qint64 m_mayHaveArrivedCount = 0;
    // While the batch waits: why, until when (none: for the network), the file and its tries.
    QString m_waitKind;
    QString m_waitReason;
    QDateTime m_waitUntil;
    QString m_waitFile;
    int m_waitAttempt = 0;
    QTimer *m_countdown;
    bool m_uploadInProgress = false;
    // The record being sent and its number in the batch (0 before the first).
    QPointer<Asset> m_inFlight;
    qint64 m_inFlightNumber = 0;
    // Files of the batch on their way, and how many may be at once (the batch's setting).
    int m_inFlightCount = 0;
    int m_simultaneous = 1;
    // Failed records whose rows have yet to show their mark.
    QList<QPointer<Asset>> m_markedRecords;
    CoalescedUpdate *m_display;
    // Started for each file sent; the preview follows the file only if it is still in flight.
    QTimer *m_previewDwell;
    // The record whose picture and path are shown.
    QPointer<Asset> m_shownRecord;
    // Categories the batch has found or made so far, before its first file.
    qint64 m_categoriesDone = 0;
    qint64 m_categoriesTotal = 0;
    QPointer<FolderTreeSheet> m_treeSheet;
    // Adds that came while the sheet was up; they are asked about in turn.
    QList<QList<QUrl>> m_waitingAdds;
    QStringList m_notAdded;
    bool m_checking = false;
    // The queue as it was checked; files added meanwhile wait for the next batch.
    QList<QPointer<Asset>> m_checkedBatch;
    DuplicateCheck *m_duplicateCheck = nullptr;

    // Owned by the view, which lives as long as this controller.
    QPointer<AssetChooserDialog> m_chooser;
    UploadViewWidget *m_viewWidget = nullptr;
    LMAssetBrowser *m_assetBrowser = nullptr;
    UploadPreviewPane *m_previewPane = nullptr;
    QPushButton *m_chooseAssetsButton = nullptr;
    QPushButton *m_startUploadButton = nullptr;
    QPushButton *m_backToCategoriesButton = nullptr;
    QLineEdit *m_categoryNameTextField = nullptr;
    QLabel *m_uploadStatusField = nullptr;
    QLineEdit *m_assetNameTextField = nullptr;
    UploadProgressPanel *m_progressPanel = nullptr;
};
