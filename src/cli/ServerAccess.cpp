#include "ServerAccess.h"

#include "connection/LMServerConnection.h"
#include "store/BookmarkPasswords.h"
#include "store/ObjectContext.h"
#include "store/SecretStore.h"
#include "store/ServerBookmark.h"
#include "store/StoreFile.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <iostream>
#include <string>

namespace ServerAccess {

namespace {

// What the desktop's keyring (or, for a store not yet moved there, the store file) keeps for the
// bookmark; nothing when the bookmark asks each time or no keyring answers. A keyring that waits
// for someone to unlock it is given as long as a request.
std::variant<std::optional<QString>, Failure> keptPassword(ServerBookmark *copy, int limitMs)
{
    SecretStore secrets;
    BookmarkPasswords passwords(copy->managedObjectContext(), &secrets);
    std::optional<QString> kept;
    bool answered = false;
    QEventLoop loop;
    QObject receiver;
    passwords.passwordFor(
        copy, &receiver,
        [&](const BookmarkPasswords::Answer &answer) {
            if (!answer.mustAsk && answer.password && !answer.password->isEmpty())
                kept = answer.password;
            answered = true;
            loop.quit();
        },
        false);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!answered)
        return Failure{ExitUnusable, QStringLiteral("the desktop keyring did not give the bookmark's password within %1 "
                                                    "seconds (is it locked?); use --password-stdin or LUMARO_PASSWORD")
                                         .arg(limitMs / 1000)};
    return kept;
}

// The one place the password comes from: standard input, then the environment (given for this
// run), then what the bookmark keeps. Never an argument: other users can read those in the process
// list. source says which, for a refused login.
std::variant<QString, Failure> obtainPassword(ServerBookmark *copy, const CliOptions &options, QString *source)
{
    if (options.passwordStdin) {
        std::string line;
        if (!std::getline(std::cin, line))
            return Failure{ExitUsage, QStringLiteral("--password-stdin: nothing to read on standard input")};
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        *source = QStringLiteral("the password from standard input");
        return QString::fromStdString(line);
    }
    if (qEnvironmentVariableIsSet("LUMARO_PASSWORD")) {
        *source = QStringLiteral("the password from LUMARO_PASSWORD");
        return qEnvironmentVariable("LUMARO_PASSWORD");
    }
    if (copy) {
        auto kept = keptPassword(copy, options.timeoutMs.value_or(LMServerConnection::Timeouts{}.idleMs));
        if (auto *failure = std::get_if<Failure>(&kept))
            return *failure;
        if (const auto &password = std::get<std::optional<QString>>(kept)) {
            *source = QStringLiteral("the password stored in the bookmark");
            return *password;
        }
    }
    return Failure{ExitUsage, QStringLiteral("no password: %1; use --password-stdin or set LUMARO_PASSWORD")
                                  .arg(copy ? QStringLiteral("the bookmark keeps none")
                                              : QStringLiteral("a server from --url needs one"))};
}

std::variant<ServerBookmark *, Failure> fromUrl(ObjectContext *memory, const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || url.userName().isEmpty() || url.hasQuery() || url.hasFragment()) {
        return Failure{ExitUsage, QStringLiteral("--url takes http[s]://USER@HOST[:PORT][/APP-PATH], not \"%1\"").arg(text)};
    }
    if (!url.password().isEmpty()) {
        return Failure{ExitUsage, QStringLiteral("--url must not carry a password (other users can read arguments); "
                                                 "use --password-stdin or LUMARO_PASSWORD")};
    }
    ServerBookmark *bookmark = memory->insertBookmark();
    // A bookmark keeps an IPv6 address in its brackets, as it is typed into the window.
    const QString host =
        url.host().contains(QLatin1Char(':')) ? QLatin1Char('[') + url.host() + QLatin1Char(']') : url.host();
    bookmark->setBookmarkName(host);
    bookmark->setHostName(host);
    bookmark->setSecureConnect(scheme == QLatin1String("https"));
    bookmark->setPortNumber(url.port(scheme == QLatin1String("https") ? 443 : 80));
    QString path = url.path();
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.isEmpty())
        bookmark->setApplicationNameURL(path);
    bookmark->setUserName(url.userName());
    return bookmark;
}

} // namespace

std::variant<std::unique_ptr<ObjectContext>, Failure> openStore(PersistentStore::Contents contents)
{
    auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory(), contents);
    if (auto *error = std::get_if<StoreOpenError>(&opened)) {
        QString message = QStringLiteral("cannot open the store: ") + error->reason;
        if (!error->underlying.isEmpty() && error->underlying != error->reason)
            message += QStringLiteral(" (") + error->underlying + QLatin1Char(')');
        return Failure{ExitUnusable, message};
    }
    return std::move(std::get<std::unique_ptr<ObjectContext>>(opened));
}

std::variant<ServerBookmark *, Failure> findBookmark(ObjectContext *store, const QString &name)
{
    QList<ServerBookmark *> matches;
    QStringList names;
    for (ServerBookmark *bookmark : store->fetchAllBookmarks()) {
        names << QLatin1Char('"') + bookmark->bookmarkLongName() + QLatin1Char('"');
        if (bookmark->bookmarkLongName() == name)
            matches << bookmark;
    }
    if (matches.size() == 1)
        return matches.constFirst();
    if (matches.size() > 1)
        return Failure{ExitUsage, QStringLiteral("%1 bookmarks are named \"%2\"; rename one in LumaroImporter")
                                      .arg(matches.size())
                                      .arg(name)};
    return Failure{ExitUsage, QStringLiteral("no bookmark named \"%1\"; there are: %2")
                                  .arg(name, names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")))};
}

std::variant<ServerBookmark *, Failure> connectionBookmark(ObjectContext *memory, const CliOptions &options,
                                                           const ServerBookmark *stored, QString *passwordSource)
{
    ServerBookmark *bookmark = nullptr;
    if (stored) {
        bookmark = memory->insertBookmark();
        for (auto it = stored->values().cbegin(); it != stored->values().cend(); ++it)
            bookmark->setValue(it.key(), it.value());
    } else {
        auto made = fromUrl(memory, options.url);
        if (auto *failure = std::get_if<Failure>(&made))
            return *failure;
        bookmark = std::get<ServerBookmark *>(made);
    }
    // The copy is never saved, so the pin holds for this run only; the connection checks it as
    // it checks one set in the window.
    if (!options.trustCertificate.isEmpty())
        bookmark->setTrustedCertificate(options.trustCertificate);
    auto password = obtainPassword(stored ? bookmark : nullptr, options, passwordSource);
    if (auto *failure = std::get_if<Failure>(&password))
        return *failure;
    bookmark->setPassword(std::get<QString>(password));
    return bookmark;
}

void configure(LMServerConnection *connection, const CliOptions &options)
{
    if (options.timeoutMs) {
        LMServerConnection::Timeouts timeouts = connection->timeouts();
        timeouts.idleMs = *options.timeoutMs;
        connection->setTimeouts(timeouts);
    }
    if (options.limitRate)
        connection->setUploadRateLimit(*options.limitRate);
    if (options.parallel)
        connection->setSimultaneousUploads(*options.parallel);
}

} // namespace ServerAccess
