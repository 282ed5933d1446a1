#include "session/LMSessionUploadViewController.h"

#include "connection/LMServerConnection.h"
#include "platform/CoalescedUpdate.h"
#include "platform/DisplayName.h"
#include "platform/DesktopNotifier.h"
#include "platform/NotificationCenter.h"
#include "platform/SleepInhibitor.h"
#include "platform/widgets/Alert.h"
#include "session/AssetChooserDialog.h"
#include "session/DuplicateSheet.h"
#include "session/FolderTreeSheet.h"
#include "session/ImportQueue.h"
#include "session/LMAssetBrowser.h"
#include "session/LMSessionCategoryViewController.h"
#include "session/LMSessionWindowController.h"
#include "session/NotAddedReport.h"
#include "session/UploadPreviewPane.h"
#include "session/UploadProgressPanel.h"
#include "session/UploadViewWidget.h"
#include "store/Asset.h"
#include "store/DuplicateCheck.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace {
const QString AssetKey = QStringLiteral("asset");
// A file in flight for less than this passes unseen: its picture is not worth decoding.
constexpr int PreviewDwellMs = 200;
} // namespace

LMSessionUploadViewController::LMSessionUploadViewController(QObject *parent)
    : ViewController(parent), m_importQueue(new ImportQueue(this)),
      m_display(new CoalescedUpdate([this] { updateDisplay(); }, this)), m_previewDwell(new QTimer(this))
{
    connect(m_importQueue, &ImportQueue::recordDropped, this, [this](int row) {
        if (isViewLoaded())
            m_assetBrowser->removeRows(row, 1, 0);
        if (m_importQueue->isEmpty())
            clearPreview();
    });
    m_previewDwell->setSingleShot(true);
    m_previewDwell->setInterval(PreviewDwellMs);
    m_countdown = new QTimer(this);
    m_countdown->setInterval(1000);
    connect(m_countdown, &QTimer::timeout, this, &LMSessionUploadViewController::showWait);
    connect(m_previewDwell, &QTimer::timeout, this, [this] {
        // Picture and path both follow the file being sent, so they never describe two files.
        if (m_uploadInProgress && m_inFlight && isViewLoaded())
            showRecord(m_inFlight);
    });
}

LMSessionUploadViewController::~LMSessionUploadViewController()
{
    // The browser asks its delegate for rows while it is torn down with the view.
    if (m_assetBrowser)
        m_assetBrowser->setDelegate(nullptr);
    delete m_chooser.data();
}

LMSessionWindowController *LMSessionUploadViewController::sessionWindow() const
{
    return m_sessionWindow;
}

void LMSessionUploadViewController::setSessionWindow(LMSessionWindowController *window)
{
    m_sessionWindow = window;
}

void LMSessionUploadViewController::setDesktopNotifier(DesktopNotifier *notifier)
{
    m_desktopNotifier = notifier;
}

void LMSessionUploadViewController::setSleepInhibitor(SleepInhibitor *inhibitor)
{
    m_sleepInhibitor = inhibitor;
}

LMServerConnection *LMSessionUploadViewController::connection() const
{
    return m_sessionWindow ? m_sessionWindow->serverConnection() : nullptr;
}

QLabel *LMSessionUploadViewController::assetPreview() const
{
    return m_previewPane ? m_previewPane->imageLabel() : nullptr;
}

QPushButton *LMSessionUploadViewController::retryNowButton() const
{
    return m_viewWidget ? m_viewWidget->retryNowButton : nullptr;
}

QLabel *LMSessionUploadViewController::failureReasonField() const
{
    return m_viewWidget ? m_viewWidget->failureReasonField : nullptr;
}

QList<Asset *> LMSessionUploadViewController::importQueue() const
{
    return m_importQueue->records();
}

QString LMSessionUploadViewController::failureReason(int row) const
{
    return m_importQueue->failure(row);
}

ObjectContext *LMSessionUploadViewController::managedObjectContext()
{
    ObjectContext *context = m_sessionWindow ? m_sessionWindow->managedObjectContext() : nullptr;
    // The queue follows deletions made elsewhere; repeated watching connects once.
    m_importQueue->watch(context);
    return context;
}

void LMSessionUploadViewController::viewWillAppear()
{
    (void)view(); // the elements below exist once the view is loaded
    LMServerConnection *server = connection();
    const QString target = server ? server->getSelectedCategoryPath() : QString();
    // The rows of a kept tree show where they go, below whatever the target is now.
    const QString shown = DisplayName::visible(target);
    const bool moved = shown != m_categoryNameTextField->text();
    m_categoryNameTextField->setText(shown);
    if (moved && !m_importQueue->isEmpty())
        m_assetBrowser->reloadRows(0, m_importQueue->size() - 1, 0);
    qCInfo(lcSession).noquote() << "upload view ready at" << m_categoryNameTextField->text() << "with"
                                << m_importQueue->size() << "queued files";
    registerUploadObservers();
    m_assetBrowser->setUploadView(this);
    m_assetBrowser->registerForDraggedTypes({LMAssetBrowser::FileListMimeType});
    setStatusText({});
}

