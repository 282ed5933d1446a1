#pragma once

#include "CliOptions.h"
#include "store/PersistentStore.h"

#include <memory>
#include <variant>

class LMServerConnection;
class ObjectContext;
class ServerBookmark;

// How the command line reaches the store and a server.
namespace ServerAccess {

[[nodiscard]] std::variant<std::unique_ptr<ObjectContext>, Failure> openStore(PersistentStore::Contents contents);

// The bookmark of that name; a failure lists the names there are.
[[nodiscard]] std::variant<ServerBookmark *, Failure> findBookmark(ObjectContext *store, const QString &name);

// The bookmark the connection talks through: a copy of the stored one, or one made from --url,
// kept in a context without a file, so neither the password found for it, nor a certificate
// trusted with --trust-certificate, nor an ad-hoc server can ever be saved into the store.
// passwordSource names where the password came from ("the password from standard input").
[[nodiscard]] std::variant<ServerBookmark *, Failure> connectionBookmark(ObjectContext *memory,
                                                                          const CliOptions &options,
                                                                          const ServerBookmark *stored,
                                                                          QString *passwordSource);

// The run's own limits: --timeout for every wait without progress, --limit-rate for the files.
void configure(LMServerConnection *connection, const CliOptions &options);

} // namespace ServerAccess
