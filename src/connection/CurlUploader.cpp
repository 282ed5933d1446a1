#include "CurlUploader.h"

#include "AssetBody.h"
#include "CertificateTrust.h"
#include "store/ContentHash.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QSslCertificate>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcConnection)

namespace {
using Clock = std::chrono::steady_clock;
constexpr qint64 GiB = qint64(1) << 30;
// libcurl's largest upload buffer: the read callback fills 2 MiB per call.
constexpr long UploadBufferSize = 2 * 1024 * 1024;
// Progress is for people: a few updates a second are plenty.
constexpr auto ProgressInterval = std::chrono::milliseconds(50);
// Enough of an answer to say why a file was refused; the rest is not read.
constexpr qsizetype MaxAnswer = 1024 * 1024;

int sslContextIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

QByteArray derOf(X509 *certificate)
{
    if (!certificate)
        return {};
    const int length = i2d_X509(certificate, nullptr);
    if (length <= 0)
        return {};
    QByteArray der(length, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(der.data());
    i2d_X509(certificate, &out);
    return der;
}

QSslError::SslError qtError(int error)
{
    switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QSslError::SelfSignedCertificate;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QSslError::SelfSignedCertificateInChain;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        return QSslError::UnableToGetLocalIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        return QSslError::UnableToGetIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QSslError::UnableToVerifyFirstCertificate;
    case X509_V_ERR_CERT_UNTRUSTED:
        return QSslError::CertificateUntrusted;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QSslError::CertificateExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QSslError::CertificateNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QSslError::HostNameMismatch;
    case X509_V_ERR_CERT_REVOKED:
        return QSslError::CertificateRevoked;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return QSslError::CertificateSignatureFailed;
    case X509_V_ERR_INVALID_CA:
        return QSslError::InvalidCaCertificate;
    case X509_V_ERR_INVALID_PURPOSE:
        return QSslError::InvalidPurpose;
    case X509_V_ERR_CERT_REJECTED:
        return QSslError::CertificateRejected;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
        return QSslError::PathLengthExceeded;
    default:
        return QSslError::UnspecifiedError;
    }
}
} // namespace

// What the verification of the server's certificate found, for the connection being made.
struct CurlUploader::TlsCheck {
    QString pinned;
    QString host;
    QByteArray leafDer;
    QList<QPair<int, QByteArray>> errors; // OpenSSL's error and the certificate it is about
    bool refused = false;
};

// A handle and the check of the connections it makes; reused by job after job.
struct CurlUploader::Slot {
    CURL *easy = nullptr;
    TlsCheck tls;
    bool busy = false;
};

// What libcurl's callbacks share during one job.
struct CurlUploader::Transfer {
    quint64 serial = 0;
    const Job *job = nullptr;
    AssetBody *body = nullptr;
    TlsCheck *tls = nullptr;
    QByteArray answer;
    QString statusText;
    QByteArray retryAfter;
    bool answered = false;
    enum class Stop { None, Cancelled, BodyFailed, WouldResend } stop = Stop::None;
};

namespace {

// Every problem is noted; one that the pin does not cover leaves the verification failed, so
// libcurl ends the handshake, and the pre-request check refuses the connection all the same.
// Going on after it lets the question name every problem, as Qt's does.
int verifyCertificate(int ok, X509_STORE_CTX *store)
{
    auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *check = ssl ? static_cast<CurlUploader::TlsCheck *>(
                            SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sslContextIndex()))
                      : nullptr;
    if (!check)
        return 0;
    if (check->leafDer.isEmpty())
        check->leafDer = derOf(X509_STORE_CTX_get0_cert(store));
    if (ok)
        return 1;
    const int depth = X509_STORE_CTX_get_error_depth(store);
    check->errors.append({X509_STORE_CTX_get_error(store), derOf(X509_STORE_CTX_get_current_cert(store))});
    // Only problems of the server's own certificate are set aside for a pinned one: one about
    // another certificate of the chain never is.
    if (depth == 0 && !check->refused && CertificateTrust::isPinned(check->pinned, check->leafDer)) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    check->refused = true;
    return 1;
}

