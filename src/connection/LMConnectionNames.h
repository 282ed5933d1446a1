#pragma once

#include <QString>

// Notification names posted by LMServerConnection, and the user-info keys they carry.
namespace LMNotification {
inline const QString GotFullURL = QStringLiteral("LMServerConnectionGotFullURL");
inline const QString CheckedServer = QStringLiteral("LMServerConnectionCheckedServer");
inline const QString RetrievedCategoryTypes = QStringLiteral("LMServerConnectionRetrievedCategoryTypes");
inline const QString HasCategories = QStringLiteral("LMServerConnectionHasCategories");
inline const QString HasCategoryPathPart = QStringLiteral("LMServerConnectionHasCategoryPathPart");
inline const QString HasCategoryPath = QStringLiteral("LMServerConnectionHasCategoryPath");
inline const QString CreatedNewCategory = QStringLiteral("LMServerConnectionCreatedNewCategory");
// A creation the server refused or never answered; carries a readable "error".
inline const QString CreateCategoryFailed = QStringLiteral("LMServerConnectionCreateCategoryFailed");
inline const QString UploadingAsset = QStringLiteral("LMServerConnectionUploadingAsset");
inline const QString UploadedAsset = QStringLiteral("LMServerConnectionUploadedAsset");
// A file that did not go through: Error says why; MayHaveArrived is true when the whole body went
// out without an answer, so the record is kept as "may have arrived" and not sent again.
inline const QString UploadFailedAsset = QStringLiteral("LMServerConnectionUploadFailedAsset");
// The batch waits before it goes on: WaitKind says why (a file to send again, the server
// probed after failures in a row, the network away), RetryAt when (none while the network is
// away), Error the last failure's reason, Attempt the file's tries so far.
inline const QString UploadWaiting = QStringLiteral("LMServerConnectionUploadWaiting");
// An uploaded file whose record could not be saved at once (UploadedAsset carried NotRecorded)
// is now recorded.
inline const QString UploadRecorded = QStringLiteral("LMServerConnectionUploadRecorded");
inline const QString UploadDone = QStringLiteral("LMServerConnectionUploadDone");
inline const QString UploadProgress = QStringLiteral("LMServerConnectionUploadProgress");
// Before the first file of a batch whose files keep a folder structure: the categories it needs
// are being found or made. Carries CategoriesDone and CategoriesTotal.
inline const QString PreparingCategories = QStringLiteral("LMServerConnectionPreparingCategories");
// The server's certificate failed verification and is not the one trusted for the bookmark; the
// session's requests wait until answerCertificateQuestion(). Carries the Certificate keys.
inline const QString CertificateNeedsTrust = QStringLiteral("LMServerConnectionCertificateNeedsTrust");
} // namespace LMNotification

namespace LMUserInfoKey {
inline const QString AppURL = QStringLiteral("app URL");
inline const QString ServerCheck = QStringLiteral("server check");
inline const QString Error = QStringLiteral("error");
inline const QString ParentID = QStringLiteral("parent id");
inline const QString PathList = QStringLiteral("path list");
inline const QString HasError = QStringLiteral("has error");
inline const QString NewCategory = QStringLiteral("new category");
// Why a server check or category listing could not use its reply (the server's own words when
// it gave any); present only then.
inline const QString Failure = QStringLiteral("failure");
inline const QString FileName = QStringLiteral("file name");
// The category whose children could not be loaded.
inline const QString CategoryID = QStringLiteral("category id");
// Progress of the file in flight, in body bytes.
inline const QString BytesSent = QStringLiteral("bytes sent");
inline const QString BytesTotal = QStringLiteral("bytes total");
// PreparingCategories: categories settled so far, and how many the batch's tree has.
inline const QString CategoriesDone = QStringLiteral("categories done");
inline const QString CategoriesTotal = QStringLiteral("categories total");
// UploadFailedAsset: the file may be on the server (bool).
inline const QString MayHaveArrived = QStringLiteral("may have arrived");
// UploadingAsset, UploadedAsset, UploadFailedAsset: how many files of the batch are on their
// way once the file is (or is no longer) one of them.
inline const QString InFlight = QStringLiteral("in flight");
// UploadedAsset: why the upload could not be recorded yet; absent when it was.
inline const QString NotRecorded = QStringLiteral("not recorded");
// UploadDone: the batch stopped because the local store could not be written (bool).
inline const QString StoreFailure = QStringLiteral("store failure");
// UploadWaiting: "retry", "paused" or "offline"; when the batch goes on (UTC); the tries.
inline const QString WaitKind = QStringLiteral("wait kind");
inline const QString RetryAt = QStringLiteral("retry at");
inline const QString Attempt = QStringLiteral("attempt");
// CertificateNeedsTrust: "host:port", the problems in words, the certificate's subject, issuer,
// validity and SHA-256 fingerprint, and whether another certificate was trusted before.
inline const QString HostAndPort = QStringLiteral("host and port");
inline const QString Problems = QStringLiteral("problems");
inline const QString Subject = QStringLiteral("subject");
inline const QString Issuer = QStringLiteral("issuer");
inline const QString ValidFrom = QStringLiteral("valid from");
inline const QString ValidUntil = QStringLiteral("valid until");
inline const QString Fingerprint = QStringLiteral("fingerprint");
inline const QString Changed = QStringLiteral("changed");
} // namespace LMUserInfoKey

// Values of LMUserInfoKey::WaitKind.
namespace LMWaitKind {
inline const QString Retry = QStringLiteral("retry");
inline const QString Paused = QStringLiteral("paused");
inline const QString Offline = QStringLiteral("offline");
} // namespace LMWaitKind

// Keys of the transport error map carried under LMUserInfoKey::Error.
namespace LMErrorKey {
inline const QString Domain = QStringLiteral("domain");
inline const QString Code = QStringLiteral("code");
inline const QString Description = QStringLiteral("description");
} // namespace LMErrorKey

// Error domains of failures the connection itself decides.
namespace LMErrorDomain {
// The user did not trust the server's certificate.
inline const QString CertificateRefused = QStringLiteral("LMCertificateRefused");
// The reply was no usable answer (an HTTP error status, no JSON, another server).
inline const QString Reply = QStringLiteral("LMReply");
} // namespace LMErrorDomain
