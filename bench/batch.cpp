// Many small files through the real upload view, against the same files through the connection
// alone in the same run: how much the window costs per file, whether that cost grows with the
// batch, and what an open import log adds.
//
//   bench_batch [--small N] [--large N] [--kib N] [--rounds N] [--stamps N] [--without-log]
//               [--screenshot PNG] [--tree-files N] [--tree-folders N] [--tree-only] [--parallel N]
//
// A session window is opened offscreen on a private store (its own XDG folders) against
// lumaro-devserver --discard-bodies, shown in its upload view with a category selected; the
// files are queued, Start Upload is clicked and the batch runs to its end. Batches: N small
// (default 1,000), N large (default 10,000), then N large again with the import log window
// opened by the application's own menu command, each of files never sent before (the later
// ones are compared with the log first, as a user's next card is, and none has a size the log
// holds). The core reference sends the large batch through an LMServerConnection whose records
// live in a store file of their own, so it pays the same per-file store write as the window.
// Each batch runs --rounds times (default 3), the core's taking turns with the window's, and
// medians are printed, so a burst of other load on the machine does not decide a figure; the
// stalls are the longest of any round, by the clock and by the main thread's own CPU time in a gap.
// The per-file store write is timed on its own too, against one prepared UPDATE run directly
// on the same file. Last, a card of --tree-files files in --tree-folders folders is added through
// the window's add path as a drop adds it: walked, the folder sheet answered "Keep the folder
// structure" as soon as it has looked the categories up, the records inserted and saved and the
// rows shown (queue_tree_ms). --tree-only runs just that. Prints "name value" lines.
#include "BenchSupport.h"

#include "app/AppDelegate.h"
#include "app/ApplicationMenus.h"
#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/Storyboard.h"
#include "session/FolderTreeSheet.h"
#include "session/LMAssetBrowser.h"
#include "session/LMSessionUploadViewController.h"
#include "session/LMSessionWindowController.h"
#include "session/SessionStoryboard.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using namespace BenchSupport;

// "Spring" in the server's sample tree (below Photos and 2024).
constexpr qint64 TargetCategory = 3;
const QString TargetPath = QStringLiteral("/Photos/2024/Spring");

template <typename Predicate> bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets the window finish what a change left it to do (layout, painting, deferred updates).
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Files in flight at once, for the window and the core alike (--parallel).
int simultaneous = 1;

void fillBookmark(ServerBookmark *bookmark, quint16 port)
{
    bookmark->setSimultaneousUploads(simultaneous);
    bookmark->setHostName(QStringLiteral("127.0.0.1"));
    bookmark->setSecureConnect(false);
    bookmark->setPortNumber(port);
    bookmark->setApplicationNameURL(QStringLiteral("cgi-bin/WebObjects/Lumaro.woa"));
    bookmark->setUserName(QStringLiteral("bench"));
    bookmark->setPassword(QStringLiteral("bench"));
}

struct Run {
    double seconds = 0;
    double cpuMs = 0;
    double stallMs = 0;
    double stallCpuMs = 0; // the most CPU time the main thread spent within one gap
    int sent = 0;
    bool ok = false;
    [[nodiscard]] double filesPerSecond() const { return seconds > 0 ? sent / seconds : 0; }
};

// The run of median pace; an empty one when there are none.
Run median(QList<Run> runs)
{
    if (runs.isEmpty())
        return {};
    std::sort(runs.begin(), runs.end(),
              [](const Run &a, const Run &b) { return a.filesPerSecond() < b.filesPerSecond(); });
    return runs.at(runs.size() / 2);
}

