// Several files of a batch in flight at once, against a server that takes its time over each
// file: lumaro-devserver answers every asset POST after --delay-ms (100 by default), as an
// asset server making previews would. A card of --files small files (1,000 of 256 KiB) goes
// through the connection and through lumaro-import with 1, 2, 4 and 8 files at once; the files
// a second of each, the speed-up of four at once over one at a time (four is its limit), and
// the process's CPU time per file. Then one large file (--big-mib, 1 GiB) goes at 1 and at 4,
// where several at once gains nothing and must lose nothing.
//
//   bench_parallel [--files N] [--kib N] [--delay-ms N] [--big-mib N] [--skip-cli]
//
// Prints "name value" lines.
#include "BenchSupport.h"

#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

namespace {

using namespace BenchSupport;

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // of the whole process, every thread
    int uploaded = 0;
    int failed = 0;
};

Run connectionBatch(const Server &server, const QStringList &paths, int parallel)
{
    ObjectContext context;
    ServerBookmark *bookmark = benchBookmark(context, server.port());
    bookmark->setSimultaneousUploads(parallel);
    const QList<Asset *> batch = queueFiles(context, bookmark, paths);
    LMServerConnection connection(bookmark);
    connection.setSelectedCategory(benchCategory());

    Run run;
    QObject observer;
    QEventLoop loop;
    auto *center = NotificationCenter::defaultCenter();
    center->addObserver(&observer, LMNotification::UploadedAsset, &connection,
                        [&](const Notification &) { ++run.uploaded; });
    center->addObserver(&observer, LMNotification::UploadFailedAsset, &connection, [&](const Notification &n) {
        ++run.failed;
        std::fprintf(stderr, "failed: %s\n", qPrintable(n.userInfo.value(LMUserInfoKey::Error).toString()));
    });
    center->addObserver(&observer, LMNotification::UploadDone, &connection, [&](const Notification &) { loop.quit(); });
    QElapsedTimer clock;
    clock.start();
    const double cpuAtStart = cpuSeconds();
    connection.startAssetImport(batch);
    loop.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = cpuSeconds() - cpuAtStart;
    return run;
}

// The whole process as a user would time it, start-up included; its CPU time from the kernel.
Run cliBatch(const Server &server, const QString &folder, int parallel, const QString &dataHome)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("LUMARO_PASSWORD"), QStringLiteral("bench"));
    cli.setProcessEnvironment(env);
    Run run;
    QElapsedTimer clock;
    clock.start();
    // The CPU time of waited-for children, before and after.
    rusage usageBefore{};
    getrusage(RUSAGE_CHILDREN, &usageBefore);
    cli.start(QStringLiteral(LUMARO_IMPORT_PATH),
              {QStringLiteral("upload"), QStringLiteral("--url"), QStringLiteral("http://bench@127.0.0.1:%1").arg(server.port()),
               QStringLiteral("--category-id"), QStringLiteral("1"), QStringLiteral("--parallel"),
               QString::number(parallel), QStringLiteral("--json"), folder});
    if (!cli.waitForStarted(5000) || !cli.waitForFinished(3600000))
        return run;
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usageAfter{};
    getrusage(RUSAGE_CHILDREN, &usageAfter);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    run.cpuSeconds = seconds(usageAfter.ru_utime) + seconds(usageAfter.ru_stime) - seconds(usageBefore.ru_utime) -
                     seconds(usageBefore.ru_stime);
    if (cli.exitCode() != 0) {
        std::fprintf(stderr, "lumaro-import --parallel %d: %s\n", parallel, cli.readAllStandardError().constData());
        return run;
    }
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n'))
        run.uploaded += line.contains("\"file-uploaded\"") ? 1 : 0;
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int files = 1000;
    qint64 kib = 256;
    int delayMs = 100;
    qint64 bigMiB = 1024;
    const QStringList args = app.arguments();
    const bool skipCli = args.contains(QStringLiteral("--skip-cli"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--files"))
            files = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--kib"))
            kib = qMax<qint64>(0, args.at(i + 1).toLongLong());
        else if (args.at(i) == QLatin1String("--delay-ms"))
            delayMs = qMax(0, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--big-mib"))
            bigMiB = qMax<qint64>(0, args.at(i + 1).toLongLong());
    }

    QTemporaryDir dir;
    const QString card = dir.filePath(QStringLiteral("card"));
    QDir().mkpath(card);
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        paths << card + QStringLiteral("/IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
        if (!writeFile(paths.last(), kib * 1024, quint32(i + 1))) {
            std::fputs("cannot write the test files\n", stderr);
            return 1;
        }
    }
    Server server({QStringLiteral("--fault"), QStringLiteral("POST /ra/categoryAssets.json=delay:%1").arg(delayMs)});
    if (!server.isRunning()) {
        std::fputs("cannot start lumaro-devserver\n", stderr);
        return 1;
    }
    std::printf("files %d\nfile_kib %lld\nanswer_delay_ms %d\n", files, static_cast<long long>(kib), delayMs);

    bool allSent = true;
    const QList<int> counts{1, 2, 4, 8};
    for (const bool throughCli : {false, true}) {
        if (throughCli && skipCli)
            break;
        const char *prefix = throughCli ? "cli_" : "";
        double perSecond1 = 0, cpuPerFile1 = 0;
        for (const int parallel : counts) {
            const Run run = throughCli ? cliBatch(server, card, parallel,
                                                  dir.filePath(QStringLiteral("cli-%1").arg(parallel)))
                                       : connectionBatch(server, paths, parallel);
            allSent = allSent && run.uploaded == files;
            const double perSecond = run.seconds > 0 ? double(run.uploaded) / run.seconds : 0;
            const double cpuPerFile = run.uploaded > 0 ? run.cpuSeconds * 1e3 / run.uploaded : 0;
            if (parallel == 1) {
                perSecond1 = perSecond;
                cpuPerFile1 = cpuPerFile;
            }
            std::printf("%sfiles_per_s_%d %.2f\n", prefix, parallel, perSecond);
            std::printf("%scpu_ms_per_file_%d %.3f\n", prefix, parallel, cpuPerFile);
            if (parallel == 4) {
                std::printf("%sspeedup_4 %.2f\n", prefix, perSecond1 > 0 ? perSecond / perSecond1 : 0.0);
                std::printf("%scpu_per_file_4_vs_1 %.2f\n", prefix, cpuPerFile1 > 0 ? cpuPerFile / cpuPerFile1 : 0.0);
            }
            std::fflush(stdout);
        }
    }

    if (bigMiB > 0) {
        const QString big = dir.filePath(QStringLiteral("big.bin"));
        if (!writeFile(big, bigMiB << 20, 7)) {
            std::fputs("cannot write the large file\n", stderr);
            return 1;
        }
        double rate1 = 0;
        int turn = 0;
        for (const int parallel : {1, 4, 1, 4}) {
            const Run run = connectionBatch(server, {big}, parallel);
            allSent = allSent && run.uploaded == 1;
            const double rate = run.seconds > 0 ? double((bigMiB << 20) / 3 * 4) / run.seconds / 1e6 : 0;
            // The second turn of each counts: the first warmed the page cache.
            if (parallel == 1)
                rate1 = rate;
            else if (++turn == 2)
                std::printf("big_body_mb_per_s_1 %.1f\nbig_body_mb_per_s_4 %.1f\nbig_4_vs_1 %.2f\n", rate1, rate,
                            rate1 > 0 ? rate / rate1 : 0.0);
        }
    }
    return allSent ? 0 : 1;
}
