#pragma once

#include "ManagedObject.h"

#include <QDateTime>

#include <optional>

class ServerBookmark;

// One queued file; pending while it has no upload time, an import-log entry once it has one.
class Asset : public ManagedObject {
    Q_OBJECT
    Q_PROPERTY(QVariant filePath READ filePathValue WRITE setFilePathValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant categoryID READ categoryIDValue WRITE setCategoryIDValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant folderPath READ folderPathValue WRITE setFolderPathValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant categoryPath READ categoryPathValue WRITE setCategoryPathValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant uploadDateTime READ uploadDateTimeValue WRITE setUploadDateTimeValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant fileSize READ fileSizeValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant contentHash READ contentHashValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant serverKey READ serverKeyValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant uploadState READ uploadStateValue NOTIFY fieldChanged)

public:
    static inline const QString EntityName = QStringLiteral("Asset");
    static inline const QString kFilePath = QStringLiteral("filePath");
    static inline const QString kBookmark = QStringLiteral("bookmark");
    static inline const QString kCategoryID = QStringLiteral("categoryID");
    static inline const QString kCategoryPath = QStringLiteral("categoryPath");
    static inline const QString kFolderPath = QStringLiteral("folderPath");
    static inline const QString kUploadDateTime = QStringLiteral("uploadDateTime");
    // What was sent, and where: set with the upload time, absent on records older than them.
    static inline const QString kFileSize = QStringLiteral("fileSize");
    static inline const QString kContentHash = QStringLiteral("contentHash");
    static inline const QString kServerKey = QStringLiteral("serverKey");
    // Where a pending record's last upload stands (absent: waiting), and why when in doubt.
    static inline const QString kUploadState = QStringLiteral("uploadState");
    static inline const QString kUploadStateReason = QStringLiteral("uploadStateReason");

    enum class UploadState {
        Waiting,
        // Saved just before its body goes out: found so after a crash, it may have arrived.
        Sending,
        // The whole body went out and no answer said the server took it: never sent again
        // without a person's word.
        MayHaveArrived,
    };
    // Why a record found Sending at the next start may have arrived; asked for after the
    // translators are in, so it is said in the session's language.
    [[nodiscard]] static QString endedWhileSending();

    explicit Asset(ObjectContext *context, const QVariantMap &stored = {}, qint64 objectId = 0);

    [[nodiscard]] std::optional<QString> filePath() const;
    void setFilePath(const std::optional<QString> &path);

    // The bookmark whose session queued the file; null once that bookmark is gone.
    [[nodiscard]] ServerBookmark *bookmark() const;
    void setBookmark(ServerBookmark *bookmark);

    [[nodiscard]] std::optional<qint64> categoryID() const;
    void setCategoryID(const std::optional<qint64> &id);
    // Where a file of a kept folder tree goes, relative to the upload target of its batch
    // ("card/DCIM/100CANON"); none for a file that goes into the target itself.
    [[nodiscard]] std::optional<QString> folderPath() const;
    void setFolderPath(const std::optional<QString> &folder);

    [[nodiscard]] std::optional<QString> categoryPath() const;
    void setCategoryPath(const std::optional<QString> &path);
    [[nodiscard]] std::optional<QDateTime> uploadDateTime() const;
    void setUploadDateTime(const std::optional<QDateTime> &when);

    [[nodiscard]] std::optional<qint64> fileSize() const;
    // SHA-256 of the content as sent, lower-case hex.
    [[nodiscard]] std::optional<QString> contentHash() const;
    // ServerBookmark::serverKey() of the server the file went to.
    [[nodiscard]] std::optional<QString> serverKey() const;
    void setFingerprint(qint64 size, const std::optional<QString> &hash, const QString &serverKey);
    // Where a file is being sent, before its fingerprint is known.
    void setServerKey(const QString &serverKey) { setValue(kServerKey, serverKey); }

    [[nodiscard]] bool isPending() const { return !hasValue(kUploadDateTime); }
    [[nodiscard]] UploadState uploadState() const;
    [[nodiscard]] QString uploadStateReason() const { return value(kUploadStateReason).toString(); }
    void setUploadState(UploadState state, const QString &reason = {});
    // The record's stored text for a state ("sending", "may-have-arrived"); empty for Waiting.
    [[nodiscard]] static QString stateText(UploadState state);
    // Last path component: what the list shows and what the server is told.
    [[nodiscard]] QString fileName() const;

signals:
    void fieldChanged();

private:
    QVariant filePathValue() const { return value(kFilePath); }
    void setFilePathValue(const QVariant &v) { setValue(kFilePath, v); }
    QVariant categoryIDValue() const { return value(kCategoryID); }
    void setCategoryIDValue(const QVariant &v) { setValue(kCategoryID, v); }
    QVariant folderPathValue() const { return value(kFolderPath); }
    void setFolderPathValue(const QVariant &v) { setValue(kFolderPath, v); }
    QVariant categoryPathValue() const { return value(kCategoryPath); }
    void setCategoryPathValue(const QVariant &v) { setValue(kCategoryPath, v); }
    QVariant uploadDateTimeValue() const { return value(kUploadDateTime); }
    void setUploadDateTimeValue(const QVariant &v) { setValue(kUploadDateTime, v); }
    QVariant fileSizeValue() const { return value(kFileSize); }
    QVariant contentHashValue() const { return value(kContentHash); }
    QVariant serverKeyValue() const { return value(kServerKey); }
    QVariant uploadStateValue() const { return value(kUploadState); }
};