// The whole batch through the window: queued, Start Upload clicked, until the view is idle
// again. Every record must end stamped and saved.
Run guiBatch(LMSessionUploadViewController *upload, const QStringList &paths, const QString &screenshot = {})
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    upload->AddAssetsToImportQueue(urls);
    settle(300);
    const QList<Asset *> batch = upload->importQueue();

    Run run;
    StallMeter meter;
    QEventLoop loop;
    const auto ended = QObject::connect(upload, &LMSessionUploadViewController::uploadInProgressChanged,
                                        &loop, [&loop](bool uploading) {
                                            if (!uploading)
                                                loop.quit();
                                        });
    const double cpuBefore = cpuSeconds() * 1e3;
    QElapsedTimer clock;
    clock.start();
    meter.start();
    upload->startUploadButton()->click();
    // A look at the window a second into the batch (the grab itself holds the event loop).
    if (!screenshot.isEmpty())
        QTimer::singleShot(1000, upload,
                           [upload, screenshot] { upload->view()->window()->grab().save(screenshot); });
    loop.exec();
    meter.stop();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuMs = cpuSeconds() * 1e3 - cpuBefore;
    run.stallMs = meter.maxMs();
    run.stallCpuMs = meter.maxCpuMs();
    QObject::disconnect(ended);

    int unsaved = 0;
    for (Asset *record : batch) {
        if (record->uploadDateTime())
            ++run.sent;
        if (record->hasChanges())
            ++unsaved;
    }
    run.ok = run.sent == batch.size() && unsaved == 0 && upload->importQueue().isEmpty();
    if (!run.ok)
        std::fprintf(stderr, "window batch: %d of %lld sent, %d unsaved, %lld left in the list\n", run.sent,
                     static_cast<long long>(batch.size()), unsaved,
                     static_cast<long long>(upload->importQueue().size()));
    settle(300);
    return run;
}

// The same files through the connection alone, records in a store file of their own.
Run coreBatch(const Server &server, const QStringList &paths, const QString &storePath)
{
    Run run;
    auto store = std::make_unique<StoreFile>();
    QString error;
    if (!store->open(storePath, &error)) {
        std::fprintf(stderr, "core store: %s\n", qPrintable(error));
        return run;
    }
    ObjectContext context(std::move(store));
    ServerBookmark *bookmark = context.insertBookmark();
    fillBookmark(bookmark, server.port());
    const QList<Asset *> batch = queueFiles(context, bookmark, paths);
    if (!context.save(&error)) {
        std::fprintf(stderr, "core store: %s\n", qPrintable(error));
        return run;
    }
    LMServerConnection connection(bookmark);
    connection.setSelectedCategory(QJsonObject{{QStringLiteral("id"), TargetCategory},
                                               {QStringLiteral("name"), QStringLiteral("Spring")}});

    QObject observer;
    QEventLoop loop;
    NotificationCenter *center = NotificationCenter::defaultCenter();
    center->addObserver(&observer, LMNotification::UploadedAsset, &connection,
                        [&](const Notification &) { ++run.sent; });
    center->addObserver(&observer, LMNotification::UploadDone, &connection,
                        [&](const Notification &) { loop.quit(); });
    const double cpuBefore = cpuSeconds() * 1e3;
    QElapsedTimer clock;
    clock.start();
    connection.startAssetImport(batch);
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuMs = cpuSeconds() * 1e3 - cpuBefore;
    run.ok = run.sent == paths.size() && !context.hasChanges();
    return run;
}