// Called for each new connection, before its handshake.
CURLcode prepareTls(CURL *, void *context, void *userData)
{
    auto *ssl = static_cast<SSL_CTX *>(context);
    auto *check = static_cast<CurlUploader::TlsCheck *>(userData);
    check->leafDer.clear();
    check->errors.clear();
    check->refused = false;
    SSL_CTX_set_ex_data(ssl, sslContextIndex(), check);
    SSL_CTX_set_verify(ssl, SSL_VERIFY_PEER, verifyCertificate);
    // The name is checked within the verification, where a pinned certificate may set a
    // mismatch aside as Qt's requests do; libcurl's own check after it is off for that reason.
    X509_VERIFY_PARAM *param = SSL_CTX_get0_param(ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const QByteArray host = check->host.toUtf8();
    const int named = QHostAddress(check->host).isNull()
                          ? X509_VERIFY_PARAM_set1_host(param, host.constData(), 0)
                          : X509_VERIFY_PARAM_set1_ip_asc(param, host.constData());
    return named == 1 ? CURLE_OK : CURLE_SSL_CONNECT_ERROR;
}

} // namespace

namespace {

size_t readBody(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<CurlUploader::Transfer *>(userData);
    if (transfer->stop == CurlUploader::Transfer::Stop::Cancelled)
        return CURL_READFUNC_ABORT;
    const qint64 n = transfer->body->read(buffer, qint64(size * count));
    if (n < 0) {
        transfer->stop = CurlUploader::Transfer::Stop::BodyFailed;
        return CURL_READFUNC_ABORT;
    }
    return size_t(n);
}

size_t readHeader(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<CurlUploader::Transfer *>(userData);
    const QByteArray line = QByteArray::fromRawData(buffer, qsizetype(size * count)).trimmed();
    if (line.size() > 12 && qstrnicmp(line.constData(), "Retry-After:", 12) == 0) {
        transfer->retryAfter = QByteArray(line.constData() + 12, line.size() - 12).trimmed();
    } else if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 500 Internal Server Error"; an interim 1xx is no answer yet.
        const int status = line.split(' ').value(1).toInt();
        if (status >= 200) {
            transfer->answered = true;
            transfer->retryAfter.clear();
            const qsizetype reason = line.indexOf(' ', line.indexOf(' ') + 1);
            transfer->statusText = reason > 0 ? QString::fromLatin1(line.mid(reason + 1)) : QString();
        }
    }
    return size * count;
}

size_t readAnswer(char *buffer, size_t size, size_t count, void *userData)
{
    auto *transfer = static_cast<CurlUploader::Transfer *>(userData);
    const qsizetype n = qsizetype(size * count);
    transfer->answer.append(buffer, qMin(n, qMax<qsizetype>(0, MaxAnswer - transfer->answer.size())));
    return size * count;
}

// The last word before a request goes out on a connection. A certificate that was not accepted
// ends it here too, whatever libcurl made of the verification. On the fresh connection libcurl
// opens when a reused one died under the request, part of the body may have reached the server
// already, so the request is not made a second time.
int beforeRequest(void *userData, char *, char *, int, int)
{
    auto *transfer = static_cast<CurlUploader::Transfer *>(userData);
    if (transfer->tls->refused)
        return CURL_PREREQFUNC_ABORT;
    if (transfer->body->position() > 0) {
        transfer->stop = CurlUploader::Transfer::Stop::WouldResend;
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

QNetworkReply::NetworkError networkError(CURLcode code, long osError, bool proxied)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QNetworkReply::HostNotFoundError;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QNetworkReply::ProxyNotFoundError;
    case CURLE_COULDNT_CONNECT:
        if (proxied)
            return QNetworkReply::ProxyConnectionRefusedError;
        return osError == ECONNREFUSED ? QNetworkReply::ConnectionRefusedError
                                       : QNetworkReply::UnknownNetworkError;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return QNetworkReply::SslHandshakeFailedError;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_ABORTED_BY_CALLBACK:
        return QNetworkReply::RemoteHostClosedError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

CurlUploader::Result cancelled()
{
    CurlUploader::Result result;
    result.transportError = true;
    result.code = QNetworkReply::OperationCanceledError;
    result.curlCode = CURLE_ABORTED_BY_CALLBACK;
    // Qt's words for the same.
    result.stackText = QStringLiteral("Operation canceled");
    return result;
}

} // namespace

QList<QSslError> CurlUploader::Result::certificateErrors() const
{
    QList<QSslError> errors;
    for (const auto &[error, der] : certificateProblems)
        errors.append(QSslError(qtError(error), QSslCertificate(der, QSsl::Der)));
    return errors;
}

CurlUploader::CurlUploader(QObject *parent) : QObject(parent)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_multi = curl_multi_init();
}

