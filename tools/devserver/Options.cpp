#include "Options.h"

#include <charconv>

#ifndef LUMARO_DEVSERVER_DEFAULT_TREE
#define LUMARO_DEVSERVER_DEFAULT_TREE ""
#endif

namespace {

bool parseInteger(const std::string &text, long long &out)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

std::optional<RootMode> parseRootMode(const std::string &text)
{
    if (text == "redirect")
        return RootMode::Redirect;
    if (text == "absolute")
        return RootMode::Absolute;
    if (text == "notfound")
        return RootMode::NotFound;
    if (text == "no-location")
        return RootMode::NoLocation;
    if (text == "ok")
        return RootMode::Ok;
    return std::nullopt;
}

} // namespace

std::string usageText(const std::string &program)
{
    return "Usage: " + program + R"( [OPTIONS]

Stand-in Lumaro asset server for tests, benchmarks and demos. Listens on
127.0.0.1 only and answers the Lumaro REST/JSON resources below the
application path.

Server:
  --port N               Port to listen on; 0 picks a free one (default 0).
  --app-path PATH        Application path without leading slash
                         (default cgi-bin/WebObjects/Lumaro.woa). Used verbatim:
                         a trailing "/" makes resources live under ".../woa//ra".
  --user NAME:PASSWORD   Accepted login, split at the first ":" (repeatable;
                         default admin:lumaro). UTF-8; any characters allowed.
  --tls CERT KEY         Serve HTTPS with the PEM certificate (chain) CERT and
                         the PEM private key KEY instead of plain HTTP.
  --quiet                No per-request summary on stderr.
  --help                 Show this text and exit.

Content:
  --tree FILE            Category tree JSON: {"categories":[{"id":1,"name":"A",
                         "type":7,"creationDate":"...","children":[...]}]}
                         (default: the bundled sample tree).
  --parent-cycle A,B     Categories A and B name each other as their only parent.
  --identity UID         LumaroUID in /ra/abouts.json (default 5c02ad91e7b311e6).
  --api-version V        RestAPIVersion in /ra/abouts.json (default 4).
  --category-types FILE  JSON array of {"id":int,"name":string} to serve from
                         /ra/categoryTypes.json.
  --no-folder-type       Leave the "Folder" type out of the category types.
  --short-records        The top-level list sends short records (no child list).
  --visible-children     Full records carry children under
                         "visibleChildCategoryStructures" instead of
                         "directChildCategoryStructuresSorted".
  --root MODE            Answer to GET "/": redirect (302 to /APP/, default),
                         absolute (302 to http://127.0.0.1:PORT/APP/),
                         notfound (404 page), no-location (302 without Location),
                         ok (200 page).

Uploads:
  --upload-dir DIR       Write each uploaded asset to DIR/<seq>-<file name>.
  --discard-bodies       Stream /ra/categoryAssets.json bodies away unparsed and
                         answer {"received": <bytes>}; for large benchmarks.

Diagnostics:
  --log FILE             Append one JSON object per request to FILE.
  --fault RULE           Misbehave on purpose (repeatable). RULE is
                           "METHOD RESOURCE[#N|%N]=ACTION"
                         METHOD is GET, POST, ... or "*". RESOURCE is the path
                         after the application path (e.g. /ra/categories/5.json),
                         "/" for the site root, or a full path starting with
                         "/" + app path. #N applies it to the N-th matching
                         request only (1-based), %N to every N-th (N, 2N, 3N
                         ...), otherwise to every one. A server that restarts
                         every 20th upload:
                           "POST /ra/categoryAssets.json%20=refuse:1000"
                         ACTION is one of:
                           status:CODE  answer CODE with a JSON error body
                           drop         send headers, then cut the connection
                           close        read the whole request, then close the
                                        connection without answering
                           close-after  handle the request as usual (a category
                                        or file is stored), then close the
                                        connection without answering
                           delay:MS     wait MS milliseconds, then answer normally
                           html         200 with an HTML page
                           garbage      200 with random non-JSON bytes
                           body:TEXT    200 application/json with exactly TEXT
                           retry-after:S[:CODE]
                                        answer CODE (default 503) with the
                                        header "Retry-After: S" (seconds)
                           refuse:MS    answer 503, then stop listening for at
                                        least MS milliseconds, as a server
                                        that restarts: open connections are
                                        closed, new ones refused

On start-up one line is printed to stdout:
  lumaro-devserver listening on http://127.0.0.1:PORT/APP (users: NAMES)
(https:// with --tls).
SIGTERM or SIGINT stops the server cleanly.
)";
}

ParseResult parseOptions(const std::vector<std::string> &args)
{
    ParseResult result;
    Options &o = result.options;
    bool usersGiven = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        // Every option except the flags takes exactly one value.
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                result.error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;

        if (arg == "--help" || arg == "-h") {
            result.showHelp = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--no-folder-type") {
            o.noFolderType = true;
        } else if (arg == "--short-records") {
            o.shortRecords = true;
        } else if (arg == "--visible-children") {
            o.visibleChildren = true;
        } else if (arg == "--discard-bodies") {
            o.discardBodies = true;
        } else if (arg == "--port") {
            if (!value(v))
                break;
            long long port = 0;
            if (!parseInteger(v, port) || port < 0 || port > 65535) {
                result.error = "--port: not a port number: " + v;
                break;
            }
            o.port = static_cast<int>(port);
        } else if (arg == "--app-path") {
            if (!value(o.appPath))
                break;
            if (o.appPath.empty()) {
                result.error = "--app-path must not be empty";
                break;
            }
        } else if (arg == "--user") {
            if (!value(v))
                break;
            const auto colon = v.find(':');
            if (colon == std::string::npos || colon == 0) {
                result.error = "--user expects NAME:PASSWORD, got: " + v;
                break;
            }
            if (!usersGiven)
                o.users.clear();
            usersGiven = true;
            o.users.push_back({v.substr(0, colon), v.substr(colon + 1)});
        } else if (arg == "--tree") {
            if (!value(o.treeFile))
                break;
        } else if (arg == "--parent-cycle") {
            if (!value(v))
                break;
            const auto comma = v.find(',');
            long long a = 0, b = 0;
            if (comma == std::string::npos || !parseInteger(v.substr(0, comma), a) ||
                !parseInteger(v.substr(comma + 1), b) || a == b) {
                result.error = "--parent-cycle expects two different ids A,B, got: " + v;
                break;
            }
            o.parentCycle = std::make_pair(a, b);
        } else if (arg == "--identity") {
            if (!value(o.identity))
                break;
        } else if (arg == "--api-version") {
            if (!value(o.apiVersion))
                break;
        } else if (arg == "--category-types") {
            if (!value(o.categoryTypesFile))
                break;
        } else if (arg == "--root") {
            if (!value(v))
                break;
            auto mode = parseRootMode(v);
            if (!mode) {
                result.error = "--root: unknown mode " + v;
                break;
            }
            o.root = *mode;
        } else if (arg == "--fault") {
            if (!value(v))
                break;
            o.faults.push_back(v);
        } else if (arg == "--upload-dir") {
            if (!value(o.uploadDir))
                break;
        } else if (arg == "--tls") {
            if (!value(o.tlsCert) || !value(o.tlsKey))
                break;
        } else if (arg == "--log") {
            if (!value(o.logFile))
                break;
        } else {
            result.error = "unknown option: " + arg;
            break;
        }
    }

    if (o.users.empty())
        o.users.push_back({"admin", "lumaro"});
    if (o.treeFile.empty())
        o.treeFile = LUMARO_DEVSERVER_DEFAULT_TREE;
    return result;
}
