// Upload throughput, CPU, memory and responsiveness of the streamed asset body, against two
// references measured in the same run on the same server: Qt posting the raw file from a QFile
// (the best the HTTP stack does here) and curl sending the same bytes (the machine's limit).
// The same upload over HTTPS, to a self-signed certificate the bookmark pins, runs too.
// The body hashes the file (SHA-256) as it streams; both implementations are measured, alone
// and inside the upload (ratio_vs_qt_file is the application's, with OpenSSL's).
//
//   bench_upload [--size-mib N] [--small-files N] [--rounds N] [--limit-mb-per-s X] [--categories N]
//                [--only-categories]
//
// A bookmark's speed limit is measured too: a file of a few seconds at that limit, whose body
// rate over the whole upload against the limit is limit_accuracy (1.00 is exact).
//
// The category phase of a batch whose files keep a folder tree runs first: N new categories
// (300 by default) made before the first file, counted from the server's request log.
//
// lumaro-import uploading the same file takes its turn too, timed as a user would time it:
// the whole process, start-up and category lookup included.
//
// The contenders take turns for several rounds and each reports its median, so a burst of
// other load on the machine does not favour one of them. Prints "name value" lines.
#include "BenchSupport.h"

#include "connection/LMServerConnection.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ContentHash.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using namespace BenchSupport;

qint64 readStatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Resets the peak resident size so the next reading covers only what follows.
void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

const QString Login = QStringLiteral("?loginName=bench&password=bench&roleName=CategoryAdmin");

double qtFileUpload(const Server &server, const QString &path)
{
    QNetworkAccessManager manager;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply =
        manager.post(QNetworkRequest(QUrl(server.baseUrl() + QStringLiteral("/ra/categoryAssets.json") + Login)), &file);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bool ok = reply->error() == QNetworkReply::NoError;
    reply->deleteLater();
    return ok ? double(file.size()) / seconds / 1e6 : 0;
}

double curlUpload(const Server &server, const QString &path)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("-X"), QStringLiteral("POST"),
                                        QStringLiteral("-H"), QStringLiteral("Expect:"), QStringLiteral("-T"), path,
                                        QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-w"),
                                        QStringLiteral("%{size_upload} %{time_total}"),
                                        server.baseUrl() + QStringLiteral("/ra/categoryAssets.json") + Login});
    if (!curl.waitForFinished(600000) || curl.exitCode() != 0)
        return 0;
    const QStringList parts = QString::fromUtf8(curl.readAllStandardOutput()).split(QLatin1Char(' '));
    if (parts.size() != 2 || parts.at(1).toDouble() <= 0)
        return 0;
    return parts.at(0).toDouble() / parts.at(1).toDouble() / 1e6;
}

// Hashing alone, from memory: MB/s of input.
double hashRate(ContentHash::Implementation implementation)
{
    ContentHash::setImplementation(implementation);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char(i * 131);
    ContentHash hash;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 256; ++i)
        hash.addData(block.constData(), block.size());
    (void)hash.result();
    ContentHash::setImplementation(ContentHash::Implementation::OpenSsl);
    return 256.0 * block.size() / (double(clock.nsecsElapsed()) / 1e9) / 1e6;
}

struct BatchResult {
    double seconds = 0;
    double cpuSeconds = 0; // of the whole process, every thread

    qint64 bodyBytes = 0;
    int uploaded = 0;
    int failed = 0;
    int hashed = 0;
};

