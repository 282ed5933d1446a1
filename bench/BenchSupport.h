#pragma once

// Shared by the benchmarks: lumaro-devserver as they run it and the pin of its certificate, test
// files, CPU clocks, and the longest time the event loop was held.

#include "DevServer.h"
#include "connection/CertificateTrust.h"
#include "store/Asset.h"
#include "store/ObjectContext.h"
#include "store/ServerBookmark.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <ctime>

namespace BenchSupport {

// lumaro-devserver as the benchmarks run it: bodies are read and thrown away, so the server costs
// as little as it can; login bench:bench.
struct Server : DevServer {
    explicit Server(const QStringList &extraArgs = {})
        : DevServer(QStringList{QStringLiteral("--discard-bodies"), QStringLiteral("--user"),
                                QStringLiteral("bench:bench")} + extraArgs)
    {
    }
    // The fingerprint of the certificate a TLS server presents; empty for plain HTTP.
    QString pin;
};

// The fingerprint a bookmark pins for the certificate in a server's --tls arguments.
inline QString pinOf(const QStringList &tlsArguments)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(tlsArguments.value(1));
    return certificates.isEmpty() ? QString() : CertificateTrust::fingerprint(certificates.first());
}

// Pseudo-random bytes from seed, so no two files compress or compare alike.
inline bool writeFile(const QString &path, qint64 size, quint32 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(int(qMin<qint64>(size, 1 << 20)), Qt::Uninitialized);
    quint32 x = seed;
    for (char &c : block) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    for (qint64 written = 0; written < size;) {
        const qint64 n = qMin<qint64>(block.size(), size - written);
        if (file.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return true;
}

// A bookmark for the benchmark's server on loopback, plain HTTP unless a pin is given.
inline ServerBookmark *benchBookmark(ObjectContext &context, quint16 port, const QString &pin = {})
{
    ServerBookmark *bookmark = context.insertBookmark();
    bookmark->setHostName(QStringLiteral("127.0.0.1"));
    bookmark->setSecureConnect(!pin.isEmpty());
    if (!pin.isEmpty())
        bookmark->setTrustedCertificate(pin);
    bookmark->setPortNumber(port);
    bookmark->setUserName(QStringLiteral("bench"));
    bookmark->setPassword(QStringLiteral("bench"));
    return bookmark;
}

// A pending record for each path, under bookmark, in order.
// The category a batch of the benchmarks goes to; the test server takes any id.
inline QJsonObject benchCategory()
{
    return QJsonObject{{QStringLiteral("id"), 1}, {QStringLiteral("name"), QStringLiteral("Bench")}};
}

inline QList<Asset *> queueFiles(ObjectContext &context, ServerBookmark *bookmark, const QStringList &paths)
{
    QList<Asset *> batch;
    for (const QString &path : paths) {
        Asset *asset = context.insertAsset();
        asset->setFilePath(path);
        asset->setBookmark(bookmark);
        batch.append(asset);
    }
    return batch;
}

// CPU time of the whole process, every thread.
inline double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU time of the calling thread alone.
inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Longest gap between ticks of a 1 ms timer while it runs: how long the event loop was held.
// On a machine shared with other work part of a gap is time the thread was not running at
// all; the CPU time the main thread spent inside the longest gap says what was ours.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double cpu = threadCpuMs();
            if (m_last >= 0) {
                m_max = qMax(m_max, now - m_last);
                m_maxCpu = qMax(m_maxCpu, cpu - m_lastCpu);
            }
            m_last = now;
            m_lastCpu = cpu;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = -1;
        m_max = 0;
        m_timer.start();
    }
    // The longest gap of this run, in ms.
    double stop()
    {
        m_timer.stop();
        return maxMs();
    }
    [[nodiscard]] double maxMs() const { return double(m_max) / 1e6; }
    // Over every run so far.
    [[nodiscard]] double maxCpuMs() const { return m_maxCpu; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_max = 0;
    double m_lastCpu = 0;
    double m_maxCpu = 0;
};

} // namespace BenchSupport
