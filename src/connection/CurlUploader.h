#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Sends asset bodies with libcurl on a thread of its own. Qt's HTTP stack moves a request body
// 16 KiB at a time through its network thread, which caps an upload far below a fast link;
// here the file is read, encoded and sent in large blocks away from the event loop. Jobs run
// side by side, up to MaxInFlight, each on a kept connection of its own that the next job
// reuses; a caller that starts one job at a time gets one connection, as before.
//
// A request is sent at most once: libcurl gets no way to rewind a body, and a request it would
// retry after a byte of the body went out fails instead. Certificates are verified as usual and
// each problem with the server's own certificate is set aside when that certificate is the one
// the bookmark pins (the same decision CertificateTrust makes for Qt's requests); any other
// failure comes back as an untrusted certificate before anything was sent.
//
// Results and progress are delivered on the thread that owns the uploader; each job's in order,
// the jobs' results as they finish.
class CurlUploader : public QObject {
    Q_OBJECT
public:
    struct Job {
        QUrl url;
        QString filePath;
        // Every member of the body except the file data, which goes under dataKey.
        QJsonObject members;
        QString dataKey;
        QString pinnedCertificate;
        // libcurl's form ("http://host:port"); empty for a direct connection.
        QString proxy;
        QString proxyUser;
        QString proxyPassword;
        int idleMs = 60000;
        qint64 answerMsPerGiB = 0;
        // The most the body may take of the line, in bytes a second; 0 for no limit.
        qint64 maxBytesPerSecond = 0;
    };

    struct Result {
        // Below HTTP, in the terms of Qt's network errors, so both ways of sending say the same.
        bool transportError = false;
        QNetworkReply::NetworkError code = QNetworkReply::NoError;
        int curlCode = 0;
        QString stackText;
        // Why the body could not be produced (the file could not be read as promised).
        QString bodyProblem;
        // Nothing moved for this long; 0 when the request did not time out.
        int timedOutAfterMs = 0;
        // A connection was made (to the server, or to the proxy).
        bool connected = false;
        bool bodySent = false;
        // The last byte of the body was handed to the connection, so the server may have it
        // whole; false means it cannot.
        bool lastByteOut = false;
        // A final status line arrived.
        bool answered = false;
        int status = 0;
        QString statusText;
        QByteArray retryAfter; // the answer's Retry-After header, if any
        QByteArray body;
        // The file's size and SHA-256 (lower-case hex), taken from the very reads that made the
        // body: none unless the body was produced whole.
        qint64 fileSize = 0;
        std::optional<QString> contentHash;
        // The server's certificate was not accepted; nothing of the request was sent.
        bool untrustedCertificate = false;
        QByteArray certificateDer;
        // OpenSSL's verification errors, each with the certificate it is about (DER).
        QList<QPair<int, QByteArray>> certificateProblems;
        // The same in Qt's terms, so the question about a certificate reads alike whichever way
        // the request went. Made on the receiving thread.
        [[nodiscard]] QList<QSslError> certificateErrors() const;
    };

    using Progress = std::function<void(qint64 sent, qint64 total)>;
    using Finished = std::function<void(const Result &)>;

    explicit CurlUploader(QObject *parent = nullptr);
    // Stops the transfer in flight, which waits only for the worker to notice.
    ~CurlUploader() override;
    CurlUploader(const CurlUploader &) = delete;
    CurlUploader &operator=(const CurlUploader &) = delete;

    static constexpr int MaxInFlight = 8;

    // Jobs start in the order given, as many at once as are started (up to MaxInFlight); each
    // reports progress now and then and finishes once.
    void start(const Job &job, Progress progress, Finished finished);
    // Ends every job started so far; each finishes as a cancelled transfer.
    void cancel();

    // The worker's state as libcurl's and OpenSSL's callbacks see it.
    struct Transfer;
    struct TlsCheck;
    // A handle of the worker's and the verdict on the connection it makes.
    struct Slot;
    // One job on its way.
    struct Running;

private:
    struct Queued {
        quint64 serial = 0;
        Job job;
    };
    struct Callbacks {
        Progress progress;
        Finished finished;
    };
    void run();
    // Hands the job to libcurl, or finishes it at once when it cannot go.
    std::unique_ptr<Running> begin(Queued next, Slot &slot);
    // Whether the transfer is over (finished by libcurl, cancelled, or idle too long).
    bool advance(Running &running);
    Result finish(Running &running);
    void deliverProgress(quint64 serial, qint64 sent, qint64 total);
    void deliverResult(quint64 serial, const Result &result);
    void wakeWorker();

    // Main thread.
    QHash<quint64, Callbacks> m_callbacks;
    quint64 m_lastSerial = 0;
    // Shared with the worker.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Queued> m_jobs;
    bool m_stopping = false;
    std::atomic<quint64> m_cancelledThrough{0};
    // CURLM; replaced by the worker (under the mutex) when the pin changes, so no connection
    // accepted under another pin is reused. curl_multi_wakeup may be called from any thread.
    void *m_multi = nullptr;
    std::thread m_thread;
    // Worker only; each outlives every connection libcurl keeps.
    std::vector<std::unique_ptr<Slot>> m_slots;
    QString m_poolPin;
};
