#include "GuiTestMain.h"

#include "AccessibleTree.h"
#include "UploadTestKit.h"

#include "platform/DesktopNotifier.h"
#include "platform/SleepInhibitor.h"
#include "platform/widgets/BrowserColumnModel.h"
#include "session/DuplicateSheet.h"
#include "session/FolderTreeSheet.h"
#include "session/UploadPreviewPane.h"
#include "session/UploadProgressPanel.h"
#include "store/ContentHash.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QImageWriter>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTreeView>

#include <sys/stat.h>
#include <unistd.h>

#include <poll.h>

using namespace UploadTestKit;

namespace {
// Follows a batch as the user and the store file see it and notes every departure: the list's
// model is never reset; after every upload notification and every change of the list, the list
// shows the queue, every file the store holds as pending is listed in order, every other listed
// file is stamped in the store, the status line counts up, never past the files that have an
// outcome, and the path shown is of a file whose turn has come (or of one listed since the batch
// began, shown as it is queued). A screen reader reads the status line, the failure reason and the
// speed line as they are on screen.
class BatchWatch : public QObject {
public:
    explicit BatchWatch(const UploadSession &s) : m_s(s), m_queued(filePaths(s.upload()->importQueue()))
    {
        QAbstractItemModel *list = s.list()->model();
        connect(list, &QAbstractItemModel::modelReset, this, [this] { problems.append("model reset"); });
        connect(list, &QAbstractItemModel::rowsRemoved, this, &BatchWatch::check);
        connect(list, &QAbstractItemModel::dataChanged, this, &BatchWatch::check);
        NotificationCenter *center = NotificationCenter::defaultCenter();
        center->addObserver(
            this, LMNotification::UploadingAsset, s.connection(), [this](const Notification &n) {
                if (const auto *record = qobject_cast<Asset *>(n.userInfo.value("asset").value<QObject *>()))
                    m_started.append(record->filePath().value_or(QString()));
                if (m_outcomes == 0)
                    markedAtFirstFile = !m_s.upload()->failureReason(0).isEmpty() ||
                                        m_s.upload()->failureReasonField()->isVisible();
                check();
            });
        for (const QString &done : {LMNotification::UploadedAsset, LMNotification::UploadFailedAsset})
            center->addObserver(this, done, s.connection(), [this](const Notification &) {
                ++m_outcomes;
                check();
            });
    }

    QStringList problems;
    // A failure reason from an earlier batch was still shown when the first file started.
    bool markedAtFirstFile = false;

private:
    void check()
    {
        for (QLabel *label : {m_s.upload()->uploadStatusField(), m_s.upload()->failureReasonField(),
                              m_s.upload()->progressPanel()->rateLabel()})
            if (!label->text().isEmpty() && AccessibleTree::nameOf(label) != label->text())
                problems.append(QStringLiteral("%1 reads \"%2\", is called \"%3\"")
                                    .arg(label->objectName(), label->text(), AccessibleTree::nameOf(label)));
        // Before the first file, a kept tree's categories are found or made.
        static const QRegularExpression preparing(QStringLiteral("^Creating categories… (\\d+) of (\\d+)$"));
        // Or it waits to send a file again, or for the server to answer.
        static const QRegularExpression waiting(
            QStringLiteral("^(Sending .+ again in|Paused after failures)"));
        const QString status = m_s.status();
        if (m_s.upload()->uploadInProgress() && !status.isEmpty() &&
            !(m_number == 0 && preparing.match(status).hasMatch()) && !waiting.match(status).hasMatch()) {
            // With several at once it counts the files done and those on their way.
            static const QRegularExpression counting(QStringLiteral(
                "^(?:uploading asset (\\d+)|(\\d+)) of (\\d+)(?(2)(?: · [1-4] in flight)?|)$"));
            const QRegularExpressionMatch match = counting.match(status);
            const int number =
                match.captured(1).isEmpty() ? match.captured(2).toInt() + 1 : match.captured(1).toInt();
            if (!match.hasMatch() || match.captured(3).toInt() != m_s.upload()->uploadBatchTotal() ||
                number < m_number || number > m_outcomes + 1)
                problems.append(QStringLiteral("\"%1\" after %2 files").arg(status).arg(m_outcomes));
            m_number = number;
        }
        const QList<Asset *> queue = m_s.upload()->importQueue();
        QStringList listed = filePaths(queue);
        if (const QString shown = m_s.upload()->assetNameTextField()->text();
            m_s.upload()->uploadInProgress() && !shown.isEmpty() && !m_started.contains(shown) &&
            (m_queued.contains(shown) || !listed.contains(shown)))
            problems.append(QStringLiteral("%1 shown before its turn").arg(shown));
        QStringList names;
        for (const Asset *record : queue)
            names.append(record->fileName());
        if (columnTexts(m_s.browser(), 0) != names)
            problems.append(QStringLiteral("list shows %1").arg(columnTexts(m_s.browser(), 0).join(',')));
        std::unique_ptr<ObjectContext> store = openStore();
        const QStringList pending =
            filePaths(store->fetchPendingAssets(findBookmark(*store, m_s.bookmark->objectId())));
        for (const Asset *record : queue) {
            const QString path = record->filePath().value_or(QString());
            if (pending.contains(path))
                continue;
            // Looked up by id: the whole log, read at every change, would make a large batch crawl.
            const Asset *stored = store->assetWithId(record->objectId());
            if (!stored || stored->isPending())
                problems.append(QStringLiteral("%1 listed, neither pending nor stamped").arg(path));
        }
        listed.removeIf([&](const QString &path) { return !pending.contains(path); });
        if (listed != pending)
            problems.append(QStringLiteral("listed %1, pending %2").arg(listed.join(','), pending.join(',')));
    }

    const UploadSession &m_s;
    const QStringList m_queued;
    QStringList m_started;
    int m_outcomes = 0;
    int m_number = 0;
};

// What a file manager's drop delivers to the widget under the cursor.
bool drop(QWidget *target, const QMimeData *data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return false;
    QDragMoveEvent move(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted() || move.dropAction() != Qt::CopyAction)
        return false;
    QDropEvent dropped(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
}

bool dropUrls(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    return drop(target, &data);
}

// The rows of a tree, parents first, as "<depth spaces>name|files|state".
QStringList treeRows(const QAbstractItemModel *model, const QModelIndex &parent = {}, int depth = 0)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(parent); ++column)
            cells.append(model->index(row, column, parent).data().toString());
        rows.append(QString(depth, QLatin1Char(' ')) + cells.join(QLatin1Char('|')));
        rows += treeRows(model, model->index(row, 0, parent), depth + 1);
    }
    return rows;
}

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");

// Stands in for the desktop's notification service. It sits on a bus connection of its own, so
// every call travels through the bus daemon as a call to a real service does.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // Application name, desktop entry, summary and body of each call, in order.
    QList<QStringList> received;

public slots:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        received.append({appName, hints.value(QStringLiteral("desktop-entry")).toString(), summary, body});
        return uint(received.size());
    }
};

// logind's double sits on the private bus, which stands in for the system bus too. libdbus reads
// both addresses once, at the first connection, so this is set before anything connects.
[[maybe_unused]] const bool g_privateSystemBus = [] {
    if (qEnvironmentVariableIsSet("LUMARO_PRIVATE_BUS"))
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    return true;
}();

// Stand in for the desktop portal's Inhibit and for logind, each on the private bus: what was
// asked for, and whether it was let go since.
class InhibitRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    bool closed = false;
public slots:
    void Close() { closed = true; }
};

class InhibitPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit InhibitPortal(const QDBusConnection &bus) : m_bus(bus) {}
    QStringList asked; // flags and reason
    QList<InhibitRequest *> requests;