// Microseconds per stamped record written through the store, and per prepared UPDATE of the
// same columns run directly on the same file: what one stamp costs against its floor.
QPair<double, double> stampCost(const QString &storePath, int count)
{
    auto store = std::make_unique<StoreFile>();
    QString error;
    if (!store->open(storePath, &error))
        return {0, 0};
    ObjectContext context(std::move(store));
    ServerBookmark *bookmark = context.insertBookmark();
    bookmark->setHostName(QStringLiteral("127.0.0.1"));
    QList<Asset *> records;
    for (int i = 0; i < count; ++i) {
        Asset *asset = context.insertAsset();
        asset->setFilePath(QStringLiteral("/photos/card/IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0')));
        asset->setBookmark(bookmark);
        records.append(asset);
    }
    if (!context.save(&error))
        return {0, 0};

    QElapsedTimer clock;
    clock.start();
    for (Asset *asset : std::as_const(records)) {
        asset->setCategoryID(TargetCategory);
        asset->setCategoryPath(TargetPath);
        asset->setUploadDateTime(QDateTime::currentDateTimeUtc());
        context.saveObjects({asset});
    }
    const double stampUs = double(clock.nsecsElapsed()) / 1e3 / count;

    double rawUs = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-raw"));
        db.setDatabaseName(storePath);
        if (db.open()) {
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            QSqlQuery update(db);
            update.prepare(QStringLiteral(
                "UPDATE Asset SET categoryID = ?, categoryPath = ?, uploadDateTime = ? WHERE id = ?"));
            clock.restart();
            for (Asset *asset : std::as_const(records)) {
                update.bindValue(0, TargetCategory);
                update.bindValue(1, TargetPath);
                update.bindValue(2, QDateTime::currentMSecsSinceEpoch());
                update.bindValue(3, asset->objectId());
                update.exec();
            }
            rawUs = double(clock.nsecsElapsed()) / 1e3 / count;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-raw"));
    return {stampUs, rawUs};
}

struct TreeRun {
    double addMs = 0;     // the walk and the sheet coming up: inside the add call
    double previewMs = 0; // the sheet looking the categories up
    double queueMs = 0;   // Add to Queue: records inserted and saved, rows shown
    double totalMs = 0;
    bool ok = false;
};

// A card of files in folders below one added folder, as a drop adds it, answered "keep".
TreeRun queueTree(LMSessionUploadViewController *upload, const QString &card, int files)
{
    TreeRun run;
    const int before = int(upload->importQueue().size());
    QElapsedTimer clock;
    clock.start();
    upload->AddAssetsToImportQueue({QUrl::fromLocalFile(card)});
    run.addMs = double(clock.nsecsElapsed()) / 1e6;
    FolderTreeSheet *sheet = upload->folderTreeSheet();
    if (!sheet) {
        std::fputs("the folder sheet did not come up\n", stderr);
        return run;
    }
    QEventLoop wait;
    QObject::connect(sheet, &FolderTreeSheet::previewFinished, &wait, &QEventLoop::quit);
    if (sheet->isLoading())
        wait.exec();
    run.previewMs = double(clock.nsecsElapsed()) / 1e6 - run.addMs;
    const qint64 clicked = clock.nsecsElapsed();
    sheet->addButton()->click();
    // Shown: laid out and painted once.
    upload->assetBrowser()->columnView(0)->viewport()->repaint();
    QCoreApplication::processEvents();
    run.queueMs = double(clock.nsecsElapsed() - clicked) / 1e6;
    run.totalMs = double(clock.nsecsElapsed()) / 1e6;
    const QList<Asset *> queued = upload->importQueue();
    int unsaved = 0;
    for (const Asset *record : queued)
        unsaved += record->hasChanges();
    run.ok = queued.size() == before + files && unsaved == 0 && queued.constLast()->folderPath() &&
             upload->assetBrowser()->rowCountInColumn(0) == queued.size();
    if (!run.ok)
        std::fprintf(stderr, "tree: %lld of %d queued, %d unsaved\n",
                     static_cast<long long>(queued.size() - before), files, unsaved);
    return run;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

} // namespace

int main(int argc, char *argv[])
{
    // A private store and settings, and no display needed.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int small = 1000;
    int large = 10000;
    int kib = 4;
    int stamps = 2000;
    int rounds = 3;
    int treeFiles = 10000;
    int treeFolders = 300;
    const QStringList args = app.arguments();
    const bool treeOnly = args.contains(QLatin1String("--tree-only"));
    // For profiling the window alone.
    const bool withLog = !args.contains(QLatin1String("--without-log"));
    QString screenshot;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--small"))
            small = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--large"))
            large = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--kib"))
            kib = qMax(0, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--stamps"))
            stamps = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--screenshot"))
            screenshot = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--tree-files"))
            treeFiles = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--tree-folders"))
            treeFolders = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--parallel"))
            simultaneous = std::clamp(args.at(i + 1).toInt(), 1, int(ServerBookmark::MaxSimultaneousUploads));
    }
    std::printf("load_average_at_start %.2f\n", loadAverage());

    // A card of its own for each batch: a file sent before would be held back as a duplicate.
    // Each card's files are a few bytes longer than the last card's, as another camera's would
    // be, so no batch reads its files for the duplicate check and every batch pays the same.
    QList<QStringList> cards; // per round: small, large, large with the log open
    QList<int> counts;
    for (int r = 0; r < rounds && !treeOnly; ++r)
        counts << small << large << large;
    for (const int count : std::as_const(counts)) {
        const QString folder = home.filePath(QStringLiteral("card%1").arg(cards.size()));
        QDir().mkpath(folder);
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << QStringLiteral("%1/IMG_%2.JPG").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
            if (!writeFile(paths.last(), qint64(kib) * 1024 + cards.size(),
                           quint32(cards.size() * 1000003 + i))) {
                std::fputs("cannot write the test files\n", stderr);
                return 1;
            }
        }
        cards.append(paths);
    }

    // The card: files spread over its folders, a few bytes each (nothing reads them here).
    const QString card = home.filePath(QStringLiteral("tree/card"));
    for (int i = 0; i < treeFiles; ++i) {
        const QString path = QStringLiteral("%1/%2/IMG_%3.CR3")
                                 .arg(card)
                                 .arg(i % treeFolders, 3, 10, QLatin1Char('0'))
                                 .arg(i, 5, 10, QLatin1Char('0'));
        if (i < treeFolders)
            QDir().mkpath(QFileInfo(path).path());
        if (!writeFile(path, 16, quint32(i))) {
            std::fputs("cannot write the tree's files\n", stderr);
            return 1;
        }
    }

    Server server;
    if (!server.isRunning()) {
        std::fputs("cannot start lumaro-devserver\n", stderr);
        return 1;
    }

    const QPair<double, double> stamp =
        treeOnly ? QPair<double, double>()
                 : stampCost(home.filePath(QStringLiteral("stamp.storedata")), stamps);

    AppDelegate delegate;
    ObjectContext *context = delegate.managedObjectContext();
    if (!context) {
        std::fputs("cannot open the store\n", stderr);
        return 1;
    }
    registerSessionControllers(Storyboard::main());
    ServerBookmark *bookmark = context->insertBookmark();
    bookmark->setBookmarkName(QStringLiteral("Bench"));
    fillBookmark(bookmark, server.port());
    // Reopens straight in the upload view once the category path is rebuilt.
    bookmark->setLastCategoryView(LMSessionWindowController::UploadViewName);
    bookmark->setLastCategoryID(TargetCategory);
    context->save();

    auto *session = Storyboard::main().instantiate<LMSessionWindowController>(
        LMSessionWindowController::StoryboardIdentifier);
    session->setStoryboard(&Storyboard::main());
    session->setConnectionBookmark(bookmark);
    session->showWindow();
    LMSessionUploadViewController *upload = session->uploadView();
    const bool ready = waitFor(
        [&] {
            const LMServerConnection *connection = session->serverConnection();
            return session->contentViewController() == upload && connection &&
                   connection->selectedCategory() &&
                   connection->selectedCategory()->value(QLatin1String("id")).toInteger() == TargetCategory;
        },
        20000);
    if (!ready) {
        std::fputs("the session did not reach its upload view\n", stderr);
        return 1;
    }

    QList<Run> coreRuns, smallRuns, largeRuns, logRuns;
    for (int r = 0; r < rounds && !treeOnly; ++r) {
        coreRuns << coreBatch(server, cards.at(3 * r + 1),
                              home.filePath(QStringLiteral("core%1.storedata").arg(r)));
        smallRuns << guiBatch(upload, cards.at(3 * r));
        largeRuns << guiBatch(upload, cards.at(3 * r + 1), r == 0 ? screenshot : QString());
    }
    // Once open, the log stays open: its batches come last.
    if (withLog && !treeOnly) {
        delegate.menus()->importLogItem()->trigger();
        settle(500);
        for (int r = 0; r < rounds; ++r)
            logRuns << guiBatch(upload, cards.at(3 * r + 2));
    }

    // Last: its records stay queued.
    const TreeRun tree = queueTree(upload, card, treeFiles);

    QPointer<LMSessionWindowController> closing(session);
    session->close();
    waitFor([&] { return closing.isNull(); }, 10000);
    server.stop();

    const Run core = median(coreRuns);
    const Run smallRun = median(smallRuns);
    const Run largeRun = median(largeRuns);
    const Run logRun = median(logRuns);
    const double perFileSmall = smallRun.sent > 0 ? smallRun.seconds / smallRun.sent : 0;
    const double perFileLarge = largeRun.sent > 0 ? largeRun.seconds / largeRun.sent : 0;
    const auto printBatchFigures = [&] {
        std::printf("rounds %d\n", rounds);
        std::printf("files_small %d\n", small);
        std::printf("files_large %d\n", large);
        std::printf("file_kib %d\n", kib);
        std::printf("gui_files_per_s_1k %.1f\n", smallRun.filesPerSecond());
        std::printf("gui_files_per_s_10k %.1f\n", largeRun.filesPerSecond());
        std::printf("gui_cpu_ms_per_file %.3f\n", largeRun.sent > 0 ? largeRun.cpuMs / largeRun.sent : 0.0);
        std::printf("core_files_per_s %.1f\n", core.filesPerSecond());
        std::printf("core_cpu_ms_per_file %.3f\n", core.sent > 0 ? core.cpuMs / core.sent : 0.0);
        std::printf("gui_vs_core %.2f\n",
                    core.filesPerSecond() > 0 ? largeRun.filesPerSecond() / core.filesPerSecond() : 0.0);
        std::printf("per_file_growth %.2f\n", perFileSmall > 0 ? perFileLarge / perFileSmall : 0.0);
        std::printf("log_open_files_per_s_10k %.1f\n", logRun.filesPerSecond());
        std::printf("log_open_vs_closed %.2f\n", largeRun.filesPerSecond() > 0
                                                     ? logRun.filesPerSecond() / largeRun.filesPerSecond()
                                                     : 0.0);
        auto longest = [](const QList<Run> &runs, double Run::*field) {
            double most = 0;
            for (const Run &run : runs)
                most = qMax(most, run.*field);
            return most;
        };
        std::printf("max_stall_ms %.1f\n",
                    qMax(longest(smallRuns, &Run::stallMs), longest(largeRuns, &Run::stallMs)));
        std::printf("max_stall_cpu_ms %.1f\n",
                    qMax(longest(smallRuns, &Run::stallCpuMs), longest(largeRuns, &Run::stallCpuMs)));
        std::printf("log_open_max_stall_ms %.1f\n", longest(logRuns, &Run::stallMs));
        std::printf("log_open_max_stall_cpu_ms %.1f\n", longest(logRuns, &Run::stallCpuMs));
        std::printf("store_stamp_us %.1f\n", stamp.first);
        std::printf("raw_update_us %.1f\n", stamp.second);
        std::printf("store_stamp_vs_raw_update %.2f\n", stamp.second > 0 ? stamp.first / stamp.second : 0.0);
    };
    if (!treeOnly)
        printBatchFigures();
    std::printf("queue_tree_files %d\n", treeFiles);
    std::printf("queue_tree_folders %d\n", treeFolders);
    std::printf("queue_tree_add_ms %.1f\n", tree.addMs);
    std::printf("queue_tree_preview_ms %.1f\n", tree.previewMs);
    std::printf("queue_tree_insert_ms %.1f\n", tree.queueMs);
    std::printf("queue_tree_ms %.1f\n", tree.totalMs);
    std::printf("load_average_at_end %.2f\n", loadAverage());
    bool ok = tree.ok;
    for (const QList<Run> *runs : {&coreRuns, &smallRuns, &largeRuns, &logRuns}) {
        for (const Run &run : *runs)
            ok = ok && run.ok;
    }
    return ok ? 0 : 1;
}
