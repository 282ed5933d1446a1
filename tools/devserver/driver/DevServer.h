#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs lumaro-devserver for one test or benchmark: a private folder for its request log and
// uploads, the port it picked, and the requests it saw. Users, faults and the
// like are plain command-line arguments, e.g.
//   DevServer server({"--user", "bob:s3 cr&t", "--fault", "GET /ra/categories.json#1=status:503"});
// --log and --upload-dir are always set by this class.
class DevServer {
public:
    explicit DevServer(const QStringList &extraArgs = {});
    ~DevServer();
    DevServer(const DevServer &) = delete;
    DevServer &operator=(const DevServer &) = delete;

    // False when the server did not start; errorString() then says why.
    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] QString errorString() const { return m_error; }

    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QString appPath() const { return m_appPath; }
    // "http(s)://127.0.0.1:PORT/" + application path; resource paths are appended to it.
    [[nodiscard]] QString baseUrl() const;
    [[nodiscard]] QString uploadDir() const;
    [[nodiscard]] QString logPath() const;

    // Every request logged so far, oldest first (the log is re-read on each call).
    [[nodiscard]] QList<QJsonObject> requests() const;
    // Only those whose "resource" is the given one, e.g. "/ra/categoryAssets.json".
    [[nodiscard]] QList<QJsonObject> requests(const QString &resource) const;
    // The names of the files the server received, in the order it logged them.
    [[nodiscard]] QStringList sentFileNames() const;
    // How many POST requests it logged.
    [[nodiscard]] int postCount() const;
    // Waits, processing events, until at least count requests are logged.
    bool waitForRequests(int count, int timeoutMs = 5000) const;

    // SIGTERM, then SIGKILL if it lingers. The destructor does this too.
    void stop();

    // A loopback port with nothing listening on it, for connection-refused tests.
    [[nodiscard]] static quint16 freeClosedPort();

    // A fresh self-signed certificate and key for --tls, made with the openssl tool. The
    // common name and subject alternative name are the given host. Files are "<dir>/<stem>.crt"
    // and "<dir>/<stem>.key"; the argument list to hand the server is returned (empty on failure).
    [[nodiscard]] static QStringList makeTlsArguments(const QString &dir, const QString &stem,
                                                      const QString &host = QStringLiteral("127.0.0.1"));

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_appPath = QStringLiteral("cgi-bin/WebObjects/Lumaro.woa");
    QString m_error;
    quint16 m_port = 0;
    bool m_tls = false;
};

// The JSON body the server received with a request.
[[nodiscard]] QJsonObject requestBody(const QJsonObject &request);
