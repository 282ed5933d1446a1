#include "LMServerConnection.h"

#include "CategoryTreeResolver.h"
#include "CertificateTrust.h"
#include "CurlUploader.h"
#include "LMRequestRules.h"
#include "ProxyRule.h"
#include "SendOnceBuffer.h"
#include "ServerAddress.h"
#include "TransportFailure.h"
#include "platform/ConsoleLog.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ServerBookmark.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

Q_LOGGING_CATEGORY(lcConnection, "lumaro.connection")

using namespace LMRequestRules;

namespace {
// Qt's requests ask the rule that the asset bodies follow too.
class RuleProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        return {networkProxy(ProxyRule::fromEnvironment().decide(query.url()))};
    }

    static QNetworkProxy networkProxy(const ProxyRule::Decision &decision)
    {
        if (decision.kind != ProxyRule::Decision::Kind::Http &&
            decision.kind != ProxyRule::Decision::Kind::Socks5)
            return QNetworkProxy::NoProxy;
        QNetworkProxy proxy(decision.kind == ProxyRule::Decision::Kind::Http ? QNetworkProxy::HttpProxy
                                                                             : QNetworkProxy::Socks5Proxy,
                            decision.host, quint16(decision.port), decision.user, decision.password);
        if (!decision.proxyResolves)
            proxy.setCapabilities(proxy.capabilities() & ~QNetworkProxy::HostNameLookupCapability);
        return proxy;
    }
};

} // namespace

LMServerConnection::LMServerConnection(ServerBookmark *bookmark, QObject *parent)
    : QObject(parent), m_serverBookmark(bookmark)
{
    if (bookmark)
        bookmark->setServerConnection(this);
    NotificationCenter::defaultCenter()->addObserver(this, LMNotification::HasCategoryPathPart, this,
                                                     &LMServerConnection::buildCategoryPath);
}

LMServerConnection::~LMServerConnection()
{
    // Gone before this object is half torn down, so its end never reaches a batch of ours.
    delete m_categoryPhase;
}

void LMServerConnection::setServerBookmark(ServerBookmark *bookmark)
{
    m_serverBookmark = bookmark;
}

QNetworkAccessManager *LMServerConnection::urlSession()
{
    if (!m_urlSession) {
        m_urlSession = new QNetworkAccessManager(this);
        m_urlSession->setProxyFactory(new RuleProxyFactory);
    }
    return m_urlSession;
}

void LMServerConnection::setUrlSession(QNetworkAccessManager *session)
{
    m_urlSession = session;
}

QList<Asset *> LMServerConnection::currentImportQueue() const
{
    QList<Asset *> out;
    for (const QPointer<Asset> &asset : m_currentImportQueue) {
        if (asset)
            out.append(asset);
    }
    return out;
}

void LMServerConnection::setCurrentImportQueue(const QList<Asset *> &queue)
{
    m_currentImportQueue.clear();
    for (Asset *asset : queue)
        m_currentImportQueue.append(asset);
}

void LMServerConnection::cancelRequests()
{
    // A batch's category phase sends nothing more either.
    if (m_categoryPhase)
        m_categoryPhase->cancel();
    const QList<QNetworkReply *> replies = findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
    for (QNetworkReply *reply : replies) {
        if (reply->isRunning())
            reply->abort();
    }
    if (m_assetSession)
        m_assetSession->cancel();
}

// ---- request rule -------------------------------------------------------------------------

QUrl LMServerConnection::requestUrl(const QString &resourcePath, bool withLogin) const
{
    if (!m_serverBookmark)
        return {};
    QString query;
    if (withLogin) {
        const QString password = m_sessionPassword ? *m_sessionPassword : m_serverBookmark->password().value_or(QString());
        query = loginQuery(m_serverBookmark->userName().value_or(QString()), password).mid(1);
    }
    // Set part by part: nothing the bookmark holds can move the request to another place.
    return ServerAddress::requestUrl(m_serverBookmark->secureConnect() == true, m_serverBookmark->hostName().value_or(QString()),
                                     m_serverBookmark->portNumber(),
                                     QLatin1Char('/') + m_serverBookmark->applicationNameURL().value_or(QString()) +
                                         resourcePath,
                                     query);
}

QString LMServerConnection::addressProblem() const
{
    if (!m_serverBookmark)
        return tr("The session has no bookmark.");
    QString why;
    const QString host = m_serverBookmark->hostName().value_or(QString());
    if (!ServerAddress::checkHost(host, &why))
        return tr("The host “%1” cannot be used: %2").arg(host, why);
    const std::optional<qint64> port = m_serverBookmark->portNumber();
    if (port && (*port < 1 || *port > 65535))
        return QStringLiteral("%1 is not a port number.").arg(*port);
    return tr("The server address cannot be used.");
}

