#include "DevServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>

#include <algorithm>

#ifndef LUMARO_DEVSERVER_PATH
#error "LUMARO_DEVSERVER_PATH must name the lumaro-devserver executable"
#endif

DevServer::DevServer(const QStringList &extraArgs)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
        return;
    }
    QDir(m_dir.path()).mkpath(QStringLiteral("uploads"));

    const qsizetype appPathAt = extraArgs.lastIndexOf(QStringLiteral("--app-path"));
    if (appPathAt >= 0 && appPathAt + 1 < extraArgs.size())
        m_appPath = extraArgs.at(appPathAt + 1);

    m_tls = extraArgs.contains(QStringLiteral("--tls"));
    QStringList args = extraArgs;
    // Ours come last so they win over anything in extraArgs.
    args << QStringLiteral("--log") << logPath() << QStringLiteral("--upload-dir") << uploadDir();
    if (qEnvironmentVariableIsEmpty("LUMARO_DEVSERVER_VERBOSE"))
        args << QStringLiteral("--quiet");

    // Its stderr carries only errors (and sanitizer reports): let them show in the test output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(LUMARO_DEVSERVER_PATH), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start ") + QStringLiteral(LUMARO_DEVSERVER_PATH) +
                  QStringLiteral(": ") + m_process.errorString();
        return;
    }

    static const QRegularExpression portPattern(QStringLiteral(R"(127\.0\.0\.1:(\d+)/)"));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            const auto match = portPattern.match(line);
            if (match.hasMatch()) {
                m_port = match.captured(1).toUShort();
                return;
            }
            m_error = QStringLiteral("unexpected start-up line: ") + line;
            stop();
            return;
        }
        if (m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("lumaro-devserver exited with code %1 before listening")
                          .arg(m_process.exitCode());
            return;
        }
        m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("lumaro-devserver printed no start-up line within 10 s");
    stop();
}

DevServer::~DevServer()
{
    stop();
}

bool DevServer::isRunning() const
{
    return m_port != 0 && m_process.state() == QProcess::Running;
}

QString DevServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2/").arg(m_tls ? "https" : "http").arg(m_port) + m_appPath;
}

QString DevServer::uploadDir() const
{
    return m_dir.filePath(QStringLiteral("uploads"));
}

QString DevServer::logPath() const
{
    return m_dir.filePath(QStringLiteral("requests.jsonl"));
}

QList<QJsonObject> DevServer::requests() const
{
    QList<QJsonObject> result;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray content = file.readAll();
    qsizetype start = 0;
    // A line without its "\n" is still being written: leave it for the next call.
    for (qsizetype end = content.indexOf('\n'); end >= 0; end = content.indexOf('\n', start)) {
        const QJsonDocument doc = QJsonDocument::fromJson(content.mid(start, end - start));
        if (doc.isObject())
            result.append(doc.object());
        start = end + 1;
    }
    // A request is logged when its handler ends, so one left unanswered can follow a later one:
    // list them by arrival.
    std::stable_sort(result.begin(), result.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value(QStringLiteral("seq")).toInteger() < b.value(QStringLiteral("seq")).toInteger();
    });
    return result;
}

QList<QJsonObject> DevServer::requests(const QString &resource) const
{
    QList<QJsonObject> result;
    for (const QJsonObject &request : requests())
        if (request.value(QStringLiteral("resource")).toString() == resource)
            result.append(request);
    return result;
}

QStringList DevServer::sentFileNames() const
{
    QStringList names;
    for (const QJsonObject &request : requests(QStringLiteral("/ra/categoryAssets.json")))
        names.append(requestBody(request).value(QLatin1String("assetFileName")).toString());
    return names;
}

int DevServer::postCount() const
{
    int posts = 0;
    for (const QJsonObject &request : requests())
        posts += request.value(QLatin1String("method")).toString() == QLatin1String("POST");
    return posts;
}

bool DevServer::waitForRequests(int count, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (requests().size() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return true;
}

void DevServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

quint16 DevServer::freeClosedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QJsonObject requestBody(const QJsonObject &request)
{
    return QJsonDocument::fromJson(request.value(QLatin1String("body")).toString().toUtf8()).object();
}

QStringList DevServer::makeTlsArguments(const QString &dir, const QString &stem, const QString &host)
{
    const QString cert = dir + QLatin1Char('/') + stem + QStringLiteral(".crt");
    const QString key = dir + QLatin1Char('/') + stem + QStringLiteral(".key");
    const bool isAddress = !QHostAddress(host).isNull();
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-keyout", key, "-out", cert, "-subj", "/O=Lumaro Tests/CN=" + host,
                   "-addext", QStringLiteral("subjectAltName=%1:%2").arg(isAddress ? "IP" : "DNS", host)});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return {};
    return {QStringLiteral("--tls"), cert, key};
}