CurlUploader::~CurlUploader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_cancelledThrough = m_lastSerial;
    m_wake.notify_all();
    wakeWorker();
    if (m_thread.joinable())
        m_thread.join();
    if (m_multi)
        curl_multi_cleanup(m_multi);
    for (const std::unique_ptr<Slot> &slot : m_slots) {
        if (slot->easy)
            curl_easy_cleanup(slot->easy);
    }
}

void CurlUploader::wakeWorker()
{
    std::lock_guard lock(m_mutex);
    if (m_multi)
        curl_multi_wakeup(m_multi);
}

void CurlUploader::start(const Job &job, Progress progress, Finished finished)
{
    const quint64 serial = ++m_lastSerial;
    m_callbacks.insert(serial, {std::move(progress), std::move(finished)});
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({serial, job});
        // The worker may be waiting on the transfers it has.
        if (m_multi)
            curl_multi_wakeup(m_multi);
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
}

void CurlUploader::cancel()
{
    m_cancelledThrough = m_lastSerial;
    wakeWorker();
}

void CurlUploader::deliverProgress(quint64 serial, qint64 sent, qint64 total)
{
    QMetaObject::invokeMethod(
        this,
        [this, serial, sent, total] {
            const auto it = m_callbacks.constFind(serial);
            if (it != m_callbacks.constEnd() && it->progress)
                it->progress(sent, total);
        },
        Qt::QueuedConnection);
}

void CurlUploader::deliverResult(quint64 serial, const Result &result)
{
    QMetaObject::invokeMethod(
        this,
        [this, serial, result] {
            // Taken out first: the next file is started from inside the call.
            const Finished finished = m_callbacks.take(serial).finished;
            if (finished)
                finished(result);
        },
        Qt::QueuedConnection);
}

// One job from the moment libcurl has it until it is done.
struct CurlUploader::Running {
    quint64 serial = 0;
    Job job;
    Slot *slot = nullptr;
    std::unique_ptr<AssetBody> body;
    ContentHash hash;
    Transfer transfer;
    curl_slist *headers = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    Result result;
    bool done = false;
    CURLcode code = CURLE_OK;
    Clock::time_point lastMove;
    Clock::time_point lastReport;
    curl_off_t lastSent = -1, lastReceived = -1, reported = -1;
    bool lastAnswered = false;
};

void CurlUploader::run()
{
    std::vector<std::unique_ptr<Running>> running;
    for (;;) {
        std::vector<Queued> taken;
        bool newPool = false;
        {
            std::unique_lock lock(m_mutex);
            if (running.empty())
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                break;
            while (!m_jobs.empty() && running.size() + taken.size() < size_t(MaxInFlight)) {
                // A kept connection was accepted under the pin of its time: one that changed since
                // (the user trusted another certificate, or cleared the pin) calls for new ones.
                // The transfers under the old pin finish first.
                if (m_jobs.front().job.pinnedCertificate != m_poolPin) {
                    if (!running.empty() || !taken.empty())
                        break;
                    m_poolPin = m_jobs.front().job.pinnedCertificate;
                    newPool = true;
                }
                taken.push_back(std::move(m_jobs.front()));
                m_jobs.pop_front();
            }
            if (newPool) {
                if (m_multi)
                    curl_multi_cleanup(m_multi);
                m_multi = curl_multi_init();
            }
        }
        for (Queued &next : taken) {
            Slot *free = nullptr;
            for (const std::unique_ptr<Slot> &slot : m_slots) {
                if (!slot->busy) {
                    free = slot.get();
                    break;
                }
            }
            if (!free) {
                m_slots.push_back(std::make_unique<Slot>());
                free = m_slots.back().get();
                free->easy = curl_easy_init();
            }
            const quint64 serial = next.serial;
            std::unique_ptr<Running> started = begin(std::move(next), *free);
            if (started->done) {
                deliverResult(serial, started->result);
                continue;
            }
            free->busy = true;
            running.push_back(std::move(started));
        }
        if (running.empty())
            continue;

        int stillRunning = 0;
        curl_multi_perform(m_multi, &stillRunning);
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            for (const std::unique_ptr<Running> &r : running) {
                if (r->slot->easy == message->easy_handle) {
                    r->code = message->data.result;
                    r->done = true;
                }
            }
        }
        qint64 waitMs = 1000;
        bool finished = false;
        for (auto it = running.begin(); it != running.end();) {
            Running &r = **it;
            if (!advance(r)) {
                const qint64 limitMs = std::min<qint64>(
                    INT_MAX, r.job.idleMs + (r.result.bodySent && !r.transfer.answered && r.lastReceived == 0
                                                 ? r.body->size() * r.job.answerMsPerGiB / GiB
                                                 : 0));
                const qint64 idleMs =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.lastMove).count();
                waitMs = std::min(waitMs, limitMs - idleMs);
                ++it;
                continue;
            }
            const Result result = finish(r);
            r.slot->busy = false;
            deliverResult(r.serial, result);
            it = running.erase(it);
            finished = true;
        }
        // A slot came free: the next job starts before anything else is waited for.
        if (!finished)
            curl_multi_poll(m_multi, nullptr, 0, int(std::clamp<qint64>(waitMs, 1, 1000)), nullptr);
    }
    // Stopping: whatever is on its way ends here, unreported, as the owner is going.
    for (const std::unique_ptr<Running> &r : running) {
        r->transfer.stop = Transfer::Stop::Cancelled;
        finish(*r);
    }
}