namespace {
constexpr qint64 GiB = qint64(1) << 30;

// What one request is going through; shared by its reply's signal handlers.
struct RequestState {
    int timedOutAfterMs = 0;
    // The request went out on a connection: a time-out before is the server's (or proxy's) absence.
    bool connected = false;
    bool bodySent = false;
    bool awaitingTrust = false;
    QStringList certificateProblems;
};
} // namespace

QNetworkReply *LMServerConnection::sendRequest(const QUrl &url, const QByteArray &method, const QByteArray &body,
                                               ReplyHandler handler, std::optional<AssetPost> asset)
{
    auto request = std::make_shared<Outgoing>(Outgoing{url, method, body, std::move(handler), std::move(asset)});
    if (!url.isValid() || url.host().isEmpty()) {
        // Reported like any transport failure, and never from inside the call. No connection is
        // opened to an address that does not mean what it says.
        const QVariantMap error{{LMErrorKey::Domain, QStringLiteral("QUrl")},
                                {LMErrorKey::Code, -1},
                                {LMErrorKey::Description, addressProblem()}};
        QMetaObject::invokeMethod(this, [this, request, error] { fail(request, error); }, Qt::QueuedConnection);
        return nullptr;
    }
    // A proxy that is set but cannot be used is no reason to go around it.
    if (const ProxyRule::Decision proxy = ProxyRule::fromEnvironment().decide(url);
        proxy.kind == ProxyRule::Decision::Kind::Unusable) {
        const QVariantMap error{{LMErrorKey::Domain, QStringLiteral("LMProxy")},
                                {LMErrorKey::Code, int(QNetworkReply::ProxyNotFoundError)},
                                {LMErrorKey::Description, proxy.problem}};
        QMetaObject::invokeMethod(
            this, [this, request, error] { fail(request, error); }, Qt::QueuedConnection);
        return nullptr;
    }
    return dispatch(request);
}

void LMServerConnection::fail(const std::shared_ptr<Outgoing> &request, const QVariantMap &error)
{
    Reply reply;
    reply.transportError = true;
    reply.error = error;
    reply.finalUrl = request->url;
    request->handler(reply);
}