void LMSessionUploadViewController::registerUploadObservers()
{
    LMServerConnection *server = connection();
    if (m_registeredUploadNotification || !server)
        return;
    NotificationCenter *center = NotificationCenter::defaultCenter();
    using Self = LMSessionUploadViewController;
    center->addObserver(this, LMNotification::UploadDone, server, &Self::uploadHasFinished);
    center->addObserver(this, LMNotification::UploadingAsset, server, &Self::uploadingAsset);
    center->addObserver(this, LMNotification::UploadedAsset, server, &Self::uploadedAsset);
    center->addObserver(this, LMNotification::UploadFailedAsset, server, &Self::uploadFailedAsset);
    center->addObserver(this, LMNotification::UploadProgress, server, &Self::uploadProgress);
    center->addObserver(this, LMNotification::PreparingCategories, server, &Self::preparingCategories);
    center->addObserver(this, LMNotification::UploadWaiting, server, &Self::uploadWaiting);
    center->addObserver(this, LMNotification::UploadRecorded, server, &Self::uploadRecorded);
    m_registeredUploadNotification = true;
}

void LMSessionUploadViewController::initializeImportQueue()
{
    ObjectContext *context = managedObjectContext();
    ServerBookmark *bookmark = m_sessionWindow ? m_sessionWindow->connectionBookmark() : nullptr;
    if (!context || !bookmark)
        return;
    for (Asset *record : context->fetchPendingAssets(bookmark))
        m_importQueue->append(record);
    reloadList();
}

void LMSessionUploadViewController::AddAssetsToImportQueue(const QList<QUrl> &urls)
{
    ObjectContext *context = managedObjectContext();
    ServerBookmark *bookmark = m_sessionWindow ? m_sessionWindow->connectionBookmark() : nullptr;
    if (!context || !bookmark) {
        setStatusText(tr("Files cannot be queued: the local store is not available."));
        return;
    }
    // One question at a time: what comes while the sheet is up is asked about next.
    if (m_treeSheet) {
        m_waitingAdds.append(urls);
        return;
    }
    setStatusText({});
    QStringList paths;
    for (const QUrl &url : urls)
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    AddedFiles::Result added = AddedFiles::collect(paths);
    const qsizetype found = added.files.size();
    added.files.removeIf(
        [this](const AddedFiles::File &file) { return m_importQueue->containsPath(file.path); });
    const qsizetype alreadyQueued = found - added.files.size();
    reportNotAdded(added.problems, alreadyQueued);
    const bool tree = added.hasSubfolders &&
                      std::any_of(added.files.cbegin(), added.files.cend(),
                                  [](const auto &file) { return file.folder.contains(QLatin1Char('/')); });
    if (tree) {
        askHowToPlace(added, alreadyQueued);
        return;
    }
    QList<Placed> flat;
    flat.reserve(added.files.size());
    for (const AddedFiles::File &file : std::as_const(added.files))
        flat.append({file.path, std::nullopt});
    queueFiles(flat);
}

void LMSessionUploadViewController::askHowToPlace(const AddedFiles::Result &added, qsizetype alreadyQueued)
{
    LMServerConnection *server = connection();
    auto *sheet = new FolderTreeSheet(view()->window(), server,
                                      server ? server->getSelectedCategoryPath() : QString(), added.files);
    m_treeSheet = sheet;
    connect(sheet, &FolderTreeSheet::answered, this,
            [this, sheet, problems = added.problems, alreadyQueued](FolderTreeSheet::Answer answer) {
                m_treeSheet = nullptr;
                if (answer != FolderTreeSheet::Cancel) {
                    if (answer == FolderTreeSheet::KeepStructure && !sheet->leftOut().isEmpty())
                        reportNotAdded(problems + sheet->leftOut(), alreadyQueued);
                    QList<Placed> files;
                    for (const FolderTreeSheet::Placement &placement : sheet->placements(answer))
                        files.append({placement.path, placement.folder});
                    queueFiles(files);
                }
                // After the sheet has gone.
                QTimer::singleShot(0, this, [this] {
                    if (!m_treeSheet && !m_waitingAdds.isEmpty())
                        AddAssetsToImportQueue(m_waitingAdds.takeFirst());
                });
            });
    sheet->show();
}

