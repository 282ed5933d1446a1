// The import log with a long history: what a launch costs with it, and how the log window
// behaves over it (first rows, the longest hold of the event loop while opening, scrolling to
// the end, sorting and searching, memory while scrolling through every row, CSV export).
//
//   bench_log [--records N] [--screenshot FILE]
//                                     measure with N log records (default 100000); FILE gets
//                                     a picture of the log window while it is searched
//   bench_log --generate DIR N        write a store with N log records into the data folder DIR
//                                     (…/com.veltrane.LumaroImporter) and stop
//
// Launch memory is the real application's peak resident size (VmHWM) once it has shown the
// bookmarks window and gone idle, measured offscreen over a store with the records and over
// the same store without them. Prints "name value" lines.
#include "BenchSupport.h"

#include "app/AppDelegate.h"
#include "session/ImportLogModel.h"
#include "session/LMImportLogViewController.h"
#include "session/LMImportLogWindowController.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

using BenchSupport::StallMeter;

// Three bookmarks, a few files waiting in their queues, and `records` uploads spread over them.
bool generateStore(const QString &folder, int records)
{
    auto opened = PersistentStore::open(folder);
    auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened);
    if (!context)
        return false;
    QList<ServerBookmark *> bookmarks;
    for (const QString &name :
         {QStringLiteral("Studio"), QStringLiteral("Archive"), QStringLiteral("Press Office")}) {
        ServerBookmark *bookmark = (*context)->insertBookmark();
        bookmark->setBookmarkName(name);
        bookmark->setHostName(name.toLower().remove(QLatin1Char(' ')) + QStringLiteral(".example"));
        bookmarks.append(bookmark);
        for (int i = 0; i < 3; ++i) {
            Asset *waiting = (*context)->insertAsset();
            waiting->setFilePath(QStringLiteral("/home/user/Pictures/queue/%1-%2.jpg").arg(name).arg(i));
            waiting->setBookmark(bookmark);
        }
    }
    if (!(*context)->save())
        return false;

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("generator"));
    db.setDatabaseName(folder + QLatin1Char('/') + PersistentStore::FileName);
    if (!db.open() || !db.transaction())
        return false;
    {
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO Asset (filePath, fileName, bookmark, categoryID, categoryPath, "
                           "uploadDateTime, fileSize, contentHash, serverKey) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        static const QStringList albums{QStringLiteral("Summer"),    QStringLiteral("Harbour"),
                                        QStringLiteral("Team Day"),  QStringLiteral("Trade Fair Munich"),
                                        QStringLiteral("Portraits"), QStringLiteral("Städte")};
        static const QStringList stems{QStringLiteral("IMG_"), QStringLiteral("harbour-noon-"),
                                       QStringLiteral("DSC"), QStringLiteral("scan "),
                                       QStringLiteral("Präsentation-")};
        QRandomGenerator rng(42);
        const qint64 start = QDateTime(QDate(2021, 1, 1), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch();
        for (int n = 0; n < records; ++n) {
            const ServerBookmark *bookmark = bookmarks.at(n % bookmarks.size());
            const QString album = albums.at(rng.bounded(int(albums.size())));
            const int year = 2021 + n * 5 / std::max(records, 1);
            const QString name = stems.at(n % stems.size()) +
                                 QString::number(n).rightJustified(6, QLatin1Char('0')) +
                                 (n % 7 == 0 ? QStringLiteral(".mov") : QStringLiteral(".jpg"));
            QByteArray hash(32, Qt::Uninitialized);
            for (char &c : hash)
                c = char(rng.bounded(256));
            insert.addBindValue(QStringLiteral("/home/user/Pictures/%1/%2/%3").arg(year).arg(album, name));
            insert.addBindValue(name);
            insert.addBindValue(bookmark->objectId());
            insert.addBindValue(100 + n % 40);
            insert.addBindValue(QStringLiteral("/Photos/%1/%2").arg(year).arg(album));
            insert.addBindValue(start + qint64(n) * 37 * 60 * 1000 + rng.bounded(60000));
            insert.addBindValue(qint64(50000) + rng.bounded(20 * 1000 * 1000));
            insert.addBindValue(QString::fromLatin1(hash.toHex()));
            insert.addBindValue(bookmark->serverKey());
            if (!insert.exec()) {
                std::fprintf(stderr, "generator: %s\n", qPrintable(insert.lastError().text()));
                return false;
            }
        }
    }
    const bool ok = db.commit();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("generator"));
    return ok;
}