QNetworkReply *LMServerConnection::dispatch(const std::shared_ptr<Outgoing> &request)
{
    if (m_trust == Trust::Asking) {
        m_waitingForTrust.append(request);
        return nullptr;
    }
    if (request->asset) {
        dispatchAsset(request);
        return nullptr;
    }
    QNetworkRequest networkRequest(request->url);
    // Made afresh for each sending: a body goes again only when none of it went before (a
    // refused handshake sends nothing).
    SendOnceBuffer *bodyDevice = request->method == "POST" ? new SendOnceBuffer(request->body) : nullptr;
    QNetworkReply *networkReply = bodyDevice ? urlSession()->sendCustomRequest(networkRequest, request->method, bodyDevice)
                                             : urlSession()->get(networkRequest);
    networkReply->setParent(this);
    if (bodyDevice)
        bodyDevice->setParent(networkReply);
    auto state = std::make_shared<RequestState>();

    // No progress for too long fails the request; a body sent whole earns its answer more time.
    auto *watchdog = new QTimer(networkReply);
    watchdog->setSingleShot(true);
    watchdog->setInterval(m_timeouts.idleMs);
    connect(watchdog, &QTimer::timeout, networkReply, [networkReply, watchdog, state] {
        state->timedOutAfterMs = watchdog->interval();
        networkReply->abort();
    });
    const Timeouts limits = m_timeouts;
    connect(networkReply, &QNetworkReply::uploadProgress, watchdog, [watchdog, state, limits](qint64 sent, qint64 total) {
        if (total > 0 && sent >= total && !state->bodySent) {
            state->bodySent = true;
            watchdog->setInterval(int(std::min<qint64>(INT_MAX, limits.idleMs + total * limits.answerMsPerGiB / GiB)));
        }
        watchdog->start();
    });
    auto answering = [watchdog, limits] {
        watchdog->setInterval(limits.idleMs);
        watchdog->start();
    };
    connect(networkReply, &QNetworkReply::requestSent, watchdog, [state] { state->connected = true; });
    connect(networkReply, &QNetworkReply::metaDataChanged, watchdog, answering);
    connect(networkReply, &QNetworkReply::downloadProgress, watchdog, answering);
    watchdog->start();

    connect(networkReply, &QNetworkReply::sslErrors, this, [this, networkReply, state](const QList<QSslError> &errors) {
        QSslCertificate leaf = networkReply->sslConfiguration().peerCertificate();
        if (leaf.isNull() && !errors.isEmpty())
            leaf = errors.constFirst().certificate();
        const QString pinned = m_serverBookmark ? m_serverBookmark->trustedCertificate() : QString();
        const QList<QSslError> pinnedErrors = CertificateTrust::pinnedErrors(errors, leaf, pinned);
        if (!pinnedErrors.isEmpty()) {
            networkReply->ignoreSslErrors(pinnedErrors);
            return;
        }
        state->certificateProblems = CertificateTrust::describe(errors);
        // After a refusal the request fails as refused, without a second question.
        state->awaitingTrust = true;
        if (m_trust == Trust::Open)
            askAboutCertificate(leaf, errors, networkReply->url());
    });

    connect(networkReply, &QNetworkReply::finished, this, [this, networkReply, request, state] {
        networkReply->deleteLater();
        if (state->awaitingTrust) {
            // Held for the user's answer, or sent again when it has come already.
            if (m_trust == Trust::Refused) {
                fail(request, certificateRefused(request->url));
            } else {
                dispatch(request);
            }
            return;
        }
        Reply reply;
        const QVariant status = networkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError code = networkReply->error();
        // Qt reports HTTP error statuses as reply errors too (400 even as a protocol error);
        // only failures below HTTP count as transport errors, a response cut short among them.
        const bool belowHttp = (code > QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied) ||
                               code == QNetworkReply::ProtocolUnknownError || code == QNetworkReply::ProtocolFailure;
        reply.transportError = code != QNetworkReply::NoError && (belowHttp || !status.isValid());
        if (state->timedOutAfterMs > 0) {
            const bool uploading = request->method == "POST" && !state->bodySent;
            reply.transportError = true;
            const bool connected = state->connected || state->bodySent || status.isValid();
            reply.error = {{LMErrorKey::Domain, QStringLiteral("QNetworkReply")},
                           {LMErrorKey::Code, int(QNetworkReply::TimeoutError)},
                           {LMErrorKey::Description,
                            connected
                                ? TransportFailure::timedOut(uploading, state->timedOutAfterMs)
                                : TransportFailure::notConnected(request->url, state->timedOutAfterMs)}};
        } else if (reply.transportError) {
            reply.error = {{LMErrorKey::Domain, QStringLiteral("QNetworkReply")},
                           {LMErrorKey::Code, int(code)},
                           {LMErrorKey::Description,
                            TransportFailure::describe(code, status.isValid(), request->url,
                                                       networkReply->errorString(), state->certificateProblems)}};
        } else {
            reply.body = networkReply->readAll();
        }
        reply.status = status.isValid() ? status.toInt() : 0;
        reply.statusText = networkReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        if (networkReply->hasRawHeader("Location"))
            reply.location = networkReply->rawHeader("Location");
        reply.finalUrl = networkReply->url();
        noteLoginAnswer(reply);
        request->handler(reply);
    });
    return networkReply;
}

void LMServerConnection::noteLoginAnswer(const Reply &reply)
{
    // Only a request that carried the login (in its query) can have been refused for it.
    if (reply.status == 401 && reply.finalUrl.hasQuery())
        m_loginRefused = true;
}

void LMServerConnection::askAboutCertificate(const QSslCertificate &certificate, const QList<QSslError> &errors,
                                             const QUrl &url)
{
    m_trust = Trust::Asking;
    m_questionedCertificate = certificate;
    const CertificateTrust::Summary summary = CertificateTrust::summarize(certificate);
    const QString pinned = m_serverBookmark ? m_serverBookmark->trustedCertificate() : QString();
    qCInfo(lcConnection) << "certificate of" << ServerAddress::hostAndPort(url) << "needs a decision:"
                         << summary.fingerprint;
    postLater(LMNotification::CertificateNeedsTrust,
              {{LMUserInfoKey::HostAndPort, ServerAddress::hostAndPort(url)},
               {LMUserInfoKey::Problems, CertificateTrust::describe(errors)},
               {LMUserInfoKey::Subject, summary.subject},
               {LMUserInfoKey::Issuer, summary.issuer},
               {LMUserInfoKey::ValidFrom, summary.validFrom},
               {LMUserInfoKey::ValidUntil, summary.validUntil},
               {LMUserInfoKey::Fingerprint, summary.fingerprint},
               {LMUserInfoKey::Changed, !pinned.isEmpty() && !CertificateTrust::isPinned(pinned, certificate.toDer())}});
}