void LMSessionUploadViewController::queueFiles(const QList<Placed> &files)
{
    ObjectContext *context = managedObjectContext();
    ServerBookmark *bookmark = m_sessionWindow ? m_sessionWindow->connectionBookmark() : nullptr;
    if (!context || !bookmark || files.isEmpty())
        return;
    for (const Placed &file : files) {
        Asset *record = context->insertAsset();
        record->setFilePath(file.path);
        record->setBookmark(bookmark);
        if (file.folder)
            record->setFolderPath(file.folder);
        m_importQueue->append(record);
    }
    // The records stay in the context either way; say so rather than pretend they are safe.
    QString error;
    if (!context->save(&error))
        setStatusText(tr("The queue could not be saved: %1").arg(error));
    if (!isViewLoaded())
        return;
    m_assetBrowser->insertRows(m_importQueue->size() - int(files.size()), int(files.size()), 0);
    selectAndShowRow(m_importQueue->size() - 1);
}

void LMSessionUploadViewController::reportNotAdded(const QList<AddedFiles::Problem> &problems,
                                                   qsizetype alreadyQueued)
{
    if (alreadyQueued > 0)
        setStatusText(tr("%Ln files were in the queue already.", "", int(alreadyQueued)));
    m_notAdded = NotAddedReport::lines(problems);
    if (isViewLoaded())
        m_viewWidget->showNotAdded(NotAddedReport::summary(problems));
}

FolderTreeSheet *LMSessionUploadViewController::folderTreeSheet() const
{
    return m_treeSheet;
}

QStringList LMSessionUploadViewController::notAddedItems() const
{
    return m_notAdded;
}

QLabel *LMSessionUploadViewController::notAddedField() const
{
    return m_viewWidget ? m_viewWidget->notAddedField : nullptr;
}

QPushButton *LMSessionUploadViewController::showNotAddedButton() const
{
    return m_viewWidget ? m_viewWidget->showNotAddedButton : nullptr;
}

QString LMSessionUploadViewController::targetPathOf(int row) const
{
    const Asset *record = m_importQueue->at(row);
    const std::optional<QString> folder = record ? record->folderPath() : std::nullopt;
    if (!folder || folder->isEmpty())
        return {};
    const QString target = m_categoryNameTextField ? m_categoryNameTextField->text() : QString();
    return target + QLatin1Char('/') + *folder;
}

void LMSessionUploadViewController::assetBrowserWasClicked()
{
    const int column = m_assetBrowser->selectedColumn();
    const QList<int> rows = m_assetBrowser->selectedRowsInColumn(column);
    if (rows.isEmpty()) {
        clearPreview();
        return;
    }
    // With several rows selected, the one clicked last is the one to look at.
    const int current = m_assetBrowser->columnView(column)->currentIndex().row();
    showRecord(m_importQueue->at(rows.contains(current) ? current : rows.constFirst()));
}

void LMSessionUploadViewController::deleteSelectedAssets()
{
    if (m_uploadInProgress || m_checking || !isViewLoaded())
        return;
    QList<int> rows = m_assetBrowser->selectedRowsInColumn(0);
    if (rows.isEmpty())
        return;
    setStatusText({});
    std::sort(rows.begin(), rows.end(), std::greater<>());
    // The row that the entry after the last removed one moves up to.
    int next = rows.constFirst() - int(rows.size()) + 1;
    removeQueuedRows(rows);
    if (m_importQueue->isEmpty()) {
        clearPreview();
        return;
    }
    next = std::min(next, m_importQueue->size() - 1);
    selectAndShowRow(next);
}

void LMSessionUploadViewController::removeQueuedRows(const QList<int> &rowsBottomUp)
{
    ObjectContext *context = managedObjectContext();
    // Runs of neighbouring rows leave together, from the context as well.
    for (qsizetype i = 0; i < rowsBottomUp.size();) {
        const int last = rowsBottomUp.at(i);
        int first = last;
        while (++i < rowsBottomUp.size() && rowsBottomUp.at(i) == first - 1)
            --first;
        QList<Asset *> records;
        for (int row = first; row <= last; ++row)
            records.append(m_importQueue->at(row));
        m_importQueue->removeRows(first, last - first + 1);
        m_assetBrowser->removeRows(first, last - first + 1, 0);
        for (Asset *record : std::as_const(records))
            if (context && record)
                context->deleteObject(record);
    }
    // Saved at once: a file taken out must not come back after a crash.
    QString error;
    if (context && !context->save(&error))
        setStatusText(tr("The queue could not be saved: %1").arg(error));
}