BatchResult connectionUpload(const Server &server, const QStringList &paths, StallMeter *meter,
                             double limitMBPerSecond = 0)
{
    ObjectContext context;
    ServerBookmark *bookmark = benchBookmark(context, server.port(), server.pin);
    if (limitMBPerSecond > 0)
        bookmark->setUploadSpeedLimit(limitMBPerSecond);
    const QList<Asset *> batch = queueFiles(context, bookmark, paths);
    LMServerConnection connection(bookmark);
    connection.setSelectedCategory(benchCategory());

    BatchResult result;
    QObject observer;
    QEventLoop loop;
    QElapsedTimer clock;
    double cpuAtStart = 0;
    auto *center = NotificationCenter::defaultCenter();
    center->addObserver(&observer, LMNotification::UploadingAsset, &connection, [&](const Notification &n) {
        if (!clock.isValid()) {
            clock.start();
            cpuAtStart = cpuSeconds();
            if (meter)
                meter->start();
        }
        const auto *asset = qobject_cast<Asset *>(n.userInfo.value(QStringLiteral("asset")).value<QObject *>());
        if (asset)
            result.bodyBytes += (QFileInfo(asset->filePath().value_or(QString())).size() + 2) / 3 * 4;
    });
    center->addObserver(&observer, LMNotification::UploadedAsset, &connection, [&](const Notification &n) {
        ++result.uploaded;
        const auto *asset =
            qobject_cast<Asset *>(n.userInfo.value(QStringLiteral("asset")).value<QObject *>());
        result.hashed += asset && asset->contentHash() ? 1 : 0;
    });
    center->addObserver(&observer, LMNotification::UploadFailedAsset, &connection, [&](const Notification &n) {
        ++result.failed;
        std::fprintf(stderr, "failed: %s\n", qPrintable(n.userInfo.value(LMUserInfoKey::Error).toString()));
    });
    center->addObserver(&observer, LMNotification::UploadDone, &connection, [&](const Notification &) {
        result.seconds = clock.isValid() ? double(clock.nsecsElapsed()) / 1e9 : 0;
        result.cpuSeconds = clock.isValid() ? cpuSeconds() - cpuAtStart : 0;
        if (meter)
            meter->stop();
        loop.quit();
    });
    connection.startAssetImport(batch);
    loop.exec();
    return result;
}

// Upload rate of the body (as for the connection above) over the process's whole run; the
// peak resident size it reached comes back in peakKiB.
double cliUpload(const Server &server, const QString &path, const QString &dataHome, qint64 *peakKiB)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    env.insert(QStringLiteral("LUMARO_PASSWORD"), QStringLiteral("bench"));
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(LUMARO_IMPORT_PATH),
              {QStringLiteral("upload"), QStringLiteral("--url"), QStringLiteral("http://bench@127.0.0.1:%1").arg(server.port()),
               QStringLiteral("--category-id"), QStringLiteral("1"), path});
    if (!cli.waitForStarted(5000))
        return 0;
    // VmHWM only grows, so the last reading before the exit is the peak.
    QFile status(QStringLiteral("/proc/%1/status").arg(cli.processId()));
    while (!cli.waitForFinished(20)) {
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("VmHWM:"))
                    *peakKiB = qMax(*peakKiB, line.mid(6).trimmed().split(' ').first().toLongLong());
            }
            status.close();
        }
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (cli.exitCode() != 0) {
        std::fprintf(stderr, "lumaro-import: %s\n", cli.readAllStandardError().constData());
        return 0;
    }
    return double((QFileInfo(path).size() + 2) / 3 * 4) / seconds / 1e6;
}

struct CategoryPhase {
    double ms = 0;
    int posts = 0;    // category creations the server received
    int listings = 0; // category listings it answered
};

