#pragma once

#include "ManagedObject.h"

#include <QDateTime>
#include <QPointer>

#include <optional>

class LMServerConnection;

// One saved server and the little session state remembered for it.
class ServerBookmark : public ManagedObject {
    Q_OBJECT
    Q_PROPERTY(QVariant bookmarkName READ bookmarkNameValue WRITE setBookmarkNameValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant hostName READ hostNameValue WRITE setHostNameValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant userName READ userNameValue WRITE setUserNameValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant password READ passwordValue WRITE setPasswordValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant portNumber READ portNumberValue WRITE setPortNumberValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant secureConnect READ secureConnectValue WRITE setSecureConnectValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant applicationNameURL READ applicationNameURLValue WRITE setApplicationNameURLValue NOTIFY
                   fieldChanged)
    Q_PROPERTY(QVariant lastCategoryView READ lastCategoryViewValue WRITE setLastCategoryViewValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant lastCategoryID READ lastCategoryIDValue WRITE setLastCategoryIDValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant sessionWindowOpen READ sessionWindowOpenValue WRITE setSessionWindowOpenValue NOTIFY
                   fieldChanged)
    Q_PROPERTY(QVariant lastConnectedDate READ lastConnectedDateValue WRITE setLastConnectedDateValue NOTIFY
                   fieldChanged)
    Q_PROPERTY(QVariant askForPassword READ askForPasswordValue WRITE setAskForPasswordValue NOTIFY fieldChanged)
    Q_PROPERTY(QVariant trustedCertificate READ trustedCertificateValue WRITE setTrustedCertificateValue NOTIFY
                   fieldChanged)
    Q_PROPERTY(QString urlString READ urlString NOTIFY fieldChanged)
    Q_PROPERTY(QString urlShortString READ urlShortString NOTIFY fieldChanged)
    Q_PROPERTY(QString bookmarkLongName READ bookmarkLongName NOTIFY fieldChanged)

public:
    static inline const QString EntityName = QStringLiteral("ServerBookmark");
    static inline const QString DefaultApplicationPath = QStringLiteral("cgi-bin/WebObjects/Lumaro.woa");

    // Field keys, also the property names.
    static inline const QString kBookmarkName = QStringLiteral("bookmarkName");
    static inline const QString kHostName = QStringLiteral("hostName");
    static inline const QString kUserName = QStringLiteral("userName");
    static inline const QString kPassword = QStringLiteral("password");
    static inline const QString kPortNumber = QStringLiteral("portNumber");
    static inline const QString kSecureConnect = QStringLiteral("secureConnect");
    static inline const QString kApplicationNameURL = QStringLiteral("applicationNameURL");
    static inline const QString kLastCategoryView = QStringLiteral("lastCategoryView");
    static inline const QString kLastCategoryID = QStringLiteral("lastCategoryID");
    static inline const QString kSessionWindowOpen = QStringLiteral("sessionWindowOpen");
    static inline const QString kLastConnectedDate = QStringLiteral("lastConnectedDate");
    // How long an upload batch keeps trying through failures, in minutes; 0: no retries.
    static inline const QString kRetryMinutes = QStringLiteral("retryMinutes");
    static constexpr int DefaultRetryMinutes = 30;
    // The bookmark's own lasting name, given once when it is made: its password's entry in the
    // desktop keyring is found by it, whatever the user renames the bookmark to.
    static inline const QString kUUID = QStringLiteral("uuid");
    // Nothing is kept: each session asks for the password.
    static inline const QString kAskForPassword = QStringLiteral("askForPassword");
    // SHA-256 fingerprint of the server certificate the user trusted for this bookmark.
    static inline const QString kTrustedCertificate = QStringLiteral("trustedCertificate");
    // The most a file's body may take of the line, in MB (1024 × 1024 bytes) a second, as the
    // window counts them; absent or 0: no limit.
    static inline const QString kUploadSpeedLimit = QStringLiteral("uploadSpeedLimit");
    // How many files of a batch go at once, each on a connection of its own; 1 unless set.
    static inline const QString kSimultaneousUploads = QStringLiteral("simultaneousUploads");
    static constexpr int MaxSimultaneousUploads = 8;

    // Every record object, new or loaded, is made here; the defaults pass runs right after.
    explicit ServerBookmark(ObjectContext *context, const QVariantMap &stored = {}, qint64 objectId = 0);

    void validateConnectionParameters();

    [[nodiscard]] QString urlString() const;
    [[nodiscard]] QString urlShortString() const;
    [[nodiscard]] QString bookmarkLongName() const;
    [[nodiscard]] qint64 retryMinutes() const { return value(kRetryMinutes).toLongLong(); }
    void setRetryMinutes(qint64 minutes) { setValue(kRetryMinutes, minutes); }
    // From 1 to MaxSimultaneousUploads, whatever the record holds.
    [[nodiscard]] int simultaneousUploads() const;
    void setSimultaneousUploads(int count) { setValue(kSimultaneousUploads, count); }
    // Which server this is for the import log's duplicate check: host (any case), port and
    // application path, but not the scheme or login, nor the bookmark's own name.
    [[nodiscard]] QString serverKey() const;

