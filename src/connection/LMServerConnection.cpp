#include "LMServerConnection.h"

#include "LMRequestRules.h"
#include "SendOnceBuffer.h"
#include "platform/ConsoleLog.h"
#include "platform/NotificationCenter.h"
#include "store/Asset.h"
#include "store/ServerBookmark.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcConnection, "lumaro.connection")

using namespace LMRequestRules;

LMServerConnection::LMServerConnection(ServerBookmark *bookmark, QObject *parent)
    : QObject(parent), m_serverBookmark(bookmark)
{
    if (bookmark)
        bookmark->setServerConnection(this);
    NotificationCenter::defaultCenter()->addObserver(this, LMNotification::HasCategoryPathPart, this,
                                                     &LMServerConnection::buildCategoryPath);
}

LMServerConnection::~LMServerConnection() = default;

void LMServerConnection::setServerBookmark(ServerBookmark *bookmark)
{
    m_serverBookmark = bookmark;
}

QNetworkAccessManager *LMServerConnection::urlSession()
{
    if (!m_urlSession) {
        // One manager for the whole process, like a shared URL session.
        static QPointer<QNetworkAccessManager> shared;
        if (!shared)
            shared = new QNetworkAccessManager(QCoreApplication::instance());
        m_urlSession = shared;
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
    const QList<QNetworkReply *> replies = findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
    for (QNetworkReply *reply : replies) {
        if (reply->isRunning())
            reply->abort();
    }
}

// ---- request rule -------------------------------------------------------------------------

QString LMServerConnection::requestAddress(const QString &resourcePath, bool withLogin) const
{
    if (!m_serverBookmark)
        return {};
    QString address = m_serverBookmark->urlString() + resourcePath;
    if (withLogin) {
        address += loginQuery(m_serverBookmark->userName().value_or(QString()),
                              m_serverBookmark->password().value_or(QString()));
    }
    return address;
}

namespace {
// A connection that ends before the answer leaves the outcome open: the server may have acted on
// the request. Say so plainly; the stack's own words ("Unable to resend the data") do not.
QString transportFailureText(QNetworkReply::NetworkError code, bool answered, const QString &stackText)
{
    if (code == QNetworkReply::ContentReSendError || (code == QNetworkReply::RemoteHostClosedError && !answered))
        return QStringLiteral("The connection closed before the server answered.");
    if (code == QNetworkReply::RemoteHostClosedError)
        return QStringLiteral("The connection closed before the server's answer was complete.");
    return stackText;
}
} // namespace

QNetworkReply *LMServerConnection::sendRequest(const QString &address, const QByteArray &method, QIODevice *bodyDevice,
                                               const QByteArray &body, ReplyHandler handler)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        // Reported like any transport failure, and never from inside the call.
        Reply reply;
        reply.transportError = true;
        reply.error = {{LMErrorKey::Domain, QStringLiteral("QUrl")},
                       {LMErrorKey::Code, -1},
                       {LMErrorKey::Description, QStringLiteral("Invalid server address: %1").arg(address)}};
        QMetaObject::invokeMethod(this, [handler, reply] { handler(reply); }, Qt::QueuedConnection);
        return nullptr;
    }
    QNetworkRequest request(url);
    QNetworkReply *networkReply = nullptr;
    SendOnceBuffer *ownBody = nullptr;
    if (!bodyDevice && method == "POST")
        bodyDevice = ownBody = new SendOnceBuffer(body);
    if (bodyDevice)
        networkReply = urlSession()->sendCustomRequest(request, method, bodyDevice);
    else
        networkReply = urlSession()->get(request);
    networkReply->setParent(this);
    if (ownBody)
        ownBody->setParent(networkReply);
    connect(networkReply, &QNetworkReply::finished, this, [networkReply, handler] {
        Reply reply;
        const QVariant status = networkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError code = networkReply->error();
        // Qt reports HTTP error statuses as reply errors too (400 even as a protocol error);
        // only failures below HTTP count as transport errors, a response cut short among them.
        const bool belowHttp = (code > QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied) ||
                               code == QNetworkReply::ProtocolUnknownError || code == QNetworkReply::ProtocolFailure;
        reply.transportError = code != QNetworkReply::NoError && (belowHttp || !status.isValid());
        if (reply.transportError) {
            reply.error = {{LMErrorKey::Domain, QStringLiteral("QNetworkReply")},
                           {LMErrorKey::Code, int(code)},
                           {LMErrorKey::Description, transportFailureText(code, status.isValid(),
                                                                          networkReply->errorString())}};
        } else {
            reply.body = networkReply->readAll();
        }
        reply.status = status.isValid() ? status.toInt() : 0;
        reply.statusText = networkReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        if (networkReply->hasRawHeader("Location"))
            reply.location = networkReply->rawHeader("Location");
        reply.finalUrl = networkReply->url();
        networkReply->deleteLater();
        handler(reply);
    });
    return networkReply;
}