void LMServerConnection::answerCertificateQuestion(bool trust)
{
    if (m_trust != Trust::Asking)
        return;
    const QList<std::shared_ptr<Outgoing>> waiting = std::exchange(m_waitingForTrust, {});
    if (trust) {
        if (m_serverBookmark)
            m_serverBookmark->setTrustedCertificate(CertificateTrust::fingerprint(m_questionedCertificate));
        m_trust = Trust::Open;
        for (const std::shared_ptr<Outgoing> &request : waiting)
            dispatch(request);
        return;
    }
    m_trust = Trust::Refused;
    for (const std::shared_ptr<Outgoing> &request : waiting)
        fail(request, certificateRefused(request->url));
}

QVariantMap LMServerConnection::certificateRefused(const QUrl &url)
{
    return {{LMErrorKey::Domain, LMErrorDomain::CertificateRefused},
            {LMErrorKey::Code, int(QNetworkReply::SslHandshakeFailedError)},
            {LMErrorKey::Description,
             tr("The certificate of %1 was not trusted.").arg(ServerAddress::hostAndPort(url))}};
}

QNetworkReply *LMServerConnection::sendGet(const QString &resourcePath, bool withLogin, ReplyHandler handler)
{
    return sendRequest(requestUrl(resourcePath, withLogin), "GET", {}, std::move(handler));
}

QNetworkReply *LMServerConnection::sendPost(const QString &resourcePath, const QJsonObject &body,
                                            ReplyHandler handler)
{
    return sendRequest(requestUrl(resourcePath, true), "POST", QJsonDocument(body).toJson(QJsonDocument::Compact),
                       std::move(handler));
}

std::optional<QJsonValue> LMServerConnection::decodeJson(const Reply &reply)
{
    if (reply.transportError)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isObject())
        return QJsonValue(document.object());
    if (document.isArray())
        return QJsonValue(document.array());
    return std::nullopt;
}

QVariantMap LMServerConnection::errorInfo(const Reply &reply)
{
    if (!reply.transportError)
        return {};
    return {{LMUserInfoKey::Error, reply.error}};
}

QString LMServerConnection::failureReason(const Reply &reply, const std::optional<QJsonValue> &json)
{
    if (reply.transportError)
        return reply.error.value(LMErrorKey::Description).toString();
    // Servers explain a refusal in an "error" member; otherwise the status says enough.
    const QJsonValue said = json && json->isObject() ? json->toObject().value(QLatin1String("error")) : QJsonValue();
    if (said.isString() && !said.toString().isEmpty())
        return said.toString();
    if (reply.status < 200 || reply.status > 299)
        return tr("The server answered HTTP %1 %2").arg(reply.status).arg(reply.statusText).trimmed();
    return tr("The server's answer was not understood.");
}

QString LMServerConnection::statusAndReason(const Reply &reply, const std::optional<QJsonValue> &json)
{
    const QString reason = failureReason(reply, json);
    if (reply.transportError || (reply.status >= 200 && reply.status <= 299))
        return reason;
    const QString status = QStringLiteral("HTTP %1 %2").arg(reply.status).arg(reply.statusText).trimmed();
    return reason.contains(status) ? status : status + QStringLiteral(": ") + reason;
}

QVariantMap LMServerConnection::listingInfo(const Reply &reply, const std::optional<QJsonValue> &json, bool usable)
{
    QVariantMap info = errorInfo(reply);
    if (!usable)
        info.insert(LMUserInfoKey::Failure, failureReason(reply, json));
    return info;
}

void LMServerConnection::post(const QString &name, const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter()->post(name, this, userInfo);
}

void LMServerConnection::postLater(const QString &name, const QVariantMap &userInfo)
{
    NotificationCenter::defaultCenter()->postOnMainThread(name, this, userInfo);
}

// ---- server check and application path ---------------------------------------------------

void LMServerConnection::getFullURL()
{
    // The root page of the bookmark's server: on its own port, where the server listens, not on
    // the scheme's usual one.
    const QUrl url = m_serverBookmark ? ServerAddress::requestUrl(m_serverBookmark->secureConnect() == true,
                                                                  m_serverBookmark->hostName().value_or(QString()),
                                                                  m_serverBookmark->portNumber(), QStringLiteral("/"))
                                      : QUrl();
    sendRequest(url, "GET", {}, [this](const Reply &reply) {
        QString appURL;
        if (!reply.transportError)
            appURL = appPathFromRootReply(reply.status, reply.location, reply.finalUrl);
        post(LMNotification::GotFullURL, {{LMUserInfoKey::AppURL, appURL}});
    });
}