public slots:
    QDBusObjectPath Inhibit(const QString &, uint flags, const QVariantMap &options)
    {
        asked << QString::number(flags) + QLatin1Char(' ') +
                     options.value(QStringLiteral("reason")).toString();
        const QString path =
            QStringLiteral("/org/freedesktop/portal/desktop/request/test/t%1").arg(requests.size());
        requests << new InhibitRequest;
        requests.constLast()->setParent(this);
        m_bus.registerObject(path, requests.constLast(), QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

class Logind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~Logind() override { closeLock(); }
    QStringList asked; // what and mode
    // The lock is let go once no copy of the descriptor handed out is open any more.
    [[nodiscard]] bool released() const
    {
        pollfd watch{m_readEnd, POLLIN, 0};
        return m_readEnd >= 0 && ::poll(&watch, 1, 0) == 1 && (watch.revents & POLLHUP);
    }
    void closeLock()
    {
        if (m_readEnd >= 0)
            ::close(m_readEnd);
        m_readEnd = -1;
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &, const QString &,
                                    const QString &mode)
    {
        asked << what + QLatin1Char(' ') + mode;
        closeLock();
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        m_readEnd = ends[0];
        const QDBusUnixFileDescriptor lock(ends[1]); // a copy of its own
        ::close(ends[1]);
        return lock;
    }

private:
    int m_readEnd = -1;
};
} // namespace

// The upload view in a real session window against lumaro-devserver: queueing (by the chooser and
// by drops), the picture, removing, uploading, stopping and failures, checked on screen, in the
// store and on the server; and a batch's end told to the desktop (doubles on a private bus).
class TestUploadView : public QObject {
    Q_OBJECT

private:
    AppDelegate m_app;
    ObjectContext *m_context = nullptr;
    QTemporaryDir m_files;
    DesktopNotifier m_notifier{QStringLiteral("Lumaro Importer"),
                               QStringLiteral("com.veltrane.LumaroImporter")};
    NotificationService m_service;
    SleepInhibitor m_inhibitor{QStringLiteral("Uploading files")};
    QDBusConnection m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "service");
    // Some other window the user went to while the batch ran.
    QWidget m_elsewhere;

