#include "LumaroServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <arpa/inet.h>
#include <dirent.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sys/socket.h>
#include <thread>

namespace {
// With a charset parameter cpp-httplib leaves replies uncompressed; compressing large
// category listings cost far more time than the loopback transfer it saves.
const char *const kJsonType = "application/json; charset=utf-8";


// Set by serve() so the transport-level logger can tell which requests never
// reached it (e.g. a request line cpp-httplib rejected) and log those itself.
thread_local bool tServed = false;

std::string garbageBytes(long long seed)
{
    std::mt19937 rng(static_cast<unsigned>(seed) * 2654435761u);
    std::string bytes(256, '\0');
    for (char &c : bytes)
        c = static_cast<char>(rng() & 0xFF);
    // A UTF-8 continuation byte can start neither JSON nor text.
    bytes[0] = static_cast<char>(0x80 | (rng() & 0x3F));
    return bytes;
}

// cpp-httplib keeps the connection's socket to itself: find it by its two ports and shut it,
// so the client sees the connection end with no answer at all, and the reply cpp-httplib then
// tries to write goes nowhere.
// Shuts each accepted connection on localPort that which() picks; returns how many.
template <typename Pick>
int shutConnections(int localPort, Pick which)
{
    DIR *fds = opendir("/proc/self/fd");
    if (!fds)
        return 0;
    int found = 0;
    while (const dirent *entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(fds))
            continue;
        sockaddr_in local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLength) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) != 0 || local.sin_family != AF_INET)
            continue;
        if (ntohs(local.sin_port) == localPort && which(int(ntohs(peer.sin_port)))) {
            shutdown(fd, SHUT_RDWR);
            ++found;
        }
    }
    closedir(fds);
    return found;
}

bool shutConnection(const httplib::Request &req)
{
    return shutConnections(req.local_port, [&req](int peerPort) { return peerPort == req.remote_port; }) > 0;
}

} // namespace

void sendJson(httplib::Response &res, int status, const nlohmann::json &body)
{
    res.status = status;
    res.set_content(jsonText(body), kJsonType);
}

void sendError(httplib::Response &res, int status, const std::string &message)
{
    sendJson(res, status, {{"error", message}});
}

void sendHtml(httplib::Response &res, int status, const std::string &title, const std::string &text)
{
    res.status = status;
    res.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                        "</title></head>\n<body><h1>" + title + "</h1><p>" + text + "</p></body></html>\n",
                    "text/html; charset=utf-8");
}

LumaroServer::LumaroServer(Options options, CategoryTree tree, nlohmann::json categoryTypes,
                           FaultRules faults, std::unique_ptr<RequestLog> log)
    : options_(std::move(options)), appPrefix_("/" + options_.appPath), tree_(std::move(tree)),
      categoryTypes_(std::move(categoryTypes)), faults_(std::move(faults)), log_(std::move(log))
{
    if (options_.tlsCert.empty()) {
        http_ = std::make_unique<httplib::Server>();
    } else {
        auto tls = std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
        if (!tls->is_valid())
            throw std::runtime_error("--tls: cannot use the certificate " + options_.tlsCert + " with the key " +
                                     options_.tlsKey);
        http_ = std::move(tls);
    }
    // Clients keep several keep-alive connections open, each holding a worker.
    http_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    http_->set_keep_alive_max_count(100);
    // cpp-httplib's default sets SO_REUSEPORT, which lets a second server bind
    // a busy port and silently share it; a taken port must fail instead.
    http_->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // Replies go out in several writes; without this each small reply waits for the
        // client's delayed acknowledgement.
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });

    const std::string any = R"([\s\S]*)";
    auto plain = [this](const Request &req, Response &res) { serve(req, res, nullptr); };
    // The content-reader variant keeps cpp-httplib from parsing form-labelled
    // bodies; the body is always read here, as JSON or streamed away.
    auto withBody = [this](const Request &req, Response &res, const httplib::ContentReader &reader) {
        serve(req, res, &reader);
    };
    http_->Get(any, plain);
    http_->Options(any, plain);
    http_->Post(any, withBody);
    http_->Put(any, withBody);
    http_->Patch(any, withBody);
    http_->Delete(any, withBody);
    http_->set_logger([this](const Request &req, const Response &res) {
        if (!tServed) {
            long long seq = 0;
            {
                std::lock_guard lock(stateMutex_);
                seq = nextSeq_++;
            }
            log_->recordRejected(seq, req, res);
        }
        tServed = false;
    });
}

LumaroServer::~LumaroServer() = default;