namespace {
QVariantMap replyProblem(const QString &description)
{
    return {{LMErrorKey::Domain, LMErrorDomain::Reply}, {LMErrorKey::Code, 0}, {LMErrorKey::Description, description}};
}
} // namespace

void LMServerConnection::checkLMServer()
{
    serverCheck([this](int result, const QVariantMap &problem) {
        QVariantMap info{{LMUserInfoKey::ServerCheck, result}};
        if (result != 0 && !problem.isEmpty()) {
            info.insert(LMUserInfoKey::Error, problem);
            info.insert(LMUserInfoKey::Failure, problem.value(LMErrorKey::Description));
        }
        post(LMNotification::CheckedServer, info);
    });
}

void LMServerConnection::serverCheck(std::function<void(int result, const QVariantMap &problem)> done)
{
    sendGet(QStringLiteral("/ra/abouts.json"), false, [this, done](const Reply &reply) {
        int result = 1;
        // Why the check failed, for the user: the transport's reason, the HTTP status, or what
        // the answer said instead.
        QVariantMap problem = reply.error;
        [&] {
            if (reply.transportError)
                return;
            const bool httpFailure = reply.status < 200 || reply.status > 299;
            const QVariantMap statusProblem = replyProblem(
                tr("The server answered HTTP %1 %2").arg(reply.status).arg(reply.statusText).trimmed());
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = decoder(reply.body);
            if (decoder.hasError()) {
                problem = httpFailure ? statusProblem : replyProblem(tr("The server's answer is not text."));
                return;
            }
            ConsoleLog::line(QStringLiteral("server check response data = ") + text);
            const std::optional<QJsonValue> json = decodeJson(reply);
            if (!json || !json->isObject()) {
                problem = httpFailure ? statusProblem
                                      : replyProblem(tr("The server's answer is no Lumaro identity."));
                return;
            }
            const QJsonObject about = json->toObject();
            const QJsonValue uid = about.value(QLatin1String("LumaroUID"));
            const QJsonValue api = about.value(QLatin1String("RestAPIVersion"));
            ConsoleLog::line(QStringLiteral("server check values = ") + api.toString() + QStringLiteral(", ") +
                             uid.toString());
            if (!uid.isString() || uid.toString() != SERVERUID) {
                problem = httpFailure ? statusProblem
                                      : replyProblem(tr("The server's answer is no Lumaro identity."));
                return;
            }
            if (!api.isString()) {
                problem = replyProblem(tr("The server gives no interface version."));
                return;
            }
            if (api.toString() != RESTAPIVERSION) {
                result = 2;
                problem = replyProblem(tr("The server speaks interface version %1; this application "
                                          "speaks version %2.")
                                           .arg(api.toString().left(40), RESTAPIVERSION));
                return;
            }
            // Identity and interface version decide; a missing product version is recorded as "".
            m_serverVersion = about.value(QLatin1String("LumaroVersion")).toString();
            result = 0;
        }();
        done(result, problem);
    });
}

// ---- category tree ------------------------------------------------------------------------

void LMServerConnection::retrieveCategoryTypes()
{
    sendGet(QStringLiteral("/ra/categoryTypes.json"), true, [this](const Reply &reply) {
        const std::optional<QJsonValue> json = decodeJson(reply);
        const bool usable = json && objectList(*json);
        if (usable) {
            const QJsonArray types = json->toArray();
            m_categoryTypes = types;
            for (const QJsonValue &type : types) {
                const QJsonObject object = type.toObject();
                const QJsonValue name = object.value(QLatin1String("name"));
                const std::optional<qint64> id = integerValue(object.value(QLatin1String("id")));
                // The last folder type wins; one without a usable id is passed over.
                if (name.isString() && name.toString() == QLatin1String("Folder") && id)
                    m_folderCategoryTypeID = *id;
            }
        }
        QVariantMap info = listingInfo(reply, json, usable);
        if (!info.contains(LMUserInfoKey::Error) && m_folderCategoryTypeID == 0) {
            const QVariantMap problem = replyProblem(reply.status >= 200 && reply.status <= 299
                                                         ? tr("The server lists no “Folder” category type.")
                                                         : statusAndReason(reply, json));
            info.insert(LMUserInfoKey::Error, problem);
            info.insert(LMUserInfoKey::Failure, problem.value(LMErrorKey::Description));
        }
        post(LMNotification::RetrievedCategoryTypes, info);
    });
}

void LMServerConnection::retrieveTopCategories()
{
    loadTopLevel();
}

