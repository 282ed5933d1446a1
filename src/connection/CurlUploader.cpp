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

CurlUploader::CurlUploader(QObject *parent) : QObject(parent), m_tls(std::make_unique<TlsCheck>())
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
    if (m_multi)
        curl_multi_wakeup(m_multi);
    if (m_thread.joinable())
        m_thread.join();
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

void CurlUploader::start(const Job &job, Progress progress, Finished finished)
{
    const quint64 serial = ++m_lastSerial;
    m_callbacks.insert(serial, {std::move(progress), std::move(finished)});
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({serial, job});
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
}

void CurlUploader::cancel()
{
    m_cancelledThrough = m_lastSerial;
    if (m_multi)
        curl_multi_wakeup(m_multi);
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

void CurlUploader::run()
{
    CURL *easy = curl_easy_init();
    for (;;) {
        Queued next;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                break;
            next = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        AssetBody body(next.job.filePath, next.job.members, next.job.dataKey);
        // Hashed here, from the blocks just read for the body: the file is read once.
        ContentHash hash;
        body.setFileBlockHook([&hash](const char *data, qint64 size) { hash.addData(data, size); });
        Transfer transfer;
        transfer.serial = next.serial;
        transfer.job = &next.job;
        transfer.body = &body;
        transfer.tls = m_tls.get();
        Result result;
        if (next.serial <= m_cancelledThrough) {
            result = cancelled();
        } else if (!body.open(&result.bodyProblem)) {
            result.transportError = true;
        } else if (!easy) {
            result.transportError = true;
            result.code = QNetworkReply::UnknownNetworkError;
            result.stackText = QStringLiteral("libcurl could not be started");
        } else {
            result = send(easy, transfer);
            // All that libcurl can send is what it read: short of the last byte, the server
            // cannot have the body whole.
            result.lastByteOut = result.bodySent || body.position() >= body.size();
            if (body.position() == body.size()) {
                result.fileSize = body.fileSize();
                const QString hex = hash.result();
                if (!hex.isEmpty())
                    result.contentHash = hex;
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, serial = next.serial, result] {
                // Taken out first: the next file is started from inside the call.
                const Finished finished = m_callbacks.take(serial).finished;
                if (finished)
                    finished(result);
            },
            Qt::QueuedConnection);
    }
    if (easy)
        curl_easy_cleanup(easy);
}

CurlUploader::Result CurlUploader::send(void *handle, Transfer &transfer)
{
    CURL *easy = handle;
    const Job &job = *transfer.job;
    AssetBody &body = *transfer.body;
    const qint64 total = body.size();
    // A kept connection was accepted under the pin of its time: one that changed since (the
    // user trusted another certificate, or cleared the pin) calls for a new handshake.
    const bool pinChanged = job.pinnedCertificate != m_tls->pinned;
    m_tls->pinned = job.pinnedCertificate;
    m_tls->host = job.url.host(QUrl::FullyEncoded);
    // A reused connection was accepted; a new one is judged afresh when it is made.
    m_tls->leafDer.clear();
    m_tls->errors.clear();
    m_tls->refused = false;

    char errorText[CURL_ERROR_SIZE] = {};
    // No header of our own, as on the session's other requests: none of libcurl's Accept,
    // Content-Type or Expect (the body goes at once, without waiting for a go-ahead).
    curl_slist *headers = curl_slist_append(nullptr, "Accept:");
    headers = curl_slist_append(headers, "Content-Type:");
    headers = curl_slist_append(headers, "Expect:");
    const QByteArray url = job.url.toEncoded();
    const QByteArray proxy = job.proxy.toUtf8();
    const QByteArray proxyUser = job.proxyUser.toUtf8();
    const QByteArray proxyPassword = job.proxyPassword.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(total));
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, UploadBufferSize);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, readAnswer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, beforeRequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    // Every new connection is verified in full under the pin of its time: a resumed session
    // would carry the verdict of an earlier handshake (one that was refused, say).
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, pinChanged ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, prepareTls);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, m_tls.get());
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

    Result result;
    CURLcode code = CURLE_OK;
    bool done = curl_multi_add_handle(m_multi, easy) != CURLM_OK;
    if (done)
        code = CURLE_FAILED_INIT;
    Clock::time_point lastMove = Clock::now();
    Clock::time_point lastReport;
    curl_off_t lastSent = -1, lastReceived = -1, reported = -1;
    bool lastAnswered = false;
    while (!done) {
        int running = 0;
        curl_multi_perform(m_multi, &running);
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                code = message->data.result;
                done = true;
            }
        }
        curl_off_t sent = 0, received = 0;
        curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &sent);
        curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
        const Clock::time_point now = Clock::now();
        if (sent != lastSent || received != lastReceived || transfer.answered != lastAnswered) {
            lastMove = now;
            lastSent = sent;
            lastReceived = received;
            lastAnswered = transfer.answered;
        }
        result.bodySent = sent >= total;
        if (sent != reported && (result.bodySent || now - lastReport >= ProgressInterval)) {
            reported = sent;
            lastReport = now;
            deliverProgress(transfer.serial, qint64(sent), total);
        }
        if (done)
            break;
        if (transfer.serial <= m_cancelledThrough) {
            transfer.stop = Transfer::Stop::Cancelled;
            break;
        }
        // A body sent whole earns its answer more time: a server may take minutes to store a
        // large file.
        const bool awaitingAnswer = result.bodySent && !transfer.answered && received == 0;
        const qint64 limitMs =
            std::min<qint64>(INT_MAX, job.idleMs + (awaitingAnswer ? total * job.answerMsPerGiB / GiB : 0));
        const qint64 idleMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastMove).count();
        if (idleMs >= limitMs) {
            result.timedOutAfterMs = int(limitMs);
            break;
        }
        curl_multi_poll(m_multi, nullptr, 0, int(std::clamp<qint64>(limitMs - idleMs, 1, 1000)), nullptr);
    }
    curl_multi_remove_handle(m_multi, easy);
    curl_slist_free_all(headers);
    // Nothing of ours stays behind in the handle, which lives on for the next file.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);

    result.answered = transfer.answered;
    if (transfer.stop == Transfer::Stop::BodyFailed) {
        result.transportError = true;
        result.bodyProblem = body.errorString();
    } else if (transfer.stop == Transfer::Stop::Cancelled) {
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
    } else if (m_tls->refused && body.position() == 0) {
        result.transportError = true;
        result.untrustedCertificate = true;
        result.certificateDer = m_tls->leafDer;
        result.certificateProblems = m_tls->errors;
    } else if (code != CURLE_OK) {
        // A request that would have gone again also ends here, as a connection closed unanswered.
        long osError = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
        result.transportError = true;
        result.curlCode = int(code);
        result.code = networkError(code, osError, !job.proxy.isEmpty());
        result.stackText = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code)).trimmed();
        qCDebug(lcConnection) << "asset upload ended by libcurl:" << int(code) << result.stackText;
    } else {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        result.status = int(status);
        result.statusText = transfer.statusText;
        result.retryAfter = transfer.retryAfter;
        result.body = transfer.answer;
    }
    return result;
}