void LMSessionUploadViewController::chooseAssetsButtonWasClicked()
{
    if (m_chooser) {
        m_chooser->raise();
        m_chooser->activateWindow();
        return;
    }
    // Free-standing, like the rest of the window's work: the session stays usable meanwhile.
    m_chooser = new AssetChooserDialog(view()->window());
    m_chooser->setWindowModality(Qt::NonModal);
    m_chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_chooser, &AssetChooserDialog::urlsChosen, this,
            &LMSessionUploadViewController::AddAssetsToImportQueue);
    m_chooser->show();
}

void LMSessionUploadViewController::startUploadButtonWasClicked()
{
    LMServerConnection *server = connection();
    if (m_checking) {
        endCheck();
        return;
    }
    if (m_uploadInProgress) {
        if (server)
            server->setHaltUpload(true);
        m_progressPanel->setHalting();
        return;
    }
    if (m_importQueue->isEmpty() || !server)
        return;
    ObjectContext *context = managedObjectContext();
    if (context && !m_duplicateCheck) {
        m_duplicateCheck = new DuplicateCheck(context, this);
        connect(m_duplicateCheck, &DuplicateCheck::finished, this,
                &LMSessionUploadViewController::duplicatesFound);
        connect(m_duplicateCheck, &DuplicateCheck::progress, this, [this](qint64 done, qint64 total) {
            setStatusText(
                tr("Looking for files uploaded before… %1%").arg(total > 0 ? done * 100 / total : 100));
        });
    }
    // Nothing logged for this server: nothing to compare, nothing read, the batch starts now.
    ServerBookmark *bookmark = server->serverBookmark();
    if (!m_duplicateCheck || !bookmark ||
        !m_duplicateCheck->start(bookmark->serverKey(), m_importQueue->records())) {
        beginBatch(m_importQueue->records());
        return;
    }
    m_checking = true;
    m_checkedBatch.clear();
    for (Asset *record : m_importQueue->records())
        m_checkedBatch.append(record);
    setControlsEnabled(false);
    m_startUploadButton->setText(tr("Cancel"));
    setStatusText(tr("Looking for files uploaded before…"));
}

void LMSessionUploadViewController::endCheck()
{
    if (m_duplicateCheck)
        m_duplicateCheck->cancel();
    m_checking = false;
    setStatusText({});
    setControlsEnabled(true);
    m_startUploadButton->setText(tr("Start Upload"));
}

void LMSessionUploadViewController::duplicatesFound(const QList<DuplicateMatch> &duplicates)
{
    if (!m_checking)
        return;
    if (duplicates.isEmpty()) {
        m_checking = false;
        beginBatch(checkedBatch());
        return;
    }
    setStatusText({});
    // The sheet alone offers Cancel while it is open.
    m_startUploadButton->setText(tr("Start Upload"));
    m_startUploadButton->setEnabled(false);
    auto *sheet = new DuplicateSheet(view()->window(), duplicates);
    connect(sheet, &DuplicateSheet::answered, this, [this, duplicates](DuplicateSheet::Answer answer) {
        m_startUploadButton->setEnabled(true);
        if (!m_checking)
            return;
        if (answer == DuplicateSheet::Cancel) {
            endCheck();
            return;
        }
        if (answer == DuplicateSheet::SkipDuplicates) {
            // Out of the queue as the Delete key takes them.
            QSet<const QObject *> skipped;
            for (const DuplicateMatch &duplicate : duplicates)
                skipped.insert(duplicate.record);
            QList<int> rows;
            for (int row = m_importQueue->size() - 1; row >= 0; --row) {
                if (skipped.contains(m_importQueue->at(row)))
                    rows.append(row);
            }
            removeQueuedRows(rows);
            if (m_importQueue->isEmpty())
                clearPreview();
            if (checkedBatch().isEmpty()) {
                endCheck();
                setStatusText(tr("Every file was uploaded before; nothing to send."));
                return;
            }
        }
        m_checking = false;
        beginBatch(checkedBatch());
    });
    sheet->show();
}

QList<Asset *> LMSessionUploadViewController::checkedBatch() const
{
    QList<Asset *> batch;
    for (const QPointer<Asset> &record : m_checkedBatch) {
        if (m_importQueue->contains(record))
            batch.append(record);
    }
    return batch;
}