void LMServerConnection::loadTopLevel()
{
    sendGet(QStringLiteral("/ra/categories.json"), true, [this](const Reply &reply) {
        const std::optional<QJsonValue> json = decodeJson(reply);
        const std::optional<QList<QJsonObject>> level = json ? objectList(*json) : std::nullopt;
        if (level)
            m_categoryData[0] = *level;
        post(LMNotification::HasCategories, listingInfo(reply, json, level.has_value()));
    });
}

void LMServerConnection::selectCategory(qint64 column, qint64 row)
{
    if (column < 0) {
        m_selectedCategory.reset();
        m_categoryPath.clear();
        m_pathLevel = -1;
        loadTopLevel();
        return;
    }
    // A position outside the model changes nothing, yet the caller still hears back.
    if (column >= m_categoryData.size() || row < 0 || row >= m_categoryData.at(column).size()) {
        qCWarning(lcConnection) << "selection outside the category model:" << column << row;
        postLater(LMNotification::HasCategories);
        return;
    }
    while (m_categoryData.size() < column + 2)
        m_categoryData.append(CategoryLevel{});
    while (m_categoryPath.size() < column + 1)
        m_categoryPath.append(CategoryRecord{});

    const CategoryRecord selected = m_categoryData.at(column).at(row);
    m_selectedCategory = selected;
    m_pathLevel = column;
    m_categoryPath[column] = selected;

    if (const std::optional<QList<QJsonObject>> children = childRecords(selected)) {
        m_categoryData[column + 1] = *children;
        postLater(LMNotification::HasCategories);
        return;
    }
    // Until this category's own children arrive, the level below holds none: what it held
    // belonged to the previous selection and must never pass for this one's.
    m_categoryData[column + 1] = CategoryLevel{};
    const std::optional<qint64> id = integerValue(selected.value(QLatin1String("id")));
    if (!id) {
        postLater(LMNotification::HasCategories);
        return;
    }
    sendGet(QStringLiteral("/ra/categories/%1.json").arg(*id), true,
            [this, column, row, id](const Reply &reply) { applyChildFetch(column, row, *id, reply); });
}

void LMServerConnection::applyChildFetch(qint64 column, qint64 row, qint64 requestedID, const Reply &reply)
{
    const std::optional<QJsonValue> json = decodeJson(reply);
    const bool sameCategory = json && json->isObject() &&
                              integerValue(json->toObject().value(QLatin1String("id"))) == requestedID;
    if (!sameCategory || reply.status >= 300) {
        // Reported with the category it was for, so a view can tell whether it still matters.
        QVariantMap info = errorInfo(reply);
        info.insert(LMUserInfoKey::Failure, statusAndReason(reply, json));
        info.insert(LMUserInfoKey::CategoryID, requestedID);
        post(LMNotification::HasCategories, info);
        return;
    }
    const CategoryRecord full = json->toObject();
    // The level may have been reloaded meanwhile: only a row that still holds the requested
    // category takes the full record.
    if (column < m_categoryData.size() && row < m_categoryData.at(column).size() &&
        integerValue(m_categoryData.at(column).at(row).value(QLatin1String("id"))) == requestedID)
        m_categoryData[column][row] = full;
    // The children go below the category only while it is still the selection there; a late
    // answer must not show them under whatever was selected since.
    const bool stillSelected = m_pathLevel >= column && column < m_categoryPath.size() &&
                               integerValue(m_categoryPath.at(column).value(QLatin1String("id"))) == requestedID;
    if (stillSelected) {
        m_categoryPath[column] = full;
        if (m_categoryData.size() < column + 2)
            m_categoryData.append(CategoryLevel{});
        m_categoryData[column + 1] = childRecords(full).value_or(CategoryLevel{});
    }
    post(LMNotification::HasCategories);
}

QString LMServerConnection::getSelectedCategoryPath() const
{
    QString path;
    for (qint64 n = 0; n <= m_pathLevel && n < m_categoryPath.size(); ++n)
        path += QLatin1Char('/') + m_categoryPath.at(n).value(QLatin1String("name")).toString();
    return path;
}

qint64 LMServerConnection::findCategory(qint64 categoryID, qint64 level) const
{
    if (level < 0 || level >= m_categoryData.size())
        return -1;
    const CategoryLevel &records = m_categoryData.at(level);
    for (qint64 row = 0; row < records.size(); ++row) {
        if (integerValue(records.at(row).value(QLatin1String("id"))) == categoryID)
            return row;
    }
    return -1;
}

void LMServerConnection::forgetChildren(qint64 column, qint64 row)
{
    if (column < 0 || column >= m_categoryData.size() || row < 0 || row >= m_categoryData.at(column).size())
        return;
    CategoryRecord &record = m_categoryData[column][row];
    record.remove(QLatin1String("directChildCategoryStructuresSorted"));
    record.remove(QLatin1String("visibleChildCategoryStructures"));
}