std::unique_ptr<CurlUploader::Running> CurlUploader::begin(Queued next, Slot &slot)
{
    auto r = std::make_unique<Running>();
    r->serial = next.serial;
    r->job = std::move(next.job);
    r->slot = &slot;
    r->body = std::make_unique<AssetBody>(r->job.filePath, r->job.members, r->job.dataKey);
    // Hashed here, from the blocks just read for the body: the file is read once.
    ContentHash *hash = &r->hash;
    r->body->setFileBlockHook([hash](const char *data, qint64 size) { hash->addData(data, size); });
    r->transfer.serial = r->serial;
    r->transfer.job = &r->job;
    r->transfer.body = r->body.get();
    r->transfer.tls = &slot.tls;
    if (r->serial <= m_cancelledThrough) {
        r->result = cancelled();
        r->done = true;
        return r;
    }
    if (!r->body->open(&r->result.bodyProblem)) {
        r->result.transportError = true;
        r->done = true;
        return r;
    }
    CURL *easy = slot.easy;
    if (!easy || !m_multi) {
        r->result.transportError = true;
        r->result.code = QNetworkReply::UnknownNetworkError;
        r->result.stackText = QStringLiteral("libcurl could not be started");
        r->done = true;
        return r;
    }
    const Job &job = r->job;
    const qint64 total = r->body->size();
    slot.tls.pinned = job.pinnedCertificate;
    slot.tls.host = job.url.host(QUrl::FullyEncoded);
    // A reused connection was accepted; a new one is judged afresh when it is made.
    slot.tls.leafDer.clear();
    slot.tls.errors.clear();
    slot.tls.refused = false;

    // No header of our own, as on the session's other requests: none of libcurl's Accept,
    // Content-Type or Expect (the body goes at once, without waiting for a go-ahead).
    r->headers = curl_slist_append(nullptr, "Accept:");
    r->headers = curl_slist_append(r->headers, "Content-Type:");
    r->headers = curl_slist_append(r->headers, "Expect:");
    const QByteArray url = job.url.toEncoded();
    const QByteArray proxy = job.proxy.toUtf8();
    const QByteArray proxyUser = job.proxyUser.toUtf8();
    const QByteArray proxyPassword = job.proxyPassword.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r->headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(total));
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(easy, CURLOPT_READDATA, &r->transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &r->transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, readAnswer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &r->transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, beforeRequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &r->transfer);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, r->errorText);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    // Every new connection is verified in full under the pin of its time: a resumed session
    // would carry the verdict of an earlier handshake (one that was refused, say).
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, prepareTls);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &slot.tls);
    // The proxy the session's other requests use, never one of libcurl's own choosing: "" is a
    // direct connection whatever the environment says, and no no_proxy of its own overrules it.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxyUser.isEmpty() ? nullptr : proxyUser.constData());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD,
                     proxyPassword.isEmpty() ? nullptr : proxyPassword.constData());
    // Set for every job, so a limit never lingers into the next one on the kept handle.
    curl_easy_setopt(easy, CURLOPT_MAX_SEND_SPEED_LARGE, curl_off_t(std::max<qint64>(0, job.maxBytesPerSecond)));
    if (job.maxBytesPerSecond > 0)
        qCDebug(lcConnection) << "sending" << job.filePath << "at most" << job.maxBytesPerSecond << "bytes a second";

    r->lastMove = Clock::now();
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK) {
        curl_slist_free_all(r->headers);
        r->headers = nullptr;
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
        r->result.transportError = true;
        r->result.curlCode = CURLE_FAILED_INIT;
        r->result.code = QNetworkReply::UnknownNetworkError;
        r->result.stackText = QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT));
        r->done = true;
    }
    return r;
}