private slots:
    void initTestCase()
    {
        m_context = m_app.managedObjectContext();
        QVERIFY(m_context);
        QVERIFY(m_files.isValid());
        registerSessionControllers(Storyboard::main(), &m_notifier, &m_inhibitor);
    }

    // Chosen or dropped together, a file comes before a folder's files, which are in name order.
    void chooserAndDropsQueueFilesAndFolders()
    {
        UploadSession s(m_context, QStringLiteral("Queue"));
        QVERIFY(s.waitUntilReady());
        const QString root = m_files.filePath(QStringLiteral("chooser"));
        const QString loose = writeFile(root + QStringLiteral("/loose.txt"), "l");
        writeFile(root + QStringLiteral("/album/2.jpg"), "2");
        // A direction override is queued as it is and shown spelled out, to a screen reader too.
        writeFile(root + QStringLiteral("/album/1\u202egpj.exe"), "1");

        QTest::mouseClick(s.upload()->chooseAssetsButton(), Qt::LeftButton);
        auto *dialog = s.session->window()->findChild<QFileDialog *>(QStringLiteral("chooseAssetsDialog"));
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        // A second click brings the same chooser forward.
        QTest::mouseClick(s.upload()->chooseAssetsButton(), Qt::LeftButton);
        QCOMPARE(s.session->window()->findChildren<QFileDialog *>().size(), 1);

        // A file and a folder picked together, then Choose.
        dialog->setDirectory(root);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(QStringLiteral("\"loose.txt\" \"album\""));
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        QVERIFY(buttons);
        QPushButton *choose = buttons->button(QDialogButtonBox::Open);
        QVERIFY(choose && choose->isEnabled());
        QTest::mouseClick(choose, Qt::LeftButton);
        const QStringList chosen{loose, root + QStringLiteral("/album/1\u202egpj.exe"),
                                 root + QStringLiteral("/album/2.jpg")};
        QCOMPARE(filePaths(s.upload()->importQueue()), chosen);
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(s.list());
        QCOMPARE(list->tableInterface()->cellAt(1, 0)->text(QAccessible::Name),
                 QStringLiteral("1<U+202E>gpj.exe"));
        QTRY_VERIFY(s.session->window()->findChildren<QFileDialog *>().isEmpty());

        // Cancel queues nothing.
        QTest::mouseClick(s.upload()->chooseAssetsButton(), Qt::LeftButton);
        dialog = s.session->window()->findChild<QFileDialog *>(QStringLiteral("chooseAssetsDialog"));
        QVERIFY(dialog);
        dialog->reject();
        QCOMPARE(filePaths(s.upload()->importQueue()), chosen);

        // Dropped, hidden files left out.
        QVERIFY(s.browser()->acceptDrops());
        const QString folder = m_files.filePath(QStringLiteral("dropped"));
        const QString pdf = writeFile(m_files.filePath(QStringLiteral("loose.pdf")), "%PDF");
        writeFile(folder + QStringLiteral("/z.txt"), "z");
        writeFile(folder + QStringLiteral("/m.txt"), "m");
        writeFile(folder + QStringLiteral("/.DS_Store"), "x");
        QVERIFY(dropUrls(s.browser(), fileUrls({pdf, folder})));
        const QStringList expected =
            chosen + QStringList{pdf, folder + QStringLiteral("/m.txt"), folder + QStringLiteral("/z.txt")};
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
        QCOMPARE(columnTexts(s.browser(), 0).mid(3), (QStringList{"loose.pdf", "m.txt", "z.txt"}));
        QCOMPARE(s.browser()->selectedRowsInColumn(0), QList<int>{5});
        QCOMPARE(s.upload()->assetNameTextField()->text(), expected.last());
        QCOMPARE(s.upload()->previewPane()->filePath(), expected.last());
        // Saved once for the group: a fresh read of the store file has them, for this bookmark.
        std::unique_ptr<ObjectContext> store = openStore();
        QCOMPARE(filePaths(store->fetchPendingAssets(findBookmark(*store, s.bookmark->objectId()))),
                 expected);
        // Clicking a row shows that record.
        QVERIFY(clickRow(s.browser(), 0, 0));
        QCOMPARE(s.upload()->assetNameTextField()->text(), loose);

        // Text, and a link from a web browser: accepted with the copy cursor, then ignored. A
        // folder with nothing usable in it adds nothing either.
        QMimeData text;
        text.setText(QStringLiteral("/etc/hostname"));
        QVERIFY(drop(s.browser(), &text, Qt::MoveAction | Qt::CopyAction));
        QVERIFY(dropUrls(s.browser(), {QUrl(QStringLiteral("https://example.invalid/photo.jpg"))}));
        QDir().mkpath(m_files.filePath(QStringLiteral("empty/sub")));
        QVERIFY(dropUrls(s.browser(), fileUrls({m_files.filePath(QStringLiteral("empty"))})));
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
        QCOMPARE(s.upload()->assetNameTextField()->text(), loose);
        QCOMPARE(filePaths(m_context->fetchPendingAssets(s.bookmark)), expected);

        // A file listed already is not queued again, with or without its folder.
        QVERIFY(dropUrls(s.browser(), fileUrls({pdf, folder})));
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
        QCOMPARE(s.status(), QStringLiteral("3 files were in the queue already."));

        // Back to the categories and here again: the queue is kept, observers not doubled, the
        // path text refreshed.
        QTest::mouseClick(s.upload()->backToCategoriesButton(), Qt::LeftButton);
        QCOMPARE(s.session->contentViewController(), s.session->categoryView());
        QCOMPARE(s.session->currentView(),
                 std::optional<QString>(LMSessionWindowController::CategoryViewName));
        const int observers = NotificationCenter::defaultCenter()->observerCount();
        s.session->showView(s.upload());
        QCOMPARE(NotificationCenter::defaultCenter()->observerCount(), observers);
        QCOMPARE(s.upload()->categoryNameTextField()->text(), s.connection()->getSelectedCategoryPath());
        QCOMPARE(filePaths(s.upload()->importQueue()), expected);
    }

    void deleteKeyRemovesSelectedRowsAndPicturesLoadAside()
    {
        UploadSession s(m_context, QStringLiteral("Delete"));
        QVERIFY(s.waitUntilReady());
        const QStringList paths = writeFiles(m_files.filePath(QStringLiteral("delete")), 10);
        s.upload()->AddAssetsToImportQueue(fileUrls(paths));
        QCOMPARE(s.upload()->importQueue().size(), 10);
        const QList<Asset *> before = s.upload()->importQueue();
        QPointer<Asset> third = before.at(2);

        // Rows 2 to 4: a click and a shift-click, then Backspace.
        QVERIFY(clickRow(s.browser(), 2, 0));
        QTest::mouseClick(s.list()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          s.browser()->visualRectOfRow(4, 0).center());
        QCOMPARE(s.browser()->selectedRowsInColumn(0), (QList<int>{2, 3, 4}));
        QTest::keyClick(s.list(), Qt::Key_Backspace);
        QCOMPARE(s.upload()->importQueue().size(), 7);
        QCOMPARE(s.upload()->importQueue().at(2), before.at(5));
        QCOMPARE(s.browser()->selectedRowsInColumn(0), QList<int>{2});
        QCOMPARE(s.upload()->assetNameTextField()->text(), paths.at(5));
        QCOMPARE(columnTexts(s.browser(), 0).size(), 7);
        // Gone from the store context and its file too.
        QVERIFY(third.isNull() || third->isDeleted());
        std::unique_ptr<ObjectContext> store = openStore();
        QCOMPARE(store->fetchPendingAssets(findBookmark(*store, s.bookmark->objectId())).size(), 7);

        // The last two rows, with the Delete key: the new last row is selected.
        QVERIFY(clickRow(s.browser(), 5, 0));
        QTest::mouseClick(s.list()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          s.browser()->visualRectOfRow(6, 0).center());
        QTest::keyClick(s.list(), Qt::Key_Delete);
        QCOMPARE(s.upload()->importQueue().size(), 5);
        QCOMPARE(s.browser()->selectedRowsInColumn(0), QList<int>{4});
        QCOMPARE(s.upload()->assetNameTextField()->text(), paths.at(7));

        // Nothing selected: nothing happens.
        s.list()->selectionModel()->clear();
        QTest::keyClick(s.list(), Qt::Key_Delete);
        QCOMPARE(s.upload()->importQueue().size(), 5);

        // Everything: the list, the picture and the path are empty.
        s.list()->setFocus();
        QTest::keyClick(s.list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(s.browser()->selectedRowsInColumn(0).size(), 5);
        QTest::keyClick(s.list(), Qt::Key_Delete);
        QVERIFY(s.upload()->importQueue().isEmpty());
        QCOMPARE(s.browser()->rowCountInColumn(0), 0);
        QVERIFY(s.upload()->assetNameTextField()->text().isEmpty());
        QVERIFY(s.upload()->previewPane()->filePath().isEmpty());
        QVERIFY(m_context->fetchPendingAssets(s.bookmark).isEmpty());

        // Pictures are decoded off the GUI thread at preview size; what is no picture shows its type
        // icon. 10000 x 10000 pixels: 100 megapixels.
        const QString path = m_files.filePath(QStringLiteral("panorama.jpg"));
        {
            QImage huge(10000, 10000, QImage::Format_Grayscale8);
            huge.fill(200);
            QPainter painter(&huge);
            painter.setPen(QPen(Qt::black, 40));
            painter.drawEllipse(QRect(500, 500, 9000, 9000));
            painter.end();
            QImageWriter writer(path, "jpeg");
            writer.setQuality(60);
            QVERIFY2(writer.write(huge), qPrintable(writer.errorString()));
        }
        const QString small = writeFile(m_files.filePath(QStringLiteral("notes.txt")), "plain text");
        UploadPreviewPane *pane = s.upload()->previewPane();
        s.upload()->AddAssetsToImportQueue(fileUrls({small}));
        QTRY_VERIFY_WITH_TIMEOUT(!pane->isLoading(), kTimeout);
        QVERIFY(!pane->isShowingPicture());
        QVERIFY(!s.upload()->assetPreview()->pixmap().isNull()); // the text file's type icon

        // The call returns with the picture still being decoded elsewhere: the window goes on.
        s.upload()->AddAssetsToImportQueue(fileUrls({path}));
        QCOMPARE(pane->filePath(), path);
        QVERIFY(pane->isLoading());
        QVERIFY(!pane->isShowingPicture());
        QTRY_VERIFY_WITH_TIMEOUT(pane->isShowingPicture(), 120000);

        const QPixmap shown = s.upload()->assetPreview()->pixmap();
        QVERIFY(!shown.isNull());
        QVERIFY(shown.width() <= s.upload()->assetPreview()->width());
        QVERIFY(shown.height() <= s.upload()->assetPreview()->height());

        // Back to the small file before a slow answer could come in: the stale one is dropped.
        QVERIFY(clickRow(s.browser(), 0, 0));
        QCOMPARE(pane->filePath(), small);
        QTRY_VERIFY_WITH_TIMEOUT(!pane->isLoading(), kTimeout);
        QVERIFY(!pane->isShowingPicture());
    }

    void uploadsABatch_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("refused"); // the server answers 500 to this POST (from 1); 0: none
        QTest::addColumn<int>("parallel");
        // Every so many files the server restarts: 503, then connections refused for a while.
        QTest::addColumn<int>("restartEvery");
        // The server asks to come back in ten minutes, and while the batch waits the user drops a
        // file and then clicks this ("Retry Now" or "Stop Upload").
        QTest::addColumn<QString>("whileWaiting");
        QTest::newRow("fifty in a flash, one refused") << 50 << 17 << 1 << 0 << QString();
        QTest::newRow("fifty, four at once, one refused") << 50 << 17 << 4 << 0 << QString();
        QTest::newRow("two hundred through a server that restarts, unattended")
            << 200 << 0 << 1 << 20 << QString();
        QTest::newRow("asked to wait, retry now") << 1 << 0 << 1 << 0 << "Retry Now";
        QTest::newRow("asked to wait, stop") << 1 << 0 << 1 << 0 << "Stop Upload";
    }

    void uploadsABatch()
    {
        QFETCH(int, files);
        QFETCH(int, refused);
        QFETCH(int, parallel);
        QFETCH(int, restartEvery);
        QFETCH(QString, whileWaiting);
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        // An application path of this row's own: on an earlier row's port, the same address would
        // find that row's files (same contents) logged, and ask about them instead of uploading.
        QStringList args{QStringLiteral("--app-path"),
                         QStringLiteral("batch/") + QString(tag).replace(' ', '-')};
        if (refused)
            args << "--fault" << QStringLiteral("POST /ra/categoryAssets.json#%1=status:500").arg(refused);
        if (restartEvery)
            args << "--fault"
                 << QStringLiteral("POST /ra/categoryAssets.json%%1=refuse:300").arg(restartEvery);
        if (!whileWaiting.isEmpty())
            args << "--fault" << QStringLiteral("POST /ra/categoryAssets.json#1=retry-after:600");
        UploadSession s(m_context, tag, args);
        QVERIFY(s.waitUntilReady());
        if (whileWaiting.isEmpty())
            s.connection()->setRetrySettings({qint64(60000), std::nullopt, 20, 200});
        const QStringList paths = writeFiles(m_files.filePath(tag), files, 3000);
        s.upload()->AddAssetsToImportQueue(fileUrls(paths));
        const QList<Asset *> records = s.upload()->importQueue();

        BatchWatch watch(s);
        QCOMPARE(s.status(), QString());
        s.bookmark->setSimultaneousUploads(parallel);
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Stop Upload"));
        QVERIFY(!s.browser()->isListEnabled() && !s.upload()->chooseAssetsButton()->isEnabled() &&
                !s.upload()->backToCategoriesButton()->isEnabled() &&
                s.upload()->progressPanel()->isVisible());
        // The list is disabled, so the Delete key cannot reach it; asked directly it refuses.
        s.browser()->selectRow(0, 0);
        s.upload()->deleteSelectedAssets();
        QCOMPARE(s.upload()->importQueue().size(), files);
        QStringList late;
        if (!whileWaiting.isEmpty()) {
            // Counting down from the longest wait between tries, five minutes.
            QTRY_VERIFY_WITH_TIMEOUT(s.upload()->retryNowButton()->isVisible(), kTimeout);
            static const QRegularExpression waiting(
                QStringLiteral(R"(^Sending file-01\.txt again in (5 min 0|4 min \d\d) s )"
                               R"(\(try 1: The server answered HTTP 503 Service Unavailable\)$)"));
            QVERIFY2(waiting.match(s.status()).hasMatch(), qPrintable(s.status()));
            if (whileWaiting == "Retry Now")
                QVERIFY(saveScreenshot(s.session->window(), QStringLiteral("upload-waiting-to-retry")));
            // Dropped mid-batch: it joins the list, not the batch.
            late << writeFile(m_files.filePath(tag + QStringLiteral("/late.txt")), tag.toUtf8());
            QVERIFY(dropUrls(s.browser(), fileUrls(late)));
            QCOMPARE(s.upload()->importQueue().size(), files + 1);
            QTest::mouseClick(whileWaiting == "Stop Upload" ? s.upload()->startUploadButton()
                                                            : s.upload()->retryNowButton(),
                              Qt::LeftButton);
        }

        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout * 4);
        QCOMPARE(watch.problems.join("\n"), QString());
        QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Start Upload"));
        QVERIFY(s.browser()->isListEnabled() && s.upload()->chooseAssetsButton()->isEnabled() &&
                s.upload()->backToCategoriesButton()->isEnabled() &&
                !s.upload()->progressPanel()->isVisible() && !s.upload()->retryNowButton()->isVisible());
        // Every outcome reached the status line, the list and the store file. The refused POST
        // is of the refused file's turn, which with several at once the server log tells. Stopped
        // while waiting, the file never arrived: it waits in the queue, unmarked.
        QStringList delivered; // besides the POSTs a restarting server answered 503
        int unavailable = 0;
        for (const QJsonObject &request : s.server.requests(QStringLiteral("/ra/categoryAssets.json"))) {
            const QString name = requestBody(request).value(QLatin1String("assetFileName")).toString();
            if (request.value("status").toInt() == 500)
                refused = int(paths.indexOf(QFileInfo(paths.first()).path() + '/' + name)) + 1;
            if (request.value("status").toInt() == 503)
                ++unavailable;
            else
                delivered << name;
        }
        const bool stopped = whileWaiting == "Stop Upload";
        QStringList left = (stopped ? paths : QStringList()) + late;
        if (refused)
            left.prepend(paths.at(refused - 1));
        QCOMPARE(s.status(), refused ? QStringLiteral("1 file could not be uploaded") : QString());
        QCOMPARE(filePaths(s.upload()->importQueue()), left);
        QCOMPARE(s.browser()->rowCountInColumn(0), left.size());
        QCOMPARE(s.upload()->assetNameTextField()->text(), left.value(0));
        const QString reason = s.upload()->failureReason(0);
        QVERIFY2(refused ? reason.contains("500") : reason.isEmpty(), qPrintable(reason));
        std::unique_ptr<ObjectContext> store = openStore();
        QCOMPARE(filePaths(store->fetchPendingAssets(findBookmark(*store, s.bookmark->objectId()))), left);
        for (int i = 0; i < files; ++i) {
            QCOMPARE(bool(records.at(i)->uploadDateTime()), !left.contains(paths.at(i)));
            QCOMPARE(records.at(i)->categoryID(), std::optional<qint64>(kSpringCategory));
        }
        // One batch for the whole queue, each file once, in queue order when one at a time (the
        // bodies on the wire: tst_upload).
        QCOMPARE(s.server.requests(QStringLiteral("/ra/assetImportStatus.json")).size(), 1);
        QCOMPARE(unavailable,
                 restartEvery ? (files + unavailable) / restartEvery : int(!whileWaiting.isEmpty()));
        QStringList names;
        for (const QString &path : paths)
            names << QFileInfo(path).fileName();
        if (stopped)
            names.clear();
        if (parallel > 1)
            delivered.sort();
        QCOMPARE(delivered, names);
    }

    // The second and the last file are answered late. Mid-batch the window describes the file on
    // its way; Stop lets it finish and leaves the rest queued, which the next batch sends.
    void stopMidBatchLeavesTheRestQueued()
    {
        UploadSession s(
            m_context, QStringLiteral("Stop"),
            {QStringLiteral("--fault"), QStringLiteral("POST /ra/categoryAssets.json#2=delay:4000"),
             QStringLiteral("--fault"), QStringLiteral("POST /ra/categoryAssets.json#6=delay:1500")});
        QVERIFY(s.waitUntilReady());
        const QString folder = m_files.filePath(QStringLiteral("stop"));
        QImage picture(1600, 1000, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(40 + x * 150 / 1600, 90 + y * 120 / 1000, 160 + (x + y) % 60));
        QStringList paths;
        QDir().mkpath(folder);
        for (const char *name :
             {"harbour-morning.jpg", "harbour-noon.jpg", "market-square.jpg", "old-town.jpg"}) {
            paths.append(folder + QLatin1Char('/') + QLatin1String(name));
            picture.setPixel(0, 0, qRgb(int(paths.size()) * 60, 0, 0)); // no two alike: no duplicates
            QVERIFY(picture.save(paths.constLast(), "JPEG", 95));
        }
        paths += writeFiles(folder, 2, 400000, QStringLiteral("survey-notes"));
        s.upload()->AddAssetsToImportQueue(fileUrls(paths));
        const QList<Asset *> records = s.upload()->importQueue();
        s.session->window()->resize(900, 600);

        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("uploading asset 2 of 6"), kTimeout);
        UploadProgressPanel *panel = s.upload()->progressPanel();
        QTRY_VERIFY_WITH_TIMEOUT(
            panel->sizesKnown() && panel->fileBar()->value() == panel->fileBar()->maximum(), kTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(s.upload()->previewPane()->isShowingPicture(), kTimeout);
        // The body is out and the server keeps its answer: the line says so at once, and the
        // time left is for the four files still to send.
        QVERIFY2(panel->rateLabel()->text().startsWith(QStringLiteral("Waiting for the server… · about ")),
                 qPrintable(panel->rateLabel()->text()));
        QCOMPARE(AccessibleTree::unnamedControls(s.session->window()), QString());
        // The path and the picture describe the file being sent.
        QCOMPARE(s.upload()->assetNameTextField()->text(), paths.at(1));
        QCOMPARE(s.upload()->previewPane()->filePath(), paths.at(1));
        QVERIFY(panel->batchBar()->value() > 0 && panel->batchBar()->value() < panel->batchBar()->maximum());
        QVERIFY(saveScreenshot(s.session->window(), QStringLiteral("upload-mid-batch")));

        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QVERIFY(s.connection()->haltUpload());
        QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Stop Upload"));
        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout);
        // The file in flight was finished; three to six wait, listed and pending.
        QCOMPARE(s.upload()->importQueue(), records.mid(2));
        QCOMPARE(columnTexts(s.browser(), 0).size(), 4);
        QCOMPARE(m_context->fetchPendingAssets(s.bookmark), records.mid(2));
        QCOMPARE(s.status(), QString());
        QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Start Upload"));
        QCOMPARE(s.upload()->assetNameTextField()->text(), paths.at(2));

        // The rest goes under an import status of its own. Once the last body is out nothing is
        // left to send, so no time is promised.
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("uploading asset 4 of 4"), kTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(panel->rateLabel()->text(), QStringLiteral("Waiting for the server…"),
                                  kTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);
        QVERIFY(s.upload()->importQueue().isEmpty());
        const QList<QJsonObject> statuses = s.server.requests(QStringLiteral("/ra/assetImportStatus.json"));
        QCOMPARE(statuses.size(), 2);
        QCOMPARE(requestBody(statuses.at(1)).value(QLatin1String("count")).toInt(), 4);
        // Every body of a batch carries its one id, in queue order: tst_upload's batchOfThree.
        const QList<QJsonObject> assets = s.server.requests(QStringLiteral("/ra/categoryAssets.json"));
        QCOMPARE(assets.size(), 6);
        QVERIFY(requestBody(assets.at(0)).value(QLatin1String("importStatusID")) !=
                requestBody(assets.at(2)).value(QLatin1String("importStatusID")));
    }

    void failedFileStaysListed()
    {
        // The fourth file is stored, and its answer never comes: it may have arrived.
        UploadSession s(m_context, QStringLiteral("Failure"),
                        {"--fault", "POST /ra/categoryAssets.json#2=status:500", "--fault",
                         "POST /ra/categoryAssets.json#3=close-after"});
        QVERIFY(s.waitUntilReady());
        const QStringList paths = writeFiles(m_files.filePath(QStringLiteral("failure")), 4);
        s.upload()->AddAssetsToImportQueue(fileUrls(paths));
        const QList<Asset *> records = s.upload()->importQueue();
        QVERIFY(QFile::remove(paths.at(2))); // gone before its turn comes
        BatchWatch watch(s);

        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout);
        // The list followed the store throughout, the failed files' marks too.
        QCOMPARE(watch.problems, QStringList());
        const QString outcome =
            QStringLiteral("2 files could not be uploaded. 1 file may have arrived without an "
                           "answer; it is not sent again without asking");
        QCOMPARE(s.status(), outcome);
        QCOMPARE(s.upload()->importQueue(), records.mid(1));
        QCOMPARE(records.at(3)->uploadState(), Asset::UploadState::MayHaveArrived);
        const QString doubt =
            QStringLiteral("May have arrived: The connection closed before the server answered.");
        QCOMPARE(s.list()->model()->index(2, 0).data(Qt::ToolTipRole).toString(), doubt);

        // Marked in the list, with the reason as tooltip.
        const QString reason = s.upload()->failureReason(0);
        QVERIFY2(reason.contains(QLatin1String("500")), qPrintable(reason));
        QVERIFY2(s.upload()->failureReason(1).contains(paths.at(2)),
                 qPrintable(s.upload()->failureReason(1)));
        const QModelIndex row = s.list()->model()->index(0, 0);
        QCOMPARE(row.data(Qt::ToolTipRole).toString(), reason);
        QVERIFY(!row.data(Qt::DecorationRole).value<QIcon>().isNull());

        // The selected failed file says why beside its path, in text that can be selected; the
        // keyboard reaches the next one, and a screen reader hears each reason with its row.
        QLabel *why = s.upload()->failureReasonField();
        QVERIFY(why->isVisible() && why->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        QCOMPARE(why->text(), reason);
        s.list()->setFocus();
        QTest::keyClick(s.list(), Qt::Key_Down);
        QCOMPARE(s.upload()->assetNameTextField()->text(), paths.at(2));
        QCOMPARE(why->text(), s.upload()->failureReason(1));
        QCOMPARE(s.status(), outcome);
        for (QLabel *label : {why, s.upload()->uploadStatusField()}) // as a screen reader reads them
            QCOMPARE(AccessibleTree::nameOf(label), label->text());
        QVERIFY(saveScreenshot(s.session->window(), QStringLiteral("upload-failed-file")));
        // Tab goes on in reading order: the reason, then the buttons from the left.
        QTest::keyClick(s.list(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), why);
        QTest::keyClick(why, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), s.upload()->backToCategoriesButton());
        QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(s.list())->tableInterface();
        for (int r = 0; r < 2; ++r)
            QCOMPARE(cells->cellAt(r, 0)->text(QAccessible::Description),
                     QStringLiteral("Upload failed: ") + s.upload()->failureReason(r));

        // The next batch tries the failed ones again (the fault was for one request only) and
        // clears the marks when it starts, after the duplicate check (their size is that of the
        // logged files) has asked about the one that may have arrived: it goes again only now.
        BatchWatch again(s);
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QCOMPARE(s.status(), QStringLiteral("Looking for files uploaded before…"));
        DuplicateSheet *sheet = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((sheet = s.session->window()->findChild<DuplicateSheet *>()), kTimeout);
        QCOMPARE(sheet->list()->count(), 1);
        QCOMPARE(
            sheet->list()->item(0)->text(),
            QStringLiteral("file-04.txt — may have arrived at /Photos/2024/Spring: The connection closed "
                           "before the server answered."));
        QTest::mouseClick(sheet->button(DuplicateSheet::UploadAll), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);
        QCOMPARE(again.problems, QStringList());
        QVERIFY(!again.markedAtFirstFile);
        QCOMPARE(s.upload()->importQueue(), QList<Asset *>{records.at(2)});
        QCOMPARE(s.status(), QStringLiteral("1 file could not be uploaded"));
        QCOMPARE(s.server.sentFileNames(),
                 (QStringList{"file-01.txt", "file-02.txt", "file-04.txt", "file-02.txt", "file-04.txt"}));
    }

    void queuesAFolderTree_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("failed");
        QTest::newRow("keep the structure")
            << int(FolderTreeSheet::KeepStructure) << "POST /ra/categories.json#1=delay:600" << QStringList();
        QTest::newRow("put every file into the target")
            << int(FolderTreeSheet::PutEveryFile) << QString() << QStringList();
        // The branch below the refused one (PRIVATE, made first) fails, the others go.
        QTest::newRow("keep, a creation refused")
            << int(FolderTreeSheet::KeepStructure) << "POST /ra/categories.json#1=status:500"
            << QStringList{"clip.MTS"};
        // card's children cannot be listed: the sheet says so rather than guess.
        QTest::newRow("cancel") << int(FolderTreeSheet::Cancel) << "GET /ra/categories/100.json=status:503"
                                << QStringList();
    }

    void queuesAFolderTree()
    {
        QFETCH(int, answer);
        QFETCH(QString, fault);
        QFETCH(QStringList, failed);
        const bool keep = answer == FolderTreeSheet::KeepStructure;
        const QByteArray tag(QTest::currentDataTag());
        const QString root = m_files.filePath(QStringLiteral("tree ") + QLatin1String(tag));
        // Below Spring, a card whose first levels are on the server already, with twins where MISC
        // would go.
        const QString treeFile = writeFile(root + QStringLiteral("/tree.json"), R"({"categories": [
            {"id": 1, "name": "Photos", "children": [{"id": 2, "name": "2024", "children": [
            {"id": 3, "name": "Spring", "type": 11, "children": [{"id": 100, "name": "card", "children": [
                {"id": 101, "name": "DCIM", "children": [{"id": 102, "name": "100CANON"}]},
                {"id": 103, "name": "MISC"}, {"id": 104, "name": "MISC"}]}]}]}]}]})");
        QStringList args{QStringLiteral("--tree"), treeFile};
        if (!fault.isEmpty())
            args << QStringLiteral("--fault") << fault;
        UploadSession s(m_context, QStringLiteral("Tree ") + QLatin1String(tag), args);
        QVERIFY(s.waitUntilReady());
        const QHash<QString, QString> places{{"loose.jpg", ""},
                                             {"IMG_0001.CR3", "card/DCIM/100CANON"},
                                             {"IMG_0002.CR3", "card/DCIM/100CANON"},
                                             {"IMG_0101.CR3", "card/DCIM/101CANON"},
                                             {"notes.txt", "card/MISC"},
                                             {"clip.MTS", "card/PRIVATE/AVCHD"},
                                             {"readme.txt", "card"}};
        // Path order, the loose file first as it was named first. Contents of this row alone.
        const QStringList order{"loose.jpg", "IMG_0001.CR3", "IMG_0002.CR3", "IMG_0101.CR3",
                                "notes.txt", "clip.MTS",     "readme.txt"};
        for (const QString &name : order)
            writeFile(QStringLiteral("%1/%2/%3").arg(root, places.value(name), name), tag + name.toUtf8());
        const QString card = root + QStringLiteral("/card");
        writeFile(card + QStringLiteral("/.DS_Store"), "hidden, and left out without a word");
        // Left out, each with why (every kind and its reason: tst_addedfiles).
        for (const char *pipe : {"/pipe 1", "/pipe 2", "/pipe 3"})
            QVERIFY(mkfifo(QFile::encodeName(card + QLatin1String(pipe)).constData(), 0600) == 0);
        s.upload()->AddAssetsToImportQueue(fileUrls({root + QStringLiteral("/loose.jpg"), card}));
        // What was left out is said at once, the whole list a click away.
        const QStringList notAdded = s.upload()->notAddedItems();
        QCOMPARE(notAdded,
                 (QStringList{card + "/pipe 1 — is a named pipe", card + "/pipe 2 — is a named pipe",
                              card + "/pipe 3 — is a named pipe"}));
        QVERIFY(s.upload()->notAddedField()->isVisible());
        QVERIFY2(s.upload()->notAddedField()->text().startsWith(
                     QStringLiteral("3 items were not added: pipe 1 (is a named pipe")),
                 qPrintable(s.upload()->notAddedField()->text()));
        QVERIFY(s.upload()->notAddedField()->text().endsWith(QStringLiteral("; and 1 more.")));
        if (answer == FolderTreeSheet::Cancel) {
            AlertCatcher alerts;
            QTest::mouseClick(s.upload()->showNotAddedButton(), Qt::LeftButton);
            QVERIFY(alerts.waitForAlert());
            QCOMPARE(alerts.last()->text(), QStringLiteral("3 items were not added"));
            QCOMPARE(alerts.last()->informativeText(), notAdded.join(QLatin1Char('\n')));
            QCOMPARE(alerts.last()->detailedText(), notAdded.join(QLatin1Char('\n')));
            alerts.last()->buttons().constFirst()->click();
        }

        // Nothing is queued until the sheet is answered; it looks the categories up first.
        FolderTreeSheet *sheet = s.upload()->folderTreeSheet();
        QVERIFY(sheet && sheet->isVisible() && sheet->windowModality() == Qt::WindowModal);
        QVERIFY(s.upload()->importQueue().isEmpty());
        QVERIFY(sheet->isLoading() && !sheet->addButton()->isEnabled());
        QVERIFY(sheet->keepButton()->isChecked() && sheet->addButton()->isDefault());
        QCOMPARE(sheet->flattenButton()->text(), QStringLiteral("Put every file into /Photos/2024/Spring"));
        QCOMPARE(treeRows(sheet->tree()->model()).value(1), QStringLiteral(" card|1|Looking up…"));
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->isLoading(), kTimeout);
        if (fault.startsWith(QLatin1String("GET"))) {
            const QStringList rows = treeRows(sheet->tree()->model());
            QCOMPARE(rows.mid(0, 2), (QStringList{"/Photos/2024/Spring|1|Upload target", " card|1|Exists"}));
            for (const QString &row : rows.mid(2))
                QVERIFY2(row.section(QLatin1Char('|'), 2).startsWith(QLatin1String("Not known: ")),
                         qPrintable(row));
            const QString summary = sheet->summaryLabel()->text();
            QVERIFY2(summary.startsWith(
                         QStringLiteral("0 categories will be created, 1 exists already. 6 categories "
                                        "could not be looked up (")) &&
                         summary.contains(QLatin1String("503")),
                     qPrintable(summary));
        } else {
            QCOMPARE(treeRows(sheet->tree()->model()),
                     (QStringList{"/Photos/2024/Spring|1|Upload target", " card|1|Exists", "  DCIM||Exists",
                                  "   100CANON|2|Exists", "   101CANON|1|Will be created",
                                  "  MISC|1|2 categories of this name (ids 103, 104): not queued",
                                  "  PRIVATE||Will be created", "   AVCHD|1|Will be created"}));
            QCOMPARE(sheet->summaryLabel()->text(),
                     QStringLiteral(
                         "3 categories will be created, 3 exist already. 1 file will not be queued: where it "
                         "would go, more than one category has the same name."));
        }
        QCOMPARE(AccessibleTree::unnamedControls(sheet), QString());
        if (answer == FolderTreeSheet::PutEveryFile) {
            QVERIFY(saveScreenshot(sheet, QStringLiteral("folder-sheet-keep")));
            // On its circle, where a person clicks.
            QTest::mouseClick(sheet->flattenButton(), Qt::LeftButton, {},
                              QPoint(8, sheet->flattenButton()->height() / 2));
            QCOMPARE(treeRows(sheet->tree()->model()), QStringList{"/Photos/2024/Spring|7|Upload target"});
            QCOMPARE(sheet->summaryLabel()->text(),
                     QStringLiteral("All 7 files go into /Photos/2024/Spring; no category is created."));
            QVERIFY(saveScreenshot(sheet, QStringLiteral("folder-sheet-flat")));
        }
        const qsizetype requestsBefore = s.server.requests().size();
        QTest::mouseClick(answer == FolderTreeSheet::Cancel ? sheet->cancelButton() : sheet->addButton(),
                          Qt::LeftButton);
        QTRY_VERIFY(!s.upload()->folderTreeSheet());
        if (answer == FolderTreeSheet::Cancel) {
            QVERIFY(s.upload()->importQueue().isEmpty());
            QVERIFY(m_context->fetchPendingAssets(s.bookmark).isEmpty());
            QCOMPARE(s.server.requests().size(), requestsBefore);
            return;
        }

        // Each file is listed with where it goes, and so stored.
        QStringList expected = order;
        if (keep)
            expected.removeOne(QStringLiteral("notes.txt"));
        QCOMPARE(columnTexts(s.browser(), 0), expected);
        std::unique_ptr<ObjectContext> store = openStore();
        const QList<Asset *> pending =
            store->fetchPendingAssets(findBookmark(*store, s.bookmark->objectId()));
        QCOMPARE(pending.size(), expected.size());
        for (int row = 0; row < expected.size(); ++row) {
            const QString folder = keep ? places.value(expected.at(row)) : QString();
            QCOMPARE(s.upload()->targetPathOf(row),
                     folder.isEmpty() ? QString() : QStringLiteral("/Photos/2024/Spring/") + folder);
            QCOMPARE(s.list()->model()->index(row, 0).data(BrowserColumnModel::DetailRole).toString(),
                     s.upload()->targetPathOf(row));
            QCOMPARE(pending.at(row)->fileName(), expected.at(row));
            QCOMPARE(pending.at(row)->folderPath().value_or(QString()), folder);
        }
        if (keep) {
            QCOMPARE(s.upload()->notAddedItems().size(), 4);
            QVERIFY2(
                s.upload()->notAddedItems().at(3).startsWith(
                    card + QStringLiteral("/MISC — 1 file not queued: /Photos/2024/Spring/card has more than "
                                          "one category named “MISC” (ids 103, 104)")),
                qPrintable(s.upload()->notAddedItems().at(3)));
        }
        if (tag == "keep the structure") {
            s.session->window()->resize(900, 600);
            QVERIFY(saveScreenshot(s.session->window(), QStringLiteral("upload-queue-paths")));
        }
        // A file already listed is not queued again.
        s.upload()->AddAssetsToImportQueue(fileUrls({root + QStringLiteral("/loose.jpg")}));
        QCOMPARE(s.upload()->importQueue().size(), expected.size());
        QCOMPARE(s.status(), QStringLiteral("1 file was in the queue already."));
        QVERIFY(!s.upload()->notAddedField()->isVisible());

        BatchWatch watch(s);
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        if (keep && fault.contains("delay"))
            QTRY_VERIFY2_WITH_TIMEOUT(s.status().startsWith(QStringLiteral("Creating categories… ")),
                                      qPrintable(s.status()), kTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);
        QCOMPARE(watch.problems, QStringList());
        QCOMPARE(columnTexts(s.browser(), 0), failed);
        QCOMPARE(s.status(), failed.isEmpty() ? QString() : QStringLiteral("1 file could not be uploaded"));
        if (!failed.isEmpty())
            QVERIFY2(s.upload()->failureReason(0).contains("PRIVATE"),
                     qPrintable(s.upload()->failureReason(0)));
        // Where each stored folder path sends its file, and what a refused creation holds back:
        // tst_upload's folderTreeBatch.
    }

    void duplicatesAreAskedAbout_data()
    {
        QTest::addColumn<QString>("earlier");  // who logged a.txt and b.txt
        QTest::addColumn<int>("answer");       // -1: no sheet
        QTest::addColumn<QStringList>("sent"); // by the second batch, as the server logged it
        const QStringList all{"a.txt", "b copy.txt", "same-size.txt", "other.txt"};
        QTest::newRow("skip") << "window" << int(DuplicateSheet::SkipDuplicates)
                              << QStringList{"same-size.txt", "other.txt"};
        QTest::newRow("upload all") << "window" << int(DuplicateSheet::UploadAll) << all;
        QTest::newRow("cancel") << "window" << int(DuplicateSheet::Cancel) << QStringList{};
        // Rows in the file that this window never loaded, as another program writes them.
        QTest::newRow("logged by another program") << "another program" << int(DuplicateSheet::SkipDuplicates)
                                                   << QStringList{"same-size.txt", "other.txt"};
        // After Clear Log nothing is asked about, whatever the file still holds.
        QTest::newRow("log cleared") << "window, then cleared" << -1 << all;
    }

    void duplicatesAreAskedAbout()
    {
        QFETCH(QString, earlier);
        QFETCH(int, answer);
        QFETCH(QStringList, sent);
        // An application path of this row's own: a later row's server may get an earlier one's
        // port, and with the same address it would be the same server, whose log holds a and b.
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        UploadSession s(
            m_context, QStringLiteral("Duplicates ") + tag,
            {QStringLiteral("--app-path"), QStringLiteral("dup/") + QString(tag).replace(' ', '-')});
        QVERIFY(s.waitUntilReady());
        const QString dir = m_files.filePath(QStringLiteral("dup-") + QLatin1String(QTest::currentDataTag()));
        // Contents of this row alone: a later row's server may get an earlier one's port, and
        // with it that row's log.
        const QByteArray salt(QTest::currentDataTag());
        auto content = [&salt](const QByteArray &body) { return (salt + body).left(body.size()); };
        const QByteArray bContent = content("bbbb");
        const QString a = writeFile(dir + QStringLiteral("/a.txt"), content(QByteArray(3000, 'a')));
        const QString b = writeFile(dir + QStringLiteral("/b.txt"), bContent);
        qsizetype sentBefore = 0;
        if (earlier == QLatin1String("another program")) {
            std::unique_ptr<ObjectContext> other = openStore();
            for (const QString &path : {a, b}) {
                Asset *record = other->insertAsset();
                record->setFilePath(path);
                record->setBookmark(findBookmark(*other, s.bookmark->objectId()));
                record->setCategoryID(kSpringCategory);
                record->setCategoryPath(QStringLiteral("/Photos/2024/Spring"));
                record->setUploadDateTime(QDateTime::currentDateTimeUtc());
                record->setFingerprint(QFileInfo(path).size(), ContentHash::ofFile(path),
                                       s.bookmark->serverKey());
            }
            QVERIFY(other->save());
        } else {
            // Nothing logged for this server yet: the batch starts at once, nothing compared.
            s.upload()->AddAssetsToImportQueue(fileUrls({a, b}));
            QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
            QVERIFY(s.upload()->uploadInProgress());
            QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);
            sentBefore = 2;
            if (earlier.endsWith(QLatin1String("cleared")))
                m_context->deleteUploadedAssets();
        }

        // Again, with a copy under another name, a file of a's size and one of no logged size.
        s.upload()->AddAssetsToImportQueue(
            fileUrls({a, writeFile(dir + QStringLiteral("/b copy.txt"), bContent),
                      writeFile(dir + QStringLiteral("/same-size.txt"), content(QByteArray(3000, 'z'))),
                      writeFile(dir + QStringLiteral("/other.txt"), content("other"))}));
        const qsizetype before = s.server.requests().size();
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        // The check reports from the worker later, never inside the click.
        QSignalSpy progress(s.upload()->findChild<DuplicateCheck *>(), &DuplicateCheck::progress);
        QVERIFY(progress.isValid());
        if (answer >= 0) {
            DuplicateSheet *sheet = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((sheet = s.session->window()->findChild<DuplicateSheet *>()), kTimeout);
            QCOMPARE(sheet->list()->count(), 2);
            const QString where = QStringLiteral(" — already uploaded to /Photos/2024/Spring on ");
            QVERIFY(sheet->list()->item(0)->text().startsWith(QStringLiteral("a.txt") + where));
            QVERIFY(sheet->list()->item(1)->text().startsWith(QStringLiteral("b copy.txt") + where));
            // Only files of a logged size were read, and nothing goes out before the answer.
            QVERIFY(!progress.isEmpty());
            QCOMPARE(progress.first().at(1).toLongLong(), 3000 + 4 + 3000);
            QCOMPARE(s.server.requests().size(), before);
            if (answer == DuplicateSheet::SkipDuplicates && earlier == QLatin1String("window")) {
                QVERIFY(sheet->button(DuplicateSheet::SkipDuplicates)->isDefault());
                QCOMPARE(AccessibleTree::unnamedControls(sheet), QString());
                QVERIFY(saveScreenshot(sheet, QStringLiteral("duplicate-sheet")));
            }
            // Only the sheet offers Cancel.
            QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Start Upload"));
            QVERIFY(!s.upload()->startUploadButton()->isEnabled());
            QTest::mouseClick(sheet->button(DuplicateSheet::Answer(answer)), Qt::LeftButton);
            // Skipped files leave the store file at once, before anything else is saved.
            std::unique_ptr<ObjectContext> store = openStore();
            QCOMPARE(store->fetchPendingAssets(findBookmark(*store, s.bookmark->objectId())).size(),
                     answer == DuplicateSheet::SkipDuplicates ? 2 : 4);
        }
        QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);
        if (answer < 0)
            QVERIFY(!s.session->window()->findChild<DuplicateSheet *>());
        QCOMPARE(s.server.sentFileNames().mid(sentBefore), sent);
        QVERIFY(s.upload()->startUploadButton()->isEnabled());
        QCOMPARE(m_context->fetchPendingAssets(s.bookmark).size(), answer == DuplicateSheet::Cancel ? 4 : 0);
    }

    void batchTellsTheDesktop_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("inFront");
        QTest::addColumn<bool>("serviceUp");       // the notification service
        QTest::addColumn<QString>("sleepService"); // its bus name, if any
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QStringList>("notification"); // summary and body; empty: none
        const QString finished = QStringLiteral("Upload to Studio finished");
        const QString late = QStringLiteral("POST /ra/categoryAssets.json#1=delay:1500");
        const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
        QTest::newRow("all uploaded, the portal keeps sleep away")
            << 3 << QStringList{late} << false << true << portal << false
            << QStringList{finished, "3 files uploaded to /Photos/2024/Spring"};
        QTest::newRow("one file, logind where there is no portal")
            << 1 << QStringList{late} << false << true << "org.freedesktop.login1" << false
            << QStringList{finished, "1 file uploaded to /Photos/2024/Spring"};
        QTest::newRow("one failed") << 3 << QStringList{"POST /ra/categoryAssets.json#2=status:500"} << false
                                    << true << QString() << false
                                    << QStringList{finished, "2 uploaded, 1 failed"};
        QTest::newRow("cannot start")
            << 2 << QStringList{"POST /ra/assetImportStatus.json#1=garbage"} << false << true << QString()
            << false
            << QStringList{"Upload to Studio stopped",
                           "Could not start the upload: the server gave no import status id (HTTP 200 OK)"};
        QTest::newRow("window in front, no sleep service")
            << 2 << QStringList() << true << true << QString() << false << QStringList();
        QTest::newRow("no notification service")
            << 2 << QStringList() << false << false << QString() << false << QStringList();
        QTest::newRow("stopped in front, the portal let go")
            << 3 << QStringList{late} << true << true << portal << true << QStringList();
    }

    // The end of a batch in the background is told to the desktop's notification service, and
    // sleep is kept away while a batch runs, through the portal or else logind (doubles on the
    // private bus).
    void batchTellsTheDesktop()
    {
        // The doubles take the desktop's own service names: never on the user's real bus.
        if (!qEnvironmentVariableIsSet("LUMARO_PRIVATE_BUS"))
            QSKIP("needs the private session bus that ctest starts");
        QVERIFY2(m_serviceBus.isConnected(), qPrintable(m_serviceBus.lastError().message()));
        const QString path = QStringLiteral("/org/freedesktop/Notifications");
        QVERIFY(m_serviceBus.objectRegisteredAt(path) ||
                m_serviceBus.registerObject(path, &m_service, QDBusConnection::ExportAllSlots));
        QFETCH(int, files);
        QFETCH(QStringList, faults);
        QFETCH(bool, inFront);
        QFETCH(bool, serviceUp);
        QFETCH(QString, sleepService);
        QFETCH(bool, stop);
        QFETCH(QStringList, notification);
        m_service.received.clear();
        if (serviceUp)
            QVERIFY(m_serviceBus.registerService(ServiceName));
        else
            m_serviceBus.unregisterService(ServiceName);
        // Both doubles leave the bus as they are destroyed, after the name is given up.
        InhibitPortal portal(m_serviceBus);
        Logind logind;
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(sleepService.isEmpty() || m_serviceBus.registerService(sleepService));
        const auto unregister = qScopeGuard([&] { m_serviceBus.unregisterService(sleepService); });
        // Nothing is said about the bus or the services, whether they are there or not.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QDBus|D-Bus|freedesktop")));

        // An application path of this row's own: on an earlier row's port, the same address would
        // find that row's files (same contents) logged, and ask about them instead of uploading.
        QStringList args{QStringLiteral("--app-path"),
                         QStringLiteral("studio/") +
                             QString::fromUtf8(QTest::currentDataTag())
                                 .replace(QRegularExpression(QStringLiteral("\\W+")), "-")};
        for (const QString &fault : std::as_const(faults))
            args << QStringLiteral("--fault") << fault;
        UploadSession s(m_context, QStringLiteral("Studio"), args);
        QVERIFY(s.waitUntilReady());
        // An empty queue does nothing at all.
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QVERIFY(!s.upload()->uploadInProgress());
        QVERIFY(s.server.requests(QStringLiteral("/ra/assetImportStatus.json")).isEmpty());
        s.upload()->AddAssetsToImportQueue(
            fileUrls(writeFiles(m_files.filePath(QString::fromUtf8(QTest::currentDataTag())), files)));
        QWidget *front = inFront ? static_cast<QWidget *>(s.session->window()) : &m_elsewhere;
        front->show();
        front->activateWindow();
        QTRY_VERIFY(front->isActiveWindow());
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        // Held while the first file is on its way.
        if (!sleepService.isEmpty()) {
            QTRY_VERIFY(m_inhibitor.isHeld());
            QVERIFY(s.upload()->uploadInProgress());
            QVERIFY(!logind.released());
        }
        if (stop) {
            // Stopped once the first file's record says it is on its way, so that file goes whole.
            const Asset *first = s.upload()->importQueue().constFirst();
            QTRY_VERIFY(first->uploadState() == Asset::UploadState::Sending && !first->hasChanges());
            QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!s.upload()->uploadInProgress(), kTimeout);
        QTRY_VERIFY(!m_inhibitor.isHeld());
        QCOMPARE(portal.asked,
                 sleepService.contains("portal") ? QStringList{"4 Uploading files"} : QStringList());
        QCOMPARE(logind.asked, sleepService.contains("login1") ? QStringList{"sleep block"} : QStringList());
        if (sleepService.contains("portal"))
            QTRY_VERIFY(portal.requests.constFirst()->closed);
        if (sleepService.contains("login1"))
            QTRY_VERIFY(logind.released());
        const bool cannotStart = faults.join(' ').contains(QLatin1String("assetImportStatus"));
        // Without either sleep service the batch goes as it would anyway.
        const qsizetype sent = s.server.requests(QStringLiteral("/ra/categoryAssets.json")).size();
        QCOMPARE(sent, stop ? 1 : cannotStart ? 0 : files);
        if (cannotStart) {
            // Said in the window too; the queue stays, until the next action clears the message.
            QVERIFY2(s.status().contains(QLatin1String("import status")), qPrintable(s.status()));
            QCOMPARE(s.upload()->importQueue().size(), files);
            QCOMPARE(s.upload()->startUploadButton()->text(), QStringLiteral("Start Upload"));
            s.upload()->AddAssetsToImportQueue(fileUrls(writeFiles(m_files.filePath("cannot start 2"), 1)));
            QCOMPARE(s.status(), QString());
        }

        // One sender, one receiver: the bus keeps the order, so once a marker sent now has
        // arrived, anything the batch's end sent has arrived before it.
        QVERIFY(m_serviceBus.registerService(ServiceName));
        m_notifier.notify(QStringLiteral("marker"), {});
        QTRY_VERIFY(!m_service.received.isEmpty() && m_service.received.constLast().at(2) == "marker");
        m_service.received.removeLast();
        QList<QStringList> expected;
        if (!notification.isEmpty())
            expected.append(QStringList{"Lumaro Importer", "com.veltrane.LumaroImporter"} + notification);
        QCOMPARE(m_service.received, expected);
    }
};

LUMARO_GUI_TEST_MAIN(TestUploadView)
#include "tst_uploadview.moc"