// ---- category creation --------------------------------------------------------------------

void LMServerConnection::sendCategoryCreation(const QString &name,
                                              const std::optional<CategoryRecord> &parent,
                                              ReplyHandler handler)
{
    using K = categoryDictionaryKeys;
    const QString now = categoryTimestamp(QDateTime::currentDateTimeUtc());
    QJsonObject body{
        {K::name, name},
        {K::creationDate, now},
        {K::categoryDate, now},
        {K::creatorID, 1},
        {K::categoryType, QJsonObject{{K::id, double(m_folderCategoryTypeID)}}},
        {K::externalVisibility, true},
        {K::publicVisibility, true},
        {K::topLevel, false},
    };
    if (parent) {
        body.insert(K::parentCategoryStructures,
                    QJsonArray{QJsonObject{{K::directReferenceCount, 1},
                                           {K::inheritedReferenceCount, 0},
                                           {K::parentCategory, QJsonObject{{K::id, parent->value(K::id)}}}}});
    }
    sendPost(QStringLiteral("/ra/categories.json"), body, std::move(handler));
}

void LMServerConnection::createNewCategory(const QString &name)
{
    sendCategoryCreation(name, m_selectedCategory, [this](const Reply &reply) {
        const std::optional<QJsonValue> json = decodeJson(reply);
        // A refusal arrives as a JSON error object too; it is no new category.
        const bool accepted = reply.status >= 200 && reply.status <= 299;
        if (accepted && json && json->isObject()) {
            post(LMNotification::CreatedNewCategory, {{LMUserInfoKey::NewCategory, json->toObject()}});
            return;
        }
        post(LMNotification::CreateCategoryFailed, {{LMUserInfoKey::Error, failureReason(reply, json)}});
    });
}

void LMServerConnection::createCategory(const QString &name, const std::optional<CategoryRecord> &parent,
                                        std::function<void(const Creation &)> done)
{
    sendCategoryCreation(name, parent, [done = std::move(done)](const Reply &reply) {
        Creation creation;
        // Without an HTTP answer the server may have stored it all the same.
        creation.answered = !reply.transportError;
        const std::optional<QJsonValue> json = decodeJson(reply);
        const bool accepted = reply.status >= 200 && reply.status <= 299;
        if (creation.answered && accepted && json && json->isObject() &&
            integerValue(json->toObject().value(QLatin1String("id")))) {
            creation.record = json->toObject();
        } else if (creation.answered && accepted) {
            creation.failure = QStringLiteral("the server's answer names no new category");
        } else {
            creation.failure = statusAndReason(reply, json);
        }
        done(creation);
    });
}

namespace {
// Why a listed record cannot stand for a name's presence or absence; empty when it can.
QString unusableRecord(const QJsonObject &record)
{
    const QJsonValue name = record.value(QLatin1String("name"));
    const std::optional<qint64> id = integerValue(record.value(QLatin1String("id")));
    if (!name.isString()) {
        return id ? QStringLiteral("the category with id %1 is listed without a name").arg(*id)
                  : QStringLiteral("a category is listed without a name or an id");
    }
    if (!id)
        return QStringLiteral("the category \"%1\" is listed without an id").arg(name.toString());
    return {};
}

// The child records of a category's full record, each one usable; none with why otherwise.
std::optional<CategoryLevel> listedChildren(const QJsonObject &full, QString *why)
{
    QJsonValue list = full.value(QLatin1String("directChildCategoryStructuresSorted"));
    if (!full.contains(QLatin1String("directChildCategoryStructuresSorted")))
        list = full.value(QLatin1String("visibleChildCategoryStructures"));
    if (!list.isArray()) {
        *why = QStringLiteral("the server's record of the category lists no children");
        return std::nullopt;
    }
    CategoryLevel children;
    for (const QJsonValue &structure : list.toArray()) {
        const QJsonValue child = structure.toObject().value(QLatin1String("childCategory"));
        if (!child.isObject()) {
            *why = QStringLiteral("a child is listed without its category");
            return std::nullopt;
        }
        children.append(child.toObject());
    }
    return children;
}
} // namespace