QNetworkReply *LMServerConnection::sendGet(const QString &resourcePath, bool withLogin, ReplyHandler handler)
{
    return sendRequest(requestAddress(resourcePath, withLogin), "GET", nullptr, {}, std::move(handler));
}

QNetworkReply *LMServerConnection::sendPost(const QString &resourcePath, const QJsonObject &body,
                                            ReplyHandler handler)
{
    return sendRequest(requestAddress(resourcePath, true), "POST", nullptr,
                       QJsonDocument(body).toJson(QJsonDocument::Compact), std::move(handler));
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
        return QStringLiteral("The server answered HTTP %1 %2").arg(reply.status).arg(reply.statusText).trimmed();
    return QStringLiteral("The server's answer was not understood.");
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
    const QString address = m_serverBookmark ? m_serverBookmark->urlShortString() : QString();
    sendRequest(address, "GET", nullptr, {}, [this](const Reply &reply) {
        QString appURL;
        if (!reply.transportError)
            appURL = appPathFromRootReply(reply.status, reply.location, reply.finalUrl);
        post(LMNotification::GotFullURL, {{LMUserInfoKey::AppURL, appURL}});
    });
}

void LMServerConnection::checkLMServer()
{
    sendGet(QStringLiteral("/ra/abouts.json"), false, [this](const Reply &reply) {
        int result = 1;
        [&] {
            if (reply.transportError)
                return;
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = decoder(reply.body);
            if (decoder.hasError())
                return;
            ConsoleLog::line(QStringLiteral("server check response data = ") + text);
            const std::optional<QJsonValue> json = decodeJson(reply);
            if (!json || !json->isObject())
                return;
            const QJsonObject about = json->toObject();
            const QJsonValue uid = about.value(QLatin1String("LumaroUID"));
            const QJsonValue api = about.value(QLatin1String("RestAPIVersion"));
            ConsoleLog::line(QStringLiteral("server check values = ") + api.toString() + QStringLiteral(", ") +
                             uid.toString());
            if (!uid.isString() || uid.toString() != SERVERUID)
                return;
            if (!api.isString())
                return;
            if (api.toString() != RESTAPIVERSION) {
                result = 2;
                return;
            }
            // Identity and interface version decide; a missing product version is recorded as "".
            m_serverVersion = about.value(QLatin1String("LumaroVersion")).toString();
            result = 0;
        }();
        QVariantMap info{{LMUserInfoKey::ServerCheck, result}};
        if (reply.transportError)
            info.insert(LMUserInfoKey::Failure, failureReason(reply, std::nullopt));
        post(LMNotification::CheckedServer, info);
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
        post(LMNotification::RetrievedCategoryTypes, listingInfo(reply, json, usable));
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

void LMServerConnection::createNewCategory(const QString &name)
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
    if (m_selectedCategory) {
        body.insert(K::parentCategoryStructures,
                    QJsonArray{QJsonObject{{K::directReferenceCount, 1},
                                           {K::inheritedReferenceCount, 0},
                                           {K::parentCategory, QJsonObject{{K::id, m_selectedCategory->value(K::id)}}}}});
    }
    sendPost(QStringLiteral("/ra/categories.json"), body, [this](const Reply &reply) {
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