bool LumaroServer::bind(std::string &error)
{
    errno = 0;
    if (options_.port == 0) {
        port_ = http_->bind_to_any_port("127.0.0.1");
    } else {
        port_ = http_->bind_to_port("127.0.0.1", options_.port) ? options_.port : -1;
    }
    if (port_ <= 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options_.port) +
                (errno ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    return true;
}

void LumaroServer::run()
{
    for (;;) {
        http_->listen_after_bind();
        std::chrono::steady_clock::time_point until;
        {
            std::lock_guard lock(stopMutex_);
            if (stopping_ || !refusingUntil_)
                return;
            until = *refusingUntil_;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() > 0)
            sleepUnlessStopping(long(left.count()));
        std::lock_guard lock(stopMutex_);
        refusingUntil_.reset();
        if (stopping_)
            return;
        // Back on the same port; SO_REUSEADDR lets it past the connections just closed.
        if (!http_->bind_to_port("127.0.0.1", port_)) {
            std::fprintf(stderr, "lumaro-devserver: cannot listen on 127.0.0.1:%d again: %s\n", port_,
                         std::strerror(errno));
            return;
        }
    }
}

void LumaroServer::refuseFor(const Request &req, long milliseconds)
{
    {
        std::lock_guard lock(stopMutex_);
        if (stopping_ || refusingUntil_)
            return;
        refusingUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    }
    // No listening socket: the kernel refuses every new connection. Idle keep-alive connections
    // would otherwise take one more request and close on it unanswered; this request's own
    // connection closes once its answer is out.
    http_->stop();
    shutConnections(req.local_port, [&req](int peerPort) { return peerPort != req.remote_port; });
}

void LumaroServer::stop()
{
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    http_->stop();
}

bool LumaroServer::waitUntilIdle(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (inFlight_.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void LumaroServer::sleepUnlessStopping(long milliseconds)
{
    std::unique_lock lock(stopMutex_);
    stopSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_; });
}

void LumaroServer::serve(const Request &req, Response &res, const httplib::ContentReader *reader)
{
    tServed = true;
    ++inFlight_;
    struct Leave {
        std::atomic<int> &count;
        ~Leave() { --count; }
    } leave{inFlight_};
    Exchange ex;
    ex.startUs = log_->nowUs();
    ex.method = req.method;
    ex.target = req.target;
    classify(ex);
    {
        std::lock_guard lock(stateMutex_);
        ex.seq = nextSeq_++;
        if (ex.pathError.empty())
            ex.fault = faults_.take({ex.method, ex.path, ex.resource, ex.underApp, ex.isAppPage});
    }
    try {
        readBody(ex, req, reader);
        if (ex.fault && ex.fault->kind == FaultAction::Kind::Close) {
            ex.note = shutConnection(req) ? "closed without answering" : "connection to close not found";
            sendError(res, 500, "this answer was never meant to arrive");
        } else if (ex.fault && ex.fault->kind == FaultAction::Kind::CloseAfter) {
            // Done as asked (a category or file is stored), yet the client never hears so.
            route(ex, res);
            ex.note = shutConnection(req) ? "handled, then closed without answering"
                                          : "connection to close not found";
        } else if (ex.fault && ex.fault->kind == FaultAction::Kind::Refuse) {
            sendError(res, 503, "restarting: connections are refused for " + std::to_string(ex.fault->delayMs) +
                                    " ms");
            refuseFor(req, ex.fault->delayMs);
            ex.note = "refusing connections for " + std::to_string(ex.fault->delayMs) + " ms";
        } else if (ex.fault && ex.fault->kind == FaultAction::Kind::Delay) {
            sleepUnlessStopping(ex.fault->delayMs);
            route(ex, res);
        } else if (ex.fault) {
            answerFault(ex, res);
        } else {
            route(ex, res);
        }
    } catch (const std::exception &e) {
        sendError(res, 500, std::string("internal error: ") + e.what());
    }
    log_->record(ex, req, res);
}

void LumaroServer::classify(Exchange &ex) const
{
    const auto question = ex.target.find('?');
    const std::string rawPath = ex.target.substr(0, question);
    ex.rawQuery = question == std::string::npos ? std::string() : ex.target.substr(question + 1);
    ex.query = parseQuery(ex.rawQuery);

    const auto decoded = percentDecode(rawPath, false);
    if (!decoded || rawPath.find("%2F") != std::string::npos || rawPath.find("%2f") != std::string::npos) {
        // An encoded "/" would be indistinguishable from a real one once decoded.
        ex.pathError = decoded ? "encoded \"/\" in the path" : "malformed percent-encoding in the path";
        ex.path = rawPath;
        return;
    }
    ex.path = *decoded;
    if (ex.path == "/") {
        ex.isRoot = true;
        ex.resource = "/";
        return;
    }
    // The application path is matched verbatim: no slash folding, so a client
    // that builds ".../woa//ra" from a trailing slash is served only if the
    // server was configured with that trailing slash as well.
    const size_t n = appPrefix_.size();
    if (ex.path.compare(0, n, appPrefix_) != 0)
        return;
    if (ex.path.size() == n || ex.path == appPrefix_ + "/") {
        ex.underApp = ex.isAppPage = true;
        ex.resource = ex.path.substr(n);
    } else if (ex.path[n] == '/') {
        ex.underApp = true;
        ex.resource = ex.path.substr(n);
    }
}

void LumaroServer::readBody(Exchange &ex, const Request &req, const httplib::ContentReader *reader) const
{
    if (!reader)
        return;
    ex.hasBody = true;
    bool complete = true;
    if (req.is_multipart_form_data()) {
        // Not part of the protocol; drain it so the connection stays usable.
        ex.multipart = true;
        complete = (*reader)([](const httplib::MultipartFormData &) { return true; },
                             [&ex](const char *, size_t n) {
                                 ex.bodySize += n;
                                 return true;
                             });
    } else if (options_.discardBodies && ex.method == "POST" && ex.underApp &&
               ex.resource == "/ra/categoryAssets.json") {
        // Benchmark mode: never hold the body, however large.
        ex.bodyDiscarded = true;
        complete = (*reader)([&ex](const char *, size_t n) {
            ex.bodySize += n;
            return true;
        });
    } else {
        complete = (*reader)([&ex](const char *data, size_t n) {
            ex.body.append(data, n);
            return true;
        });
        ex.bodySize = ex.body.size();
    }
    if (!complete)
        ex.note = "body incomplete";
}

void LumaroServer::answerFault(Exchange &ex, Response &res)
{
    const FaultAction &action = *ex.fault;
    switch (action.kind) {
    case FaultAction::Kind::Status:
        sendError(res, action.status, "injected fault: status " + std::to_string(action.status));
        break;
    case FaultAction::Kind::Drop: {
        // Promise a body, send part of it, then fail: the client sees a
        // response cut short instead of a clean error status.
        static const std::string partial = "{\"error\": \"the connection was dro";
        res.status = 200;
        res.set_content_provider(partial.size() * 4, kJsonType,
                                 [](size_t offset, size_t, httplib::DataSink &sink) {
                                     if (offset == 0)
                                         sink.write(partial.data(), partial.size());
                                     return false;
                                 });
        break;
    }
    case FaultAction::Kind::Html:
        sendHtml(res, 200, "Lumaro", "This is an HTML page where JSON was expected.");
        break;
    case FaultAction::Kind::Garbage:
        res.status = 200;
        res.set_content(garbageBytes(ex.seq), kJsonType);
        break;
    case FaultAction::Kind::Body:
        res.status = 200;
        res.set_content(action.text, kJsonType);
        break;
    case FaultAction::Kind::RetryAfter:
        sendError(res, action.status, "injected fault: status " + std::to_string(action.status) + ", retry after " +
                                          std::to_string(action.seconds) + " s");
        res.set_header("Retry-After", std::to_string(action.seconds));
        break;
    case FaultAction::Kind::Refuse:
    case FaultAction::Kind::Delay:
    case FaultAction::Kind::Close:
    case FaultAction::Kind::CloseAfter:
        break; // handled by serve()
    }
}

std::optional<std::string> LumaroServer::loginFailure(const Exchange &ex) const
{
    if (!ex.query)
        return "malformed percent-encoding in the query";
    const std::string *login = nullptr, *password = nullptr, *role = nullptr;
    for (const auto &[name, value] : *ex.query) {
        const std::string **slot = name == "loginName"  ? &login
                                   : name == "password" ? &password
                                   : name == "roleName" ? &role
                                                        : nullptr;
        if (!slot)
            continue;
        if (*slot)
            return "query parameter " + name + " given more than once";
        *slot = &value;
    }
    if (!login || !password || !role)
        return "login required: the query needs loginName, password and roleName";
    if (*role != "CategoryAdmin")
        return "roleName must be CategoryAdmin";
    for (const User &user : options_.users)
        if (user.name == *login && user.password == *password)
            return std::nullopt;
    return "unknown loginName or wrong password";
}