void LMSessionUploadViewController::beginBatch(const QList<Asset *> &queued)
{
    // A file uploaded but not yet recorded stays listed until it is, and is never sent again.
    QList<Asset *> batch;
    for (Asset *record : queued) {
        if (record->isPending())
            batch.append(record);
    }
    LMServerConnection *server = connection();
    if (!server || batch.isEmpty()) {
        endCheck();
        return;
    }
    setStatusText({});
    if (m_importQueue->failureCount() > 0) {
        m_importQueue->clearFailures();
        m_assetBrowser->reloadRows(0, m_importQueue->size() - 1, 0);
    }
    m_viewWidget->showFailureReason({});
    m_uploadBatchTotal = batch.size();
    m_uploadedCount = 0;
    m_failedCount = 0;
    m_mayHaveArrivedCount = 0;
    m_inFlight = nullptr;
    m_inFlightNumber = 0;
    m_inFlightCount = 0;
    m_simultaneous = server->simultaneousUploads();
    m_categoriesDone = 0;
    m_categoriesTotal = 0;
    // What was selected before says nothing about the file being sent.
    clearPreview();
    m_progressPanel->beginBatch(batch);
    setUploading(true);
    if (m_sleepInhibitor)
        m_sleepInhibitor->hold(this);
    server->startAssetImport(batch);
}

// The handlers below only take note; what the user sees follows in updateDisplay(), at most
// about 30 times a second, so a batch of tiny files never redraws per file.
void LMSessionUploadViewController::uploadingAsset(const Notification &notification)
{
    QObject *record = notification.userInfo.value(AssetKey).value<QObject *>();
    endWait(true);
    m_inFlightNumber = m_uploadedCount + m_failedCount + m_mayHaveArrivedCount + 1;
    const int row = rowOfNotifiedAsset(notification);
    m_inFlight = row >= 0 ? m_importQueue->at(row) : m_importQueue->at(m_importQueue->firstUnsentRow());
    m_inFlightCount = notification.userInfo.value(LMUserInfoKey::InFlight, 1).toInt();
    // With several on their way, each row says so.
    if (m_simultaneous > 1 && m_inFlight)
        m_markedRecords.append(m_inFlight);
    m_progressPanel->fileStarted(record, notification.userInfo.value(LMUserInfoKey::FileName).toString());
    m_previewDwell->start();
    m_display->request();
}

void LMSessionUploadViewController::uploadedAsset(const Notification &notification)
{
    QObject *record = notification.userInfo.value(AssetKey).value<QObject *>();
    m_progressPanel->fileFinished(record);
    m_inFlightCount = notification.userInfo.value(LMUserInfoKey::InFlight, 0).toInt();
    if (!record && !notification.userInfo.contains(AssetKey))
        record = m_importQueue->at(m_importQueue->firstUnsentRow());
    if (notification.userInfo.contains(LMUserInfoKey::NotRecorded)) {
        // Listed, and marked so, until its record is saved (uploadRecorded).
        if (m_importQueue->contains(record)) {
            ++m_uploadedCount;
            m_markedRecords.append(qobject_cast<Asset *>(record));
            m_display->request();
        }
        return;
    }
    if (!m_importQueue->markSent(record))
        return;
    ++m_uploadedCount;
    m_display->request();
}

void LMSessionUploadViewController::uploadRecorded(const Notification &notification)
{
    if (m_importQueue->markSent(notification.userInfo.value(AssetKey).value<QObject *>()))
        m_display->request();
}

void LMSessionUploadViewController::uploadFailedAsset(const Notification &notification)
{
    m_progressPanel->fileFinished(notification.userInfo.value(AssetKey).value<QObject *>());
    if (!m_uploadInProgress)
        return;
    m_inFlightCount = notification.userInfo.value(LMUserInfoKey::InFlight, 0).toInt();
    const int row = rowOfNotifiedAsset(notification);
    if (notification.userInfo.value(LMUserInfoKey::MayHaveArrived).toBool()) {
        // The record itself says so, here and after a relaunch.
        ++m_mayHaveArrivedCount;
        if (row >= 0)
            m_markedRecords.append(m_importQueue->at(row));
        m_display->request();
        return;
    }
    ++m_failedCount;
    if (row >= 0) {
        Asset *record = m_importQueue->at(row);
        m_importQueue->setFailure(record, notification.userInfo.value(LMUserInfoKey::Error).toString());
        m_markedRecords.append(record);
    }
    m_display->request();
}