// A batch with one file in each of count new folders below the target (folders of about 14
// sub-folders each), timed from its start until every category is settled. It is halted then,
// so no file goes.
CategoryPhase categoryPhase(const QString &dir, int count)
{
    Server server;
    CategoryPhase result;
    if (!server.isRunning())
        return result;
    ObjectContext context;
    ServerBookmark *bookmark = benchBookmark(context, server.port());
    LMServerConnection connection(bookmark);
    const QJsonObject target{{QStringLiteral("id"), 1}, {QStringLiteral("name"), QStringLiteral("Photos")}};
    connection.setSelectedCategory(target);
    connection.setCategoryPath({target});
    connection.setPathLevel(0);
    connection.setFolderCategoryTypeID(7);

    const int parents = (count + 14) / 15;
    QStringList folders;
    for (int p = 0; p < parents; ++p) {
        const QString parent = QStringLiteral("card %1").arg(p, 3, 10, QLatin1Char('0'));
        const int children = (count - parents) / parents + (p < (count - parents) % parents ? 1 : 0);
        if (children == 0)
            folders << parent;
        for (int c = 0; c < children; ++c)
            folders << parent + QStringLiteral("/%1CANON").arg(100 + c);
    }
    QStringList paths;
    for (int i = 0; i < folders.size(); ++i)
        paths << dir + QStringLiteral("/IMG_%1.CR3").arg(i);
    const QList<Asset *> batch = queueFiles(context, bookmark, paths);
    for (int i = 0; i < batch.size(); ++i)
        batch.at(i)->setFolderPath(folders.at(i));

    QObject observer;
    QEventLoop loop;
    QElapsedTimer clock;
    auto *center = NotificationCenter::defaultCenter();
    center->addObserver(
        &observer, LMNotification::PreparingCategories, &connection, [&](const Notification &n) {
            const int done = n.userInfo.value(LMUserInfoKey::CategoriesDone).toInt();
            if (done > 0 && done == n.userInfo.value(LMUserInfoKey::CategoriesTotal).toInt() &&
                result.ms == 0) {
                result.ms = double(clock.nsecsElapsed()) / 1e6;
                connection.setHaltUpload(true);
            }
        });
    center->addObserver(&observer, LMNotification::UploadDone, &connection,
                        [&](const Notification &) { loop.quit(); });
    clock.start();
    connection.startAssetImport(batch);
    loop.exec();
    for (const QJsonObject &request : server.requests()) {
        const QString resource = request.value(QStringLiteral("resource")).toString();
        if (resource == QLatin1String("/ra/categories.json") || resource.startsWith(QLatin1String("/ra/categories/")))
            ++(request.value(QStringLiteral("method")).toString() == QLatin1String("POST") ? result.posts
                                                                                           : result.listings);
    }
    return result;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 sizeMiB = 1024;
    int smallFiles = 500;
    int rounds = 3;
    double limit = 16; // MB (1024 × 1024 bytes) a second, as the window counts them
    int categories = 300;
    const QStringList args = app.arguments();
    const bool onlyCategories = args.contains(QStringLiteral("--only-categories"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--size-mib"))
            sizeMiB = args.at(i + 1).toLongLong();
        else if (args.at(i) == QLatin1String("--small-files"))
            smallFiles = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = qMax(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--limit-mb-per-s"))
            limit = args.at(i + 1).toDouble();
        else if (args.at(i) == QLatin1String("--categories"))
            categories = qMax(1, args.at(i + 1).toInt());
    }

    QTemporaryDir dir;
    const CategoryPhase phase = categoryPhase(dir.path(), categories);
    std::printf("category_phase_ms %.1f\n", phase.ms);
    std::printf("category_posts %d\n", phase.posts);
    std::printf("category_listings %d\n", phase.listings);
    std::printf("category_ms_per_post %.2f\n", phase.posts > 0 ? phase.ms / phase.posts : 0.0);
    std::fflush(stdout);
    if (phase.posts != categories)
        return 1;
    if (onlyCategories)
        return 0;

    const QString big = dir.filePath(QStringLiteral("big.bin"));
    if (!writeFile(big, sizeMiB << 20, 7)) {
        std::fputs("cannot write the test file\n", stderr);
        return 1;
    }
    QStringList small;
    for (int i = 0; i < smallFiles; ++i) {
        small << dir.filePath(QStringLiteral("small-%1.jpg").arg(i));
        writeFile(small.last(), 8 * 1024 + i, quint32(i));
    }

    const QStringList tls = DevServer::makeTlsArguments(dir.path(), QStringLiteral("server"));
    Server server, tlsServer(tls);
    tlsServer.pin = pinOf(tls);
    if (!server.isRunning() || tlsServer.pin.isEmpty() || !tlsServer.isRunning()) {
        std::fputs("cannot start lumaro-devserver\n", stderr);
        return 1;
    }

    // Warm the page cache so every contender reads the file from memory.
    qtFileUpload(server, big);
    QList<double> qtRates, curlRates, ourRates, qtHashRates, cliRates, stalls, cpuPerGiB, tlsRates;
    qint64 peak = 0, cliPeak = 0;
    const QString cliData = dir.filePath(QStringLiteral("cli-data"));
    bool allSent = true;
    for (int round = 0; round < rounds; ++round) {
        qtRates << qtFileUpload(server, big);
        curlRates << curlUpload(server, big);
        StallMeter meter;
        resetPeakRss();
        const BatchResult ours = connectionUpload(server, {big}, &meter);
        peak = qMax(peak, readStatusKiB("VmHWM:"));
        allSent = allSent && ours.uploaded == 1;
        allSent = allSent && ours.hashed == 1;
        ourRates << (ours.seconds > 0 ? double(ours.bodyBytes) / ours.seconds / 1e6 : 0);
        cpuPerGiB << ours.cpuSeconds / (double(sizeMiB) / 1024.0);
        stalls << meter.maxMs();
        ContentHash::setImplementation(ContentHash::Implementation::Qt);
        const BatchResult qtHashed = connectionUpload(server, {big}, nullptr);
        ContentHash::setImplementation(ContentHash::Implementation::OpenSsl);
        qtHashRates << (qtHashed.seconds > 0 ? double(qtHashed.bodyBytes) / qtHashed.seconds / 1e6 : 0);
        cliRates << cliUpload(server, big, cliData, &cliPeak);
        const BatchResult overTls = connectionUpload(tlsServer, {big}, nullptr);
        allSent = allSent && overTls.uploaded == 1;
        tlsRates << (overTls.seconds > 0 ? double(overTls.bodyBytes) / overTls.seconds / 1e6 : 0);
    }
    const double qtFile = median(qtRates);
    const double curl = median(curlRates);
    const double ourRate = median(ourRates);
    const double qtHashRate = median(qtHashRates);
    const double cliRate = median(cliRates);
    const qint64 rssBefore = readStatusKiB("VmRSS:");
    const BatchResult many = connectionUpload(server, small, nullptr);
    // About five seconds of body at the limit.
    const QString limited = dir.filePath(QStringLiteral("limited.bin"));
    const qint64 limitedBytes = qint64(limit * 5 * 1024 * 1024 * 3 / 4);
    QList<double> limitedRates;
    if (limit > 0 && writeFile(limited, limitedBytes, 11)) {
        for (int round = 0; round < rounds; ++round) {
            const BatchResult capped = connectionUpload(server, {limited}, nullptr, limit);
            allSent = allSent && capped.uploaded == 1;
            limitedRates << (capped.seconds > 0 ? double(capped.bodyBytes) / capped.seconds : 0);
        }
    }
    const double limitedRate = median(limitedRates);

    server.stop();
    tlsServer.stop();

    std::printf("file_mib %lld\n", static_cast<long long>(sizeMiB));
    std::printf("qt_file_mb_per_s %.1f\n", qtFile);
    std::printf("curl_mb_per_s %.1f\n", curl);
    std::printf("rss_idle_mib %.1f\n", double(rssBefore) / 1024.0);
    std::printf("body_mb_per_s %.1f\n", ourRate);
    std::printf("ratio_vs_qt_file %.2f\n", qtFile > 0 ? ourRate / qtFile : 0.0);
    std::printf("ratio_vs_curl %.2f\n", curl > 0 ? ourRate / curl : 0.0);
    std::printf("cpu_s_per_gib %.2f\n", median(cpuPerGiB));
    std::printf("sha256_openssl_mb_per_s %.1f\n", hashRate(ContentHash::Implementation::OpenSsl));
    std::printf("sha256_qt_mb_per_s %.1f\n", hashRate(ContentHash::Implementation::Qt));
    std::printf("body_mb_per_s_qt_hash %.1f\n", qtHashRate);
    std::printf("ratio_vs_qt_file_qt_hash %.2f\n", qtFile > 0 ? qtHashRate / qtFile : 0.0);
    std::printf("peak_rss_mib %.1f\n", double(peak) / 1024.0);
    std::printf("max_stall_ms %.1f\n", *std::max_element(stalls.cbegin(), stalls.cend()));
    std::printf("cli_mb_per_s %.1f\n", cliRate);
    std::printf("cli_ratio_vs_qt_file %.2f\n", qtFile > 0 ? cliRate / qtFile : 0.0);
    std::printf("cli_peak_rss_mib %.1f\n", double(cliPeak) / 1024.0);
    std::printf("tls_body_mb_per_s %.1f\n", median(tlsRates));
    std::printf("small_files_per_s %.1f\n", many.seconds > 0 ? double(many.uploaded) / many.seconds : 0.0);
    std::printf("limit_mib_per_s %.1f\n", limit);
    std::printf("limited_body_mib_per_s %.2f\n", limitedRate / 1024 / 1024);
    std::printf("limit_accuracy %.3f\n", limit > 0 ? limitedRate / (limit * 1024 * 1024) : 0.0);
    const bool cliSent = std::all_of(cliRates.cbegin(), cliRates.cend(), [](double rate) { return rate > 0; });
    return (allSent && cliSent && many.uploaded == smallFiles) ? 0 : 1;
}
