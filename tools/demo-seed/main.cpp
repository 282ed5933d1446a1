// Puts a bookmark for a local dev server into the store under the current XDG data home,
// updating it when one with the same name is already there.
#include "store/ObjectContext.h"
#include "store/PersistentStore.h"
#include "store/ServerBookmark.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Seed a LumaroImporter store with a dev server bookmark."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("name"), QStringLiteral("Bookmark name."), QStringLiteral("name"),
                      QStringLiteral("Demo server")});
    parser.addOption({QStringLiteral("host"), QStringLiteral("Host."), QStringLiteral("host"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port."), QStringLiteral("port")});
    parser.addOption({QStringLiteral("user"), QStringLiteral("User name."), QStringLiteral("user"), QStringLiteral("admin")});
    parser.addOption({QStringLiteral("password"), QStringLiteral("Password."), QStringLiteral("password"),
                      QStringLiteral("lumaro")});
    parser.addOption({QStringLiteral("open-session"),
                      QStringLiteral("Mark the bookmark's session as open, so the application reopens it.")});
    parser.addOption({QStringLiteral("last-category"), QStringLiteral("Category id the session starts in."),
                      QStringLiteral("id")});
    parser.process(app);
    if (!parser.isSet(QStringLiteral("port"))) {
        std::fputs("lumaro-demo-seed: --port is required\n", stderr);
        return 2;
    }

    auto opened = PersistentStore::open(PersistentStore::applicationDocumentsDirectory());
    if (auto *error = std::get_if<StoreOpenError>(&opened)) {
        std::fprintf(stderr, "lumaro-demo-seed: %s %s\n", qPrintable(error->reason), qPrintable(error->underlying));
        return 1;
    }
    auto &context = std::get<std::unique_ptr<ObjectContext>>(opened);
    const QString name = parser.value(QStringLiteral("name"));
    ServerBookmark *bookmark = nullptr;
    for (ServerBookmark *candidate : context->fetchAllBookmarks()) {
        if (candidate->bookmarkName() == name)
            bookmark = candidate;
    }
    if (!bookmark) {
        bookmark = context->insertBookmark();
        bookmark->setBookmarkName(name);
    }
    bookmark->setHostName(parser.value(QStringLiteral("host")));
    bookmark->setSecureConnect(false);
    bookmark->setPortNumber(parser.value(QStringLiteral("port")).toLongLong());
    bookmark->setUserName(parser.value(QStringLiteral("user")));
    bookmark->setPassword(parser.value(QStringLiteral("password")));
    if (parser.isSet(QStringLiteral("open-session")))
        bookmark->setSessionWindowOpen(true);
    if (parser.isSet(QStringLiteral("last-category")))
        bookmark->setLastCategoryID(parser.value(QStringLiteral("last-category")).toLongLong());
    QString error;
    if (!context->save(&error)) {
        std::fprintf(stderr, "lumaro-demo-seed: could not save: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