void LMSessionUploadViewController::updateDisplay()
{
    // Sent records leave in runs, failed ones get their mark: row changes, never a refill.
    for (const auto &[first, count] : m_importQueue->sentRuns()) {
        m_importQueue->removeRows(first, count);
        if (isViewLoaded())
            m_assetBrowser->removeRows(first, count, 0);
    }
    for (const QPointer<Asset> &record : std::as_const(m_markedRecords)) {
        const int row = m_importQueue->rowOf(record);
        if (row >= 0 && isViewLoaded())
            m_assetBrowser->reloadRows(row, row, 0);
    }
    m_markedRecords.clear();
    // A picture stays while its file is listed: one sent and gone is not what is being sent.
    if (m_shownRecord && !m_importQueue->contains(m_shownRecord))
        clearPreview();
    if (!m_uploadInProgress || !isViewLoaded())
        return;
    if (m_inFlightNumber == 0) {
        if (m_categoriesTotal > 0)
            setStatusText(tr("Creating categories… %L1 of %L2").arg(m_categoriesDone).arg(m_categoriesTotal));
        return;
    }
    if (m_simultaneous > 1) {
        // Files finish out of turn: the count is of those done, with how many are on their way.
        //: Files done of the batch's files
        const QString done = tr("%L1 of %L2")
                                 .arg(m_uploadedCount + m_failedCount + m_mayHaveArrivedCount)
                                 .arg(m_uploadBatchTotal);
        //: %1 is "5 of 20"; %L2 files are being sent at the moment
        setStatusText(m_inFlightCount > 0 ? tr("%1 · %L2 in flight").arg(done).arg(m_inFlightCount) : done);
        return;
    }
    setStatusText(tr("uploading asset %L1 of %L2").arg(m_inFlightNumber).arg(m_uploadBatchTotal));
    // The file being sent is the selected row while it is listed.
    const int row = m_importQueue->rowOf(m_inFlight);
    if (row >= 0 && m_assetBrowser->selectedRowsInColumn(0) != QList<int>{row})
        m_assetBrowser->selectRow(row, 0);
}

void LMSessionUploadViewController::uploadProgress(const Notification &notification)
{
    m_progressPanel->fileProgress(notification.userInfo.value(AssetKey).value<QObject *>(),
                                  notification.userInfo.value(LMUserInfoKey::BytesSent).toLongLong(),
                                  notification.userInfo.value(LMUserInfoKey::BytesTotal).toLongLong());
}

void LMSessionUploadViewController::preparingCategories(const Notification &notification)
{
    if (!m_uploadInProgress)
        return;
    m_categoriesDone = notification.userInfo.value(LMUserInfoKey::CategoriesDone).toLongLong();
    m_categoriesTotal = notification.userInfo.value(LMUserInfoKey::CategoriesTotal).toLongLong();
    m_display->request();
}

void LMSessionUploadViewController::uploadHasFinished(const Notification &notification)
{
    if (!m_uploadInProgress)
        return;
    // Every outcome reaches the list before the batch's end is shown.
    m_display->flush();
    endWait(false);
    m_previewDwell->stop();
    m_inFlight = nullptr;
    m_inFlightNumber = 0;
    m_uploadBatchTotal = 0;
    const QString error = notification.userInfo.value(LMUserInfoKey::Error).toString();
    QStringList outcome;
    if (!error.isEmpty())
        outcome << error;
    if (m_failedCount > 0)
        outcome << tr("%Ln files could not be uploaded", "", int(m_failedCount));
    if (m_mayHaveArrivedCount > 0)
        outcome << tr("%Ln files may have arrived without an answer; they are not sent again without asking",
                      "", int(m_mayHaveArrivedCount));
    setStatusText(outcome.join(QStringLiteral(". ")));
    if (notification.userInfo.value(LMUserInfoKey::StoreFailure).toBool() && isViewLoaded())
        Alert::beginSheet(view()->window(), Alert::Style::Critical, tr("The upload stopped"), error, {}, {});
    if (m_importQueue->isEmpty()) {
        clearPreview();
    } else {
        showRecord(m_importQueue->at(0));
        m_assetBrowser->selectRow(0, 0);
    }
    m_progressPanel->endBatch();
    setUploading(false);
    if (m_sleepInhibitor)
        m_sleepInhibitor->release(this);
    notifyDesktop(error);
}

void LMSessionUploadViewController::notifyDesktop(const QString &error)
{
    // The window in front shows the outcome itself.
    if (!m_desktopNotifier || (isViewLoaded() && view()->window()->isActiveWindow()))
        return;
    const ServerBookmark *bookmark = m_sessionWindow ? m_sessionWindow->connectionBookmark() : nullptr;
    const QString name = bookmark ? bookmark->bookmarkName().value_or(QString()) : QString();
    if (!error.isEmpty()) {
        m_desktopNotifier->notify(tr("Upload to %1 stopped").arg(name),
                                  m_uploadedCount > 0 ? tr("%L1 uploaded; %2").arg(m_uploadedCount).arg(error)
                                                      : error);
        return;
    }
    const QString body =
        m_failedCount > 0
            ? tr("%L1 uploaded, %L2 failed").arg(m_uploadedCount).arg(m_failedCount)
            : tr("%Ln files uploaded to %1", "", int(m_uploadedCount)).arg(m_categoryNameTextField->text());
    m_desktopNotifier->notify(tr("Upload to %1 finished").arg(name), body);
}