    [[nodiscard]] std::optional<QString> bookmarkName() const { return stringField(kBookmarkName); }
    [[nodiscard]] std::optional<QString> hostName() const { return stringField(kHostName); }
    [[nodiscard]] std::optional<QString> userName() const { return stringField(kUserName); }
    [[nodiscard]] std::optional<QString> password() const { return stringField(kPassword); }
    [[nodiscard]] std::optional<qint64> portNumber() const { return intField(kPortNumber); }
    [[nodiscard]] std::optional<bool> secureConnect() const;
    [[nodiscard]] std::optional<QString> applicationNameURL() const { return stringField(kApplicationNameURL); }
    [[nodiscard]] std::optional<QString> lastCategoryView() const { return stringField(kLastCategoryView); }
    [[nodiscard]] std::optional<qint64> lastCategoryID() const { return intField(kLastCategoryID); }
    [[nodiscard]] std::optional<bool> sessionWindowOpen() const;
    [[nodiscard]] QString uuid() const { return value(kUUID).toString(); }
    [[nodiscard]] bool askForPassword() const { return value(kAskForPassword).toBool(); }
    [[nodiscard]] QString trustedCertificate() const { return value(kTrustedCertificate).toString(); }
    // The speed limit in bytes a second; 0 for none.
    [[nodiscard]] qint64 uploadLimitBytesPerSecond() const;

    void setBookmarkName(const std::optional<QString> &v) { setOptional(kBookmarkName, v); }
    void setHostName(const std::optional<QString> &v) { setOptional(kHostName, v); }
    void setUserName(const std::optional<QString> &v) { setOptional(kUserName, v); }
    void setPassword(const std::optional<QString> &v) { setOptional(kPassword, v); }
    void setPortNumber(const std::optional<qint64> &v) { setOptional(kPortNumber, v); }
    void setSecureConnect(const std::optional<bool> &v) { setOptional(kSecureConnect, v); }
    void setApplicationNameURL(const std::optional<QString> &v) { setOptional(kApplicationNameURL, v); }
    void setLastCategoryView(const std::optional<QString> &v) { setOptional(kLastCategoryView, v); }
    void setLastCategoryID(const std::optional<qint64> &v) { setOptional(kLastCategoryID, v); }
    void setSessionWindowOpen(const std::optional<bool> &v) { setOptional(kSessionWindowOpen, v); }
    void setAskForPassword(bool ask) { setValue(kAskForPassword, ask); }
    void setTrustedCertificate(const QString &fingerprint) { setValue(kTrustedCertificate, fingerprint); }
    void setUploadSpeedLimit(double megabytesPerSecond) { setValue(kUploadSpeedLimit, megabytesPerSecond); }

    // The password the desktop keyring is known to hold for this bookmark (read from it or
    // confirmed written), or none. While the record's password equals it, the store file keeps
    // no copy.
    [[nodiscard]] const std::optional<QString> &keyringPassword() const { return m_keyringPassword; }
    void setKeyringPassword(const std::optional<QString> &password);
    // A password read from the keyring becomes the record's without counting as an edit.
    void adoptKeyringPassword(const QString &password);
    // Whether the password has to be read from the keyring: none in the record, none to ask for.
    [[nodiscard]] bool passwordIsInKeyring() const;

    [[nodiscard]] QVariantMap storedValues() const override;

    // Transient: the connection of the open session, never stored.
    [[nodiscard]] LMServerConnection *serverConnection() const;
    void setServerConnection(LMServerConnection *connection);

signals:
    void fieldChanged();

private:
    [[nodiscard]] std::optional<QString> stringField(const QString &key) const;
    [[nodiscard]] std::optional<qint64> intField(const QString &key) const;
    [[nodiscard]] QString scheme() const;
    template <typename T> void setOptional(const QString &key, const std::optional<T> &v)
    {
        setValue(key, v ? QVariant::fromValue(*v) : QVariant());
    }

    QVariant bookmarkNameValue() const { return value(kBookmarkName); }
    void setBookmarkNameValue(const QVariant &v) { setValue(kBookmarkName, v); }
    QVariant hostNameValue() const { return value(kHostName); }
    void setHostNameValue(const QVariant &v) { setValue(kHostName, v); }
    QVariant userNameValue() const { return value(kUserName); }
    void setUserNameValue(const QVariant &v) { setValue(kUserName, v); }
    QVariant passwordValue() const { return value(kPassword); }
    void setPasswordValue(const QVariant &v) { setValue(kPassword, v); }
    QVariant portNumberValue() const { return value(kPortNumber); }
    void setPortNumberValue(const QVariant &v) { setValue(kPortNumber, v); }
    QVariant secureConnectValue() const { return value(kSecureConnect); }
    void setSecureConnectValue(const QVariant &v) { setValue(kSecureConnect, v); }
    QVariant applicationNameURLValue() const { return value(kApplicationNameURL); }
    void setApplicationNameURLValue(const QVariant &v) { setValue(kApplicationNameURL, v); }
    QVariant lastCategoryViewValue() const { return value(kLastCategoryView); }
    void setLastCategoryViewValue(const QVariant &v) { setValue(kLastCategoryView, v); }
    QVariant lastCategoryIDValue() const { return value(kLastCategoryID); }
    void setLastCategoryIDValue(const QVariant &v) { setValue(kLastCategoryID, v); }
    QVariant sessionWindowOpenValue() const { return value(kSessionWindowOpen); }
    void setSessionWindowOpenValue(const QVariant &v) { setValue(kSessionWindowOpen, v); }
    QVariant askForPasswordValue() const { return value(kAskForPassword); }
    void setAskForPasswordValue(const QVariant &v) { setValue(kAskForPassword, v); }
    QVariant trustedCertificateValue() const { return value(kTrustedCertificate); }
    void setTrustedCertificateValue(const QVariant &v) { setValue(kTrustedCertificate, v); }
    QVariant lastConnectedDateValue() const { return value(kLastConnectedDate); }
    void setLastConnectedDateValue(const QVariant &v) { setValue(kLastConnectedDate, v); }

    QPointer<LMServerConnection> m_serverConnection;
    std::optional<QString> m_keyringPassword;
};