qint64 statusKiB(qint64 pid, const char *field)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

// Peak resident size of the real application from its start until it has shown its window and
// gone quiet (no CPU time for half a second), in MiB.
double launchPeakMiB(const QString &dataHome, const QString &configHome)
{
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(LUMARO_APP_PATH), {});
    if (!app.waitForStarted(10000))
        return -1;
    const qint64 pid = app.processId();
    qint64 last = -1;
    QElapsedTimer quiet;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < 30000) {
        QThread::msleep(50);
        const qint64 ticks = cpuTicks(pid);
        if (ticks != last) {
            last = ticks;
            quiet.start();
        } else if (total.elapsed() > 500 && quiet.elapsed() > 500) {
            break;
        }
    }
    const qint64 peak = statusKiB(pid, "VmHWM:");
    app.terminate();
    if (!app.waitForFinished(20000))
        app.kill();
    return double(peak) / 1024.0;
}


bool waitFor(const std::function<bool()> &done, int timeoutMs = 60000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

} // namespace

int main(int argc, char *argv[])
{
    int records = 100000;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--generate") == 0 && i + 2 < argc) {
            QCoreApplication core(argc, argv);
            const bool ok = generateStore(QString::fromLocal8Bit(argv[i + 1]), atoi(argv[i + 2]));
            return ok ? 0 : 1;
        }
        if (qstrcmp(argv[i], "--records") == 0 && i + 1 < argc)
            records = atoi(argv[i + 1]);
        if (qstrcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
            screenshot = QString::fromLocal8Bit(argv[i + 1]);
    }

    QTemporaryDir root;
    const QString emptyData = root.filePath(QStringLiteral("empty/data"));
    const QString fullData = root.filePath(QStringLiteral("full/data"));
    const QString config = root.filePath(QStringLiteral("config"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", fullData.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QApplication application(argc, argv);
    const QString folder = QStringLiteral("/") + PersistentStore::FolderName;
    if (!generateStore(emptyData + folder, 0) || !generateStore(fullData + folder, records)) {
        std::fputs("cannot write the stores\n", stderr);
        return 1;
    }
    const double rssEmpty = launchPeakMiB(emptyData, config);
    const double rssFull = launchPeakMiB(fullData, config);

    // As a user meets it: the application launched, its bookmarks window up.
    AppDelegate app;
    app.setQuitOnLastWindowClosed(false);
    app.applicationDidFinishLaunching();
    if (!app.managedObjectContext())
        return 1;
    QTest::qWait(300);
    StallMeter meter;
    QList<double> stalls;

    // Opening: from the menu command to the first rows on screen.
    meter.start();
    QElapsedTimer clock;
    clock.start();
    app.showImportLog();
    auto *log = app.findChild<LMImportLogWindowController *>();
    LMImportLogViewController *view = log ? log->importLogView() : nullptr;
    if (!view)
        return 1;
    ImportLogModel *model = view->ImportLogArrayController();
    QTableView *table = view->ImportLogTableView();
    waitFor([&] { return model->rowCount() > 0; });
    table->viewport()->repaint();
    const double firstRows = double(clock.nsecsElapsed()) / 1e6;
    QTest::qWait(200);
    stalls << meter.stop();

    // Scrolling through every row, a page at a time, then to the end.
    QTest::qWait(100);
    const qint64 rssBeforeScroll = statusKiB(0, "VmRSS:");
    qint64 rssPeak = rssBeforeScroll;
    meter.start();
    QScrollBar *bar = table->verticalScrollBar();
    for (int value = 0; value < bar->maximum(); value += bar->pageStep()) {
        bar->setValue(value);
        QCoreApplication::processEvents();
        if (value % (bar->pageStep() * 200) == 0)
            rssPeak = std::max(rssPeak, statusKiB(0, "VmRSS:"));
    }
    table->scrollToBottom();
    QTest::qWait(50);
    stalls << meter.stop();
    rssPeak = std::max(rssPeak, statusKiB(0, "VmRSS:"));

    // Sorting by every column, each way.
    meter.start();
    clock.restart();
    int sorts = 0;
    for (int column = 0; column < ImportLogModel::ColumnCount; ++column) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            bool reset = false;
            const auto connection =
                QObject::connect(model, &QAbstractItemModel::modelReset, [&] { reset = true; });
            table->sortByColumn(column, order);
            waitFor([&] {
                return reset || (column == ImportLogModel::UploadTimeColumn && order == Qt::DescendingOrder);
            });
            QObject::disconnect(connection);
            table->viewport()->repaint();
            ++sorts;
        }
    }
    const double sortMs = double(clock.nsecsElapsed()) / 1e6 / sorts;
    stalls << meter.stop();

    // Typing a search as a user would, then clearing it.
    meter.start();
    int changes = 0;
    const auto counted = QObject::connect(model, &ImportLogModel::countsChanged, [&] { ++changes; });
    QTest::keyClicks(view->searchField(), QStringLiteral("harbour 2023"), Qt::NoModifier, 30);
    // From the last key: the pause that ends typing, then the search itself.
    clock.restart();
    changes = 0;
    waitFor([&] { return model->searchText() == QStringLiteral("harbour 2023") && changes > 0; });
    const double filterMs = double(clock.nsecsElapsed()) / 1e6;
    const int filtered = model->rowCount();
    if (!screenshot.isEmpty()) {
        QCoreApplication::processEvents();
        log->window()->grab().save(screenshot);
    }
    view->searchField()->clear();
    waitFor([&] { return model->rowCount() == model->totalCount(); });
    QObject::disconnect(counted);
    stalls << meter.stop();

    // Export of every row.
    const QString csv = root.filePath(QStringLiteral("log.csv"));
    bool exported = false;
    qint64 exportedRows = 0;
    QObject::connect(model, &ImportLogModel::exportFinished, [&](bool ok, qint64 rows, const QString &) {
        exported = ok;
        exportedRows = rows;
    });
    meter.start();
    clock.restart();
    view->exportToFile(csv);
    waitFor([&] { return !model->isExporting(); });
    const double exportMs = double(clock.nsecsElapsed()) / 1e6;
    stalls << meter.stop();

    // Clear Log over every record, and the save that writes it.
    meter.start();
    clock.restart();
    QTest::mouseClick(view->clearLogButton(), Qt::LeftButton);
    const double clearMs = double(clock.nsecsElapsed()) / 1e6;
    QTest::qWait(200);
    stalls << meter.stop();
    clock.restart();
    const bool saved = app.managedObjectContext()->save();
    const double clearSaveMs = double(clock.nsecsElapsed()) / 1e6;
    waitFor([&] { return !app.managedObjectContext()->isDeletingLog(); });
    const double clearFileMs = double(clock.nsecsElapsed()) / 1e6;

    std::printf("log_records %d\n", records);
    std::printf("launch_rss_mib_empty %.1f\n", rssEmpty);
    std::printf("launch_rss_mib_full %.1f\n", rssFull);
    std::printf("launch_rss_delta_mib %.1f\n", rssFull - rssEmpty);
    std::printf("log_first_rows_ms %.1f\n", firstRows);
    std::printf("log_stall_open_ms %.1f\n", stalls.at(0));
    std::printf("log_stall_scroll_ms %.1f\n", stalls.at(1));
    std::printf("log_stall_sort_ms %.1f\n", stalls.at(2));
    std::printf("log_stall_filter_ms %.1f\n", stalls.at(3));
    std::printf("log_stall_export_ms %.1f\n", stalls.at(4));
    std::printf("log_max_stall_ms %.1f\n", *std::max_element(stalls.cbegin(), stalls.cend() - 1));
    std::printf("log_max_stall_cpu_ms %.1f\n", meter.maxCpuMs());
    std::printf("log_clear_ms %.1f\n", clearMs);
    std::printf("log_stall_clear_ms %.1f\n", stalls.at(5));
    std::printf("log_clear_save_ms %.1f\n", clearSaveMs);
    std::printf("log_clear_file_ms %.1f\n", clearFileMs);
    std::printf("log_sort_ms %.1f\n", sortMs);
    std::printf("log_filter_ms %.1f\n", filterMs);
    std::printf("log_filter_rows %d\n", filtered);
    std::printf("log_scroll_rss_growth_mib %.1f\n", double(rssPeak - rssBeforeScroll) / 1024.0);
    std::printf("csv_export_ms %.1f\n", exportMs);
    std::printf("csv_rows %lld\n", static_cast<long long>(exportedRows));
    log->close();
    return exported && exportedRows == records && saved ? 0 : 1;
}