void LMSessionUploadViewController::backToCategoriesButtonClicked()
{
    if (m_uploadInProgress || m_checking || !m_sessionWindow || !m_sessionWindow->categoryView())
        return;
    m_sessionWindow->setCurrentView(LMSessionWindowController::CategoryViewName);
    m_sessionWindow->rememberPosition();
    m_sessionWindow->showView(m_sessionWindow->categoryView());
}

int LMSessionUploadViewController::numberOfRowsInColumn(ColumnBrowser *, int)
{
    return m_importQueue->size();
}

void LMSessionUploadViewController::willDisplayCell(ColumnBrowser *, BrowserCell &cell, int row, int)
{
    // Names come from the records alone: no disk access per row.
    const Asset *record = m_importQueue->at(row);
    cell.text = record ? DisplayName::visible(record->fileName()) : QString();
    cell.leaf = true;
    cell.detail = DisplayName::visible(targetPathOf(row));
    const QString goesTo =
        cell.detail.isEmpty() ? QString() : tr("Goes to %1").arg(DisplayName::isolated(cell.detail));
    const QString failure = m_importQueue->failure(row);
    if (record && !record->isPending()) {
        cell.icon = view()->style()->standardIcon(QStyle::SP_MessageBoxInformation);
        cell.toolTip = tr("Uploaded; not yet recorded in the import log");
        cell.description = cell.toolTip;
    } else if (record && record->uploadState() == Asset::UploadState::MayHaveArrived) {
        cell.icon = view()->style()->standardIcon(QStyle::SP_MessageBoxWarning);
        cell.toolTip = tr("May have arrived: %1").arg(record->uploadStateReason());
        cell.description = cell.toolTip;
    } else if (record && m_simultaneous > 1 && m_uploadInProgress &&
               record->uploadState() == Asset::UploadState::Sending) {
        cell.icon = view()->style()->standardIcon(QStyle::SP_ArrowUp);
        //: A queued file's state: it is being sent now
        cell.toolTip = tr("Sending");
        cell.description = goesTo.isEmpty() ? cell.toolTip : cell.toolTip + QStringLiteral(". ") + goesTo;
    } else if (!failure.isEmpty()) {
        cell.icon = view()->style()->standardIcon(QStyle::SP_MessageBoxCritical);
        cell.toolTip = failure;
        // The icon alone says nothing to a screen reader.
        cell.description = tr("Upload failed: %1").arg(failure);
        if (!goesTo.isEmpty())
            cell.description += QStringLiteral(". ") + goesTo;
    } else if (record) {
        cell.toolTip = DisplayName::visible(record->filePath().value_or(QString()));
        if (!goesTo.isEmpty())
            cell.toolTip += QLatin1Char('\n') + goesTo;
        cell.description = goesTo;
    }
}

void LMSessionUploadViewController::showRecord(Asset *asset)
{
    if (!asset) {
        clearPreview();
        return;
    }
    m_shownRecord = asset;
    const QString path = asset->filePath().value_or(QString());
    m_previewPane->showFile(path);
    m_assetNameTextField->setText(DisplayName::visible(path));
    m_viewWidget->showFailureReason(
        asset->uploadState() == Asset::UploadState::MayHaveArrived
            ? tr("May have arrived (not sent again without asking): %1").arg(asset->uploadStateReason())
            : m_importQueue->failure(m_importQueue->rowOf(asset)));
}

void LMSessionUploadViewController::clearPreview()
{
    m_shownRecord = nullptr;
    if (!isViewLoaded())
        return;
    m_previewPane->clear();
    m_assetNameTextField->clear();
    m_viewWidget->showFailureReason({});
}

void LMSessionUploadViewController::reloadList()
{
    if (isViewLoaded())
        m_assetBrowser->reloadColumn(0);
}

void LMSessionUploadViewController::selectAndShowRow(int row)
{
    m_assetBrowser->selectRow(row, 0);
    showRecord(m_importQueue->at(row));
}

void LMSessionUploadViewController::setControlsEnabled(bool enabled)
{
    m_assetBrowser->setListEnabled(enabled);
    m_chooseAssetsButton->setEnabled(enabled);
    m_backToCategoriesButton->setEnabled(enabled);
}

void LMSessionUploadViewController::setUploading(bool uploading)
{
    setControlsEnabled(!uploading);
    m_startUploadButton->setText(uploading ? tr("Stop Upload") : tr("Start Upload"));
    m_progressPanel->setVisible(uploading);
    if (m_uploadInProgress != uploading) {
        m_uploadInProgress = uploading;
        emit uploadInProgressChanged(uploading);
    }
}