bool CurlUploader::advance(Running &r)
{
    CURL *easy = r.slot->easy;
    const qint64 total = r.body->size();
    curl_off_t sent = 0, received = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    const Clock::time_point now = Clock::now();
    if (sent != r.lastSent || received != r.lastReceived || r.transfer.answered != r.lastAnswered) {
        r.lastMove = now;
        r.lastSent = sent;
        r.lastReceived = received;
        r.lastAnswered = r.transfer.answered;
    }
    r.result.bodySent = sent >= total;
    if (sent != r.reported && (r.result.bodySent || now - r.lastReport >= ProgressInterval)) {
        r.reported = sent;
        r.lastReport = now;
        deliverProgress(r.serial, qint64(sent), total);
    }
    if (r.done)
        return true;
    if (r.serial <= m_cancelledThrough) {
        r.transfer.stop = Transfer::Stop::Cancelled;
        return true;
    }
    // A body sent whole earns its answer more time: a server may take minutes to store a
    // large file.
    const bool awaitingAnswer = r.result.bodySent && !r.transfer.answered && received == 0;
    const qint64 limitMs =
        std::min<qint64>(INT_MAX, r.job.idleMs + (awaitingAnswer ? total * r.job.answerMsPerGiB / GiB : 0));
    const qint64 idleMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - r.lastMove).count();
    if (idleMs >= limitMs) {
        r.result.timedOutAfterMs = int(limitMs);
        return true;
    }
    return false;
}

CurlUploader::Result CurlUploader::finish(Running &r)
{
    CURL *easy = r.slot->easy;
    const Job &job = r.job;
    AssetBody &body = *r.body;
    TlsCheck &tls = r.slot->tls;
    Result result = r.result;
    curl_multi_remove_handle(m_multi, easy);
    curl_slist_free_all(r.headers);
    r.headers = nullptr;
    // Nothing of ours stays behind in the handle, which lives on for the next file.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);

    result.answered = r.transfer.answered;
    if (r.transfer.stop == Transfer::Stop::BodyFailed) {
        result.transportError = true;
        result.bodyProblem = body.errorString();
    } else if (r.transfer.stop == Transfer::Stop::Cancelled) {
        const bool sent = result.bodySent;
        result = cancelled();
        result.bodySent = sent;
    } else if (result.timedOutAfterMs > 0) {
        curl_off_t connectedAfter = 0;
        curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectedAfter);
        result.connected = connectedAfter > 0 || result.bodySent;
        result.transportError = true;
        result.code = QNetworkReply::TimeoutError;
        result.curlCode = CURLE_OPERATION_TIMEDOUT;
    } else if (tls.refused && body.position() == 0) {
        result.transportError = true;
        result.untrustedCertificate = true;
        result.certificateDer = tls.leafDer;
        result.certificateProblems = tls.errors;
    } else if (r.code != CURLE_OK) {
        // A request that would have gone again also ends here, as a connection closed unanswered.
        long osError = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
        result.transportError = true;
        result.curlCode = int(r.code);
        result.code = networkError(r.code, osError, !job.proxy.isEmpty());
        result.stackText =
            QString::fromUtf8(r.errorText[0] ? r.errorText : curl_easy_strerror(r.code)).trimmed();
        qCDebug(lcConnection) << "asset upload ended by libcurl:" << int(r.code) << result.stackText;
    } else {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        result.status = int(status);
        result.statusText = r.transfer.statusText;
        result.retryAfter = r.transfer.retryAfter;
        result.body = r.transfer.answer;
    }
    // All that libcurl can send is what it read: short of the last byte, the server cannot
    // have the body whole.
    result.lastByteOut = result.bodySent || body.position() >= body.size();
    if (body.position() == body.size()) {
        result.fileSize = body.fileSize();
        const QString hex = r.hash.result();
        if (!hex.isEmpty())
            result.contentHash = hex;
    }
    return result;
}
