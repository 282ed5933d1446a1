#pragma once

// Shared by the benchmarks: lumaro-devserver started on a free loopback port, test files,
// and the longest time the event loop was held.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace BenchSupport {

struct Server {
    QProcess process;
    quint16 port = 0;
    [[nodiscard]] QString base() const
    {
        return QStringLiteral("http://127.0.0.1:%1/cgi-bin/WebObjects/Lumaro.woa").arg(port);
    }
};

// Bodies are read and thrown away, so the server costs as little as it can; login bench:bench.
inline bool startServer(Server &server)
{
    server.process.setProgram(QStringLiteral(LUMARO_DEVSERVER_PATH));
    server.process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--discard-bodies"),
                                 QStringLiteral("--quiet"), QStringLiteral("--user"), QStringLiteral("bench:bench")});
    server.process.start();
    if (!server.process.waitForStarted(5000))
        return false;
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        server.process.waitForReadyRead(100);
        out += server.process.readAllStandardOutput();
        const auto match = QRegularExpression(QStringLiteral("127\\.0\\.0\\.1:(\\d+)/")).match(QString::fromUtf8(out));
        if (match.hasMatch()) {
            server.port = quint16(match.captured(1).toUInt());
            return true;
        }
    }
    return false;
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

// Longest gap between ticks of a 1 ms timer while it runs: how long the event loop was held.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_max = qMax(m_max, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = -1;
        m_max = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    [[nodiscard]] double maxMs() const { return double(m_max) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_max = 0;
};

} // namespace BenchSupport