void LMServerConnection::listChildren(const std::optional<CategoryRecord> &parent,
                                      std::function<void(const ChildListing &)> done)
{
    const std::optional<qint64> parentID =
        parent ? integerValue(parent->value(QLatin1String("id"))) : std::optional<qint64>();
    if (parent && !parentID) {
        QMetaObject::invokeMethod(
            this,
            [done] {
                done({std::nullopt, QStringLiteral("the category has no id to ask for")});
            },
            Qt::QueuedConnection);
        return;
    }
    const QString resource = parent ? QStringLiteral("/ra/categories/%1.json").arg(*parentID)
                                    : QStringLiteral("/ra/categories.json");
    sendGet(resource, true, [done = std::move(done), parentID](const Reply &reply) {
        ChildListing listing;
        const std::optional<QJsonValue> json = decodeJson(reply);
        std::optional<CategoryLevel> children;
        QString why;
        if (!reply.transportError && reply.status >= 200 && reply.status <= 299 && json) {
            if (!parentID) {
                children = objectList(*json);
            } else if (json->isObject() &&
                       integerValue(json->toObject().value(QLatin1String("id"))) == parentID) {
                children = listedChildren(json->toObject(), &why);
            }
        }
        if (!children) {
            listing.failure = why.isEmpty() ? statusAndReason(reply, json) : why;
            if (listing.failure == tr("The server's answer was not understood.") && json)
                listing.failure = tr("The server's answer is no list of categories.");
            done(listing);
            return;
        }
        for (const CategoryRecord &record : std::as_const(*children)) {
            const QString problem = unusableRecord(record);
            if (!problem.isEmpty()) {
                listing.failure = problem;
                done(listing);
                return;
            }
        }
        listing.children = std::move(children);
        done(listing);
    });
}

// ---- path climb ---------------------------------------------------------------------------

void LMServerConnection::retrieveCategoryPath(qint64 categoryID)
{
    retrieveCategoryPathPart(categoryID, QJsonArray{});
}

void LMServerConnection::retrieveCategoryPathPart(qint64 categoryID, const QJsonArray &pathList)
{
    sendGet(QStringLiteral("/ra/categories/%1.json").arg(categoryID), true, [this, pathList](const Reply &reply) {
        const std::optional<QJsonValue> json = decodeJson(reply);
        // An object without a usable id (an error reply, say) is no category to climb through.
        if (!json || !json->isObject() || !integerValue(json->toObject().value(QLatin1String("id")))) {
            post(LMNotification::HasCategoryPathPart, {{LMUserInfoKey::ParentID, qint64(-1)},
                                                       {LMUserInfoKey::PathList, pathList},
                                                       {LMUserInfoKey::HasError, true}});
            return;
        }
        const QJsonObject record = json->toObject();
        if (pathList.isEmpty())
            m_selectedCategory = record;
        QJsonArray list = pathList;
        list.append(record);
        qint64 parentID = -1;
        const QJsonArray parents = record.value(QLatin1String("parentCategoryStructures")).toArray();
        for (const QJsonValue &value : parents) {
            const QJsonObject structure = value.toObject();
            const QJsonValue count = structure.value(QLatin1String("directReferenceCount"));
            if (integerValue(count) == 0)
                continue;
            // A qualifying parent without a usable id cannot be climbed to.
            const std::optional<qint64> id =
                integerValue(structure.value(QLatin1String("parentCategory")).toObject().value(QLatin1String("id")));
            if (id)
                parentID = *id;
        }
        post(LMNotification::HasCategoryPathPart, {{LMUserInfoKey::ParentID, parentID},
                                                   {LMUserInfoKey::PathList, list},
                                                   {LMUserInfoKey::HasError, false}});
    });
}

void LMServerConnection::buildCategoryPath(const Notification &notification)
{
    const QVariantMap &info = notification.userInfo;
    const qint64 parentID = info.value(LMUserInfoKey::ParentID, qint64(-1)).toLongLong();
    const QJsonArray pathList = info.value(LMUserInfoKey::PathList).toJsonArray();
    const bool hasError = info.value(LMUserInfoKey::HasError, true).toBool();

    if (hasError || pathList.size() > MAXPATHLEVEL) {
        // An abandoned climb selects nothing: the browser opens with nothing selected, and a
        // new category or an upload must not quietly go to the stored one.
        m_categoryPath.clear();
        m_pathLevel = -1;
        m_selectedCategory.reset();
        post(LMNotification::HasCategoryPath);
        return;
    }
    if (parentID == -1) {
        QList<CategoryRecord> path;
        path.reserve(pathList.size());
        for (qsizetype i = pathList.size() - 1; i >= 0; --i)
            path.append(pathList.at(i).toObject());
        m_categoryPath = path;
        m_pathLevel = path.size() - 1;
        post(LMNotification::HasCategoryPath);
        return;
    }
    retrieveCategoryPathPart(parentID, pathList);
}