void LMSessionUploadViewController::uploadWaiting(const Notification &notification)
{
    if (!m_uploadInProgress)
        return;
    const QVariantMap &info = notification.userInfo;
    const bool resting = m_waitKind == LMWaitKind::Paused || m_waitKind == LMWaitKind::Offline;
    m_waitKind = info.value(LMUserInfoKey::WaitKind).toString();
    m_waitReason = info.value(LMUserInfoKey::Error).toString();
    m_waitUntil = info.value(LMUserInfoKey::RetryAt).toDateTime();
    m_waitFile = info.value(LMUserInfoKey::FileName).toString();
    m_waitAttempt = info.value(LMUserInfoKey::Attempt).toInt();
    // A paused batch lets the machine sleep; it holds it awake again when it goes on.
    if (m_sleepInhibitor && !resting && m_waitKind != LMWaitKind::Retry)
        m_sleepInhibitor->release(this);
    if (m_viewWidget)
        m_viewWidget->retryNowButton->show();
    showWait();
    m_countdown->start();
}

void LMSessionUploadViewController::showWait()
{
    if (m_waitKind.isEmpty())
        return;
    const qint64 seconds =
        m_waitUntil.isValid()
            ? std::max<qint64>(0, (QDateTime::currentDateTimeUtc().msecsTo(m_waitUntil) + 999) / 1000)
            : 0;
    const QString in = UploadProgressPanel::formatDuration(seconds);
    if (m_waitKind == LMWaitKind::Offline)
        setStatusText(tr("Waiting for the network to come back…"));
    else if (m_waitKind == LMWaitKind::Paused)
        setStatusText(
            tr("Paused after failures in a row; checking the server again in %1. %2").arg(in, m_waitReason));
    else
        setStatusText(tr("Sending %1 again in %2 (try %3: %4)")
                          .arg(m_waitFile, in)
                          .arg(m_waitAttempt)
                          .arg(m_waitReason));
}

void LMSessionUploadViewController::endWait(bool goingOn)
{
    if (m_waitKind.isEmpty())
        return;
    if (m_sleepInhibitor && goingOn && m_waitKind != LMWaitKind::Retry)
        m_sleepInhibitor->hold(this);
    m_waitKind.clear();
    m_countdown->stop();
    if (m_viewWidget)
        m_viewWidget->retryNowButton->hide();
    setStatusText({});
}

void LMSessionUploadViewController::setStatusText(const QString &text)
{
    if (m_uploadStatusField)
        m_uploadStatusField->setText(text);
}

int LMSessionUploadViewController::rowOfNotifiedAsset(const Notification &notification) const
{
    return m_importQueue->rowOf(notification.userInfo.value(AssetKey).value<QObject *>());
}

void LMSessionUploadViewController::loadView()
{
    auto *root = new UploadViewWidget;
    root->setObjectName(QStringLiteral("uploadView"));
    m_viewWidget = root;
    m_assetBrowser = root->assetBrowser;
    m_previewPane = root->previewPane;
    m_chooseAssetsButton = root->chooseAssetsButton;
    m_startUploadButton = root->startUploadButton;
    m_backToCategoriesButton = root->backToCategoriesButton;
    m_categoryNameTextField = root->categoryNameTextField;
    m_uploadStatusField = root->uploadStatusField;
    m_assetNameTextField = root->assetNameTextField;
    m_progressPanel = root->progressPanel;
    setView(root);

    m_assetBrowser->setDelegate(this);
    connect(m_assetBrowser, &ColumnBrowser::action, this,
            &LMSessionUploadViewController::assetBrowserWasClicked);
    connect(m_assetBrowser, &LMAssetBrowser::deleteKeyPressed, this,
            &LMSessionUploadViewController::deleteSelectedAssets);
    connect(m_chooseAssetsButton, &QPushButton::clicked, this,
            &LMSessionUploadViewController::chooseAssetsButtonWasClicked);
    connect(m_startUploadButton, &QPushButton::clicked, this,
            &LMSessionUploadViewController::startUploadButtonWasClicked);
    connect(m_backToCategoriesButton, &QPushButton::clicked, this,
            &LMSessionUploadViewController::backToCategoriesButtonClicked);
    connect(root->showNotAddedButton, &QPushButton::clicked, this,
            [this] { NotAddedReport::showList(view(), m_notAdded); });
    connect(root->dismissNotAddedButton, &QPushButton::clicked, this, [this] {
        m_notAdded.clear();
        m_viewWidget->showNotAdded({});
    });
    connect(root->retryNowButton, &QPushButton::clicked, this, [this] {
        if (LMServerConnection *server = connection())
            server->retryNow();
    });
    clearPreview();
}
