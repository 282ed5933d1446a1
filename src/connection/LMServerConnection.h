#pragma once

#include "LMConnectionNames.h"
#include "RetrySchedule.h"
#include "store/ServerBookmark.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <QSslCertificate>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class Asset;
class CategoryTreeResolver;
class CurlUploader;
class ObjectContext;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
struct Notification;

using CategoryRecord = QJsonObject;
using CategoryLevel = QList<CategoryRecord>;

// The client of one server session: builds every request by one rule, keeps the category
// browser's model and reports each completed operation as a notification on the main thread.
class LMServerConnection : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString serverVersion READ serverVersion WRITE setServerVersion)
    Q_PROPERTY(qint64 pathLevel READ pathLevel WRITE setPathLevel)
    Q_PROPERTY(QString currentAssetImportID READ currentAssetImportID WRITE setCurrentAssetImportID)
    Q_PROPERTY(bool haltUpload READ haltUpload WRITE setHaltUpload)
    Q_PROPERTY(qint64 msgcount READ msgcount WRITE setMsgcount)

public:
    static inline const QString SERVERUID = QStringLiteral("5c02ad91e7b311e6");
    static inline const QString RESTAPIVERSION = QStringLiteral("4");
    static constexpr int MAXPATHLEVEL = 50;

    // Keys the connection itself writes into a category creation body.
    struct categoryDictionaryKeys {
        static inline const QString name = QStringLiteral("name");
        static inline const QString creationDate = QStringLiteral("creationDate");
        static inline const QString categoryDate = QStringLiteral("categoryDate");
        static inline const QString creatorID = QStringLiteral("creatorID");
        static inline const QString categoryType = QStringLiteral("categoryType");
        static inline const QString externalVisibility = QStringLiteral("externalVisibility");
        static inline const QString publicVisibility = QStringLiteral("publicVisibility");
        static inline const QString topLevel = QStringLiteral("topLevel");
        static inline const QString parentCategoryStructures = QStringLiteral("parentCategoryStructures");
        static inline const QString directReferenceCount = QStringLiteral("directReferenceCount");
        static inline const QString inheritedReferenceCount = QStringLiteral("inheritedReferenceCount");
        static inline const QString parentCategory = QStringLiteral("parentCategory");
        static inline const QString id = QStringLiteral("id");
    };

    explicit LMServerConnection(ServerBookmark *bookmark, QObject *parent = nullptr);
    ~LMServerConnection() override;
    LMServerConnection(const LMServerConnection &) = delete;
    LMServerConnection &operator=(const LMServerConnection &) = delete;

    [[nodiscard]] ServerBookmark *serverBookmark() const { return m_serverBookmark; }
    void setServerBookmark(ServerBookmark *bookmark);
    [[nodiscard]] const QString &serverVersion() const { return m_serverVersion; }
    void setServerVersion(const QString &version) { m_serverVersion = version; }
    [[nodiscard]] const QList<CategoryLevel> &categoryData() const { return m_categoryData; }
    void setCategoryData(const QList<CategoryLevel> &data) { m_categoryData = data; }
    [[nodiscard]] const QList<CategoryRecord> &categoryPath() const { return m_categoryPath; }
    void setCategoryPath(const QList<CategoryRecord> &path) { m_categoryPath = path; }
    [[nodiscard]] qint64 pathLevel() const { return m_pathLevel; }
    void setPathLevel(qint64 level) { m_pathLevel = level; }
    [[nodiscard]] const std::optional<CategoryRecord> &selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(const std::optional<CategoryRecord> &record) { m_selectedCategory = record; }
    [[nodiscard]] const std::optional<QJsonArray> &categoryTypes() const { return m_categoryTypes; }
    void setCategoryTypes(const std::optional<QJsonArray> &types) { m_categoryTypes = types; }
    [[nodiscard]] qint64 folderCategoryTypeID() const { return m_folderCategoryTypeID; }
    void setFolderCategoryTypeID(qint64 id) { m_folderCategoryTypeID = id; }
    [[nodiscard]] const std::optional<CategoryRecord> &newCategoryParent() const { return m_newCategoryParent; }
    void setNewCategoryParent(const std::optional<CategoryRecord> &record) { m_newCategoryParent = record; }
    [[nodiscard]] qint64 msgcount() const { return m_msgcount; }
    void setMsgcount(qint64 count) { m_msgcount = count; }
    [[nodiscard]] QList<Asset *> currentImportQueue() const;
    void setCurrentImportQueue(const QList<Asset *> &queue);
    [[nodiscard]] const QString &currentAssetImportID() const { return m_currentAssetImportID; }
    void setCurrentAssetImportID(const QString &id) { m_currentAssetImportID = id; }
    [[nodiscard]] bool haltUpload() const { return m_haltUpload.load(); }
    // A halt also stops a batch's category phase before its next request.
    void setHaltUpload(bool halt);

    // The session's own manager (made on first use), so a certificate trusted here is never
    // taken for trusted by a connection that reuses the same server connection elsewhere. Its
    // proxies are those ProxyRule decides, as for the asset bodies.
    [[nodiscard]] QNetworkAccessManager *urlSession();
    void setUrlSession(QNetworkAccessManager *session);

    // How long a request may go without progress: idleMs with nothing sent or received; once a
    // body has been sent whole, idleMs plus answerMsPerGiB for each GiB of it, because a server
    // may take minutes to store a large file.
    struct Timeouts {
        int idleMs = 60000;
        qint64 answerMsPerGiB = 300000;
    };
    [[nodiscard]] const Timeouts &timeouts() const { return m_timeouts; }
    void setTimeouts(const Timeouts &timeouts) { m_timeouts = timeouts; }

    // The password this session uses, held for the session only; without one the bookmark's.
    void setSessionPassword(const std::optional<QString> &password) { m_sessionPassword = password; }
    // The most a file's body may take of the line, in bytes a second (0: no limit), for this
    // session only; without one the bookmark's limit.
    void setUploadRateLimit(const std::optional<qint64> &bytesPerSecond)
    {
        m_uploadRateLimit = bytesPerSecond;
    }
    // How many files of a batch may be on their way at once, for this session only; without a
    // number the bookmark's. Read as each file is due.
    void setSimultaneousUploads(const std::optional<int> &count) { m_simultaneousUploads = count; }
    [[nodiscard]] int simultaneousUploads() const;
    // Files of the running batch whose POST is on its way.
    [[nodiscard]] int uploadsInFlight() const { return int(m_inFlight.size()); }

    // A certificate that failed verification and is not the bookmark's trusted one makes the
    // connection post CertificateNeedsTrust once and hold every request of the session until the
    // answer comes. Trusting pins the certificate's fingerprint in the bookmark and sends the held
    // requests; refusing fails them, and every later one that meets an untrusted certificate.
    void answerCertificateQuestion(bool trust);
    [[nodiscard]] bool isAwaitingCertificateAnswer() const { return m_trust == Trust::Asking; }
    // Whether the server answered a request that carried this session's login with 401 (a wrong
    // user name or password), so a failure after it can say which password was refused.
    [[nodiscard]] bool loginRefused() const { return m_loginRefused; }

    [[nodiscard]] ObjectContext *managedObjectContext() const { return m_managedObjectContext; }
    void setManagedObjectContext(ObjectContext *context) { m_managedObjectContext = context; }

    // Server check and application path.
    Q_INVOKABLE void checkLMServer();
    Q_INVOKABLE void getFullURL();

    // Category tree.
    Q_INVOKABLE void retrieveCategoryTypes();
    Q_INVOKABLE void retrieveTopCategories();
    Q_INVOKABLE void selectCategory(qint64 column, qint64 row);
    [[nodiscard]] Q_INVOKABLE QString getSelectedCategoryPath() const;
    [[nodiscard]] Q_INVOKABLE qint64 findCategory(qint64 categoryID, qint64 level) const;
    // Drops the child lists held for that row, so its next selection asks the server again
    // (a category was created below it).
    void forgetChildren(qint64 column, qint64 row);

    Q_INVOKABLE void createNewCategory(const QString &name);

    // For work that must leave the browser's model alone (CategoryTreeResolver): the children of a
    // category as the server lists them now (the top level when parent is none), always asked
    // anew. A listing whose records lack a name or an id cannot prove a name absent: children is
    // then none and failure says why, as it does for a failed request.
    struct ChildListing {
        std::optional<CategoryLevel> children;
        QString failure;
    };
    void listChildren(const std::optional<CategoryRecord> &parent, std::function<void(const ChildListing &)> done);
    // The request createNewCategory() sends, under the given parent (none: no parent structure).
    // answered is false when no answer came (closed unanswered, timed out): the category may
    // exist, so the caller lists the parent before it ever sends the name again.
    struct Creation {
        std::optional<CategoryRecord> record;
        QString failure;
        bool answered = false;
    };
    void createCategory(const QString &name, const std::optional<CategoryRecord> &parent,
                        std::function<void(const Creation &)> done);

    // Path climb.
    Q_INVOKABLE void retrieveCategoryPath(qint64 categoryID);
    void buildCategoryPath(const Notification &notification);
    void retrieveCategoryPathPart(qint64 categoryID, const QJsonArray &pathList);

    // Upload chain.
    void startAssetImport(const QList<Asset *> &batch);
    Q_INVOKABLE void uploadNextAsset(const QString &importStatusID);
    Q_INVOKABLE void uploadedAsset();

    // How a batch tries again by itself (RetrySchedule). retryForMs none: the bookmark's retry
    // time; the waits are for tests, which cannot spend seconds on each.
    struct RetrySettings {
        std::optional<qint64> retryForMs;
        std::optional<int> retries;
        int firstWaitMs = 2000;
        int longestWaitMs = 5 * 60 * 1000;
    };
    void setRetrySettings(const RetrySettings &settings) { m_retrySettings = settings; }
    [[nodiscard]] const RetrySettings &retrySettings() const { return m_retrySettings; }
    // Ends a wait of the running batch (UploadWaiting) at once.
    void retryNow();
    [[nodiscard]] bool isWaitingToRetry() const;

    // Aborts every request in flight, the file being sent among them; each reports as a
    // transport failure, as any cut connection does (a batch fails its file in flight and,
    // halted, ends).
    void cancelRequests();

    // Whether a batch is between its start and its done notification.
    [[nodiscard]] bool isUploading() const { return m_uploading; }

private:
    struct Reply {
        bool transportError = false;
        QVariantMap error; // domain, code, description of a transport error
        int status = 0;    // 0 when no HTTP response arrived
        QString statusText;
        QByteArray body;
        std::optional<QByteArray> location;
        QUrl finalUrl;
        // Of a file's POST: the size and SHA-256 of the content that went out, taken as it streamed.
        qint64 fileSize = 0;
        std::optional<QString> contentHash;
        // Of a file's POST: whether the server may have the whole body, and when it asked to
        // be tried again.
        bool lastByteOut = false;
        QByteArray retryAfter;
    };
    using ReplyHandler = std::function<void(const Reply &)>;

    // A file's body, made and sent on the asset session's worker rather than by Qt.
    struct AssetPost {
        QString filePath;
        // The body's members besides the file data.
        QJsonObject members;
        std::function<void(qint64 sent, qint64 total)> progress;
    };

    // One request, kept whole so it can be sent once a certificate question is answered.
    struct Outgoing {
        QUrl url;
        QByteArray method;
        QByteArray body;
        ReplyHandler handler;
        std::optional<AssetPost> asset;
    };

    [[nodiscard]] QUrl requestUrl(const QString &resourcePath, bool withLogin) const;
    // Why the bookmark's address cannot be used; empty when it can.
    [[nodiscard]] QString addressProblem() const;
    QNetworkReply *sendRequest(const QUrl &url, const QByteArray &method, const QByteArray &body,
                               ReplyHandler handler, std::optional<AssetPost> asset = {});
    QNetworkReply *dispatch(const std::shared_ptr<Outgoing> &request);
    void dispatchAsset(const std::shared_ptr<Outgoing> &request);
    void fail(const std::shared_ptr<Outgoing> &request, const QVariantMap &error);
    [[nodiscard]] static QVariantMap certificateRefused(const QUrl &url);
    void askAboutCertificate(const QSslCertificate &certificate, const QList<QSslError> &errors, const QUrl &url);
    QNetworkReply *sendGet(const QString &resourcePath, bool withLogin, ReplyHandler handler);
    QNetworkReply *sendPost(const QString &resourcePath, const QJsonObject &body, ReplyHandler handler);
    void post(const QString &name, const QVariantMap &userInfo = {});
    void postLater(const QString &name, const QVariantMap &userInfo = {});
    void noteLoginAnswer(const Reply &reply);
    static std::optional<QJsonValue> decodeJson(const Reply &reply);
    static QVariantMap errorInfo(const Reply &reply);
    static QString failureReason(const Reply &reply, const std::optional<QJsonValue> &json);
    // The HTTP status first when it is no success, then what the server said.
    static QString statusAndReason(const Reply &reply, const std::optional<QJsonValue> &json);
    static QVariantMap listingInfo(const Reply &reply, const std::optional<QJsonValue> &json, bool usable);
    // The body createNewCategory() and createCategory() send, under parent when there is one.
    void sendCategoryCreation(const QString &name, const std::optional<CategoryRecord> &parent,
                              ReplyHandler handler);

    void loadTopLevel();
    void applyChildFetch(qint64 column, qint64 row, qint64 requestedID, const Reply &reply);

    // Upload chain internals.
    void requestImportStatus(const QList<QPointer<Asset>> &records);
    void prepareCategories(const QList<QPointer<Asset>> &records, const QStringList &folders);
    void categoriesPrepared(CategoryTreeResolver *resolver, const QList<QPointer<Asset>> &records);
    // Ends the batch once no file is on its way any more; the first reason given is kept.
    void endBatch(const QString &error = {}, bool storeFailure = false);
    // Saves the file's record as being sent, then starts its POST; when the record cannot be
    // saved, nothing is sent and the batch ends.
    void sendAsset(Asset *asset, const QString &importStatusID);
    void postAsset(Asset *asset, quint64 token, const QJsonObject &members);
    // Ends a batch asked to end once no file is on its way and no record being written.
    void endWhenSettled();
    void assetRequestFinished(Asset *asset, const Reply &reply);
    void judgeAsset(Asset *asset, const Reply &reply);
    void uploadedAsset(Asset *asset);
    void failAsset(Asset *asset, const QString &reason);
    // Writes the record through the context's writer thread, in order with every other save;
    // then hears the record (null when it is gone) and the reason when the store refused it.
    void writeRecord(Asset *asset, std::function<void(Asset *record, const QString &why)> then);
    // The record is saved as being sent before its body goes; with a reason when the store
    // cannot take it (nothing is sent then).
    void recordSending(Asset *asset, std::function<void(Asset *record, const QString &why)> then);
    // Back to waiting in the queue: it did not reach the server.
    void keepQueued(Asset *asset);
    void mayHaveArrived(Asset *asset, const QString &reason, const Reply &reply);
    // Saves the record's upload; when the store could not take it, it is tried again until
    // it can.
    void saveRecord(Asset *asset, std::function<void(Asset *record, const QString &why)> then);
    void recordLater();
    // A failed file that the schedule may send again, pause the batch over or give up on.
    void notDelivered(Asset *asset, const QString &reason, std::optional<qint64> retryAfterMs);
    void waitThen(const QString &kind, qint64 ms, const QString &reason, std::function<void()> then);
    // Made on first use, with the limits of the moment.
    RetrySchedule *retrySchedule();
    void probeServer();
    // The server check's request and verdict (0 accepted, 1 not the right server, 2 another
    // interface version), with the problem when there is one; posts nothing.
    void serverCheck(std::function<void(int result, const QVariantMap &problem)> done);

    QPointer<ServerBookmark> m_serverBookmark;
    QString m_serverVersion;
    QList<CategoryLevel> m_categoryData{CategoryLevel{}};
    QList<CategoryRecord> m_categoryPath;
    qint64 m_pathLevel = -1;
    std::optional<CategoryRecord> m_selectedCategory;
    std::optional<QJsonArray> m_categoryTypes;
    qint64 m_folderCategoryTypeID = 0;
    std::optional<CategoryRecord> m_newCategoryParent;
    qint64 m_msgcount = 0;
    QList<QPointer<Asset>> m_currentImportQueue;
    QString m_currentAssetImportID;
    std::atomic<bool> m_haltUpload{false};
    bool m_uploading = false;
    // Where each file of a batch with a folder tree goes: the record of its own category, as the
    // server sent it, and that category's path. Files not listed go to the selected category.
    struct BatchTarget {
        CategoryRecord record;
        QString path;
    };
    QHash<const Asset *, BatchTarget> m_batchTargets;
    QPointer<CategoryTreeResolver> m_categoryPhase;
    RetrySettings m_retrySettings;
    RetrySchedule *m_retry = nullptr; // made on first use
    // How often each file of the batch has been tried; m_tries, the file last judged.
    QHash<const Asset *, int> m_triesOf;
    int m_tries = 0;
    // The files on their way, by the number their POST was started under.
    QHash<quint64, QPointer<Asset>> m_inFlight;
    // Records of the batch handed to the writer thread and not yet written.
    int m_recordsBeingWritten = 0;
    quint64 m_lastPost = 0;
    // The end of the batch, asked for while files were still on their way.
    struct PendingEnd {
        QString error;
        bool storeFailure = false;
    };
    std::optional<PendingEnd> m_pendingEnd;
    std::optional<int> m_simultaneousUploads;
    QString m_lastProblem;
    // Uploaded, yet their records could not be saved: saved again until the store takes them.
    QList<QPointer<Asset>> m_unrecorded;
    QTimer *m_recordTimer = nullptr;
    QPointer<QNetworkAccessManager> m_urlSession;
    // Sends the files of upload batches; made on first use.
    QPointer<CurlUploader> m_assetSession;
    Timeouts m_timeouts;
    std::optional<QString> m_sessionPassword;
    std::optional<qint64> m_uploadRateLimit;
    enum class Trust { Open, Asking, Refused };
    Trust m_trust = Trust::Open;
    bool m_loginRefused = false;
    QSslCertificate m_questionedCertificate;
    QList<std::shared_ptr<Outgoing>> m_waitingForTrust;
    ObjectContext *m_managedObjectContext = nullptr; // outlives every connection
};
