#pragma once

#include "CategoryTree.h"
#include "Exchange.h"
#include "FaultRules.h"
#include "Options.h"
#include "RequestLog.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class LumaroServer {
public:
    LumaroServer(Options options, CategoryTree tree, nlohmann::json categoryTypes, FaultRules faults,
                 std::unique_ptr<RequestLog> log);
    ~LumaroServer();

    // Binds 127.0.0.1 on the configured port (0: any free one).
    bool bind(std::string &error);
    int port() const { return port_; }
    // Serves until stop() is called from another thread.
    void run();
    void stop();
    // After stop(): waits for requests still being handled, not for idle
    // keep-alive connections. False when some are still busy at the deadline.
    bool waitUntilIdle(std::chrono::milliseconds timeout);

private:
    using Request = httplib::Request;
    using Response = httplib::Response;

    // LumaroServer.cpp: the request pipeline.
    void serve(const Request &req, Response &res, const httplib::ContentReader *reader);
    void classify(Exchange &ex) const;
    void readBody(Exchange &ex, const Request &req, const httplib::ContentReader *reader) const;
    void answerFault(Exchange &ex, Response &res);
    void route(Exchange &ex, Response &res);
    void serveRoot(const Exchange &ex, Response &res) const;
    std::optional<std::string> loginFailure(const Exchange &ex) const;
    void sleepUnlessStopping(long milliseconds);
    // Stops listening for that long (run() listens again after), closing every open connection
    // but the request's own.
    void refuseFor(const Request &req, long milliseconds);

    // ResourceHandlers.cpp: one handler per Lumaro resource.
    void getAbouts(Response &res) const;
    void getCategoryTypes(Response &res);
    void getTopLevelCategories(Response &res);
    void getCategory(const std::string &idText, Response &res);
    void postCategory(const Exchange &ex, Response &res);
    void postImportStatus(const Exchange &ex, Response &res);
    void postAsset(Exchange &ex, Response &res);
    std::string childKey() const;

    Options options_;
    std::string appPrefix_; // "/" + application path, verbatim
    std::unique_ptr<httplib::Server> http_; // an SSLServer with --tls
    int port_ = 0;

    std::mutex stateMutex_; // guards everything below up to log_
    CategoryTree tree_;
    nlohmann::json categoryTypes_;
    FaultRules faults_;
    long long nextSeq_ = 1;
    long long nextImportStatus_ = 1;
    long long nextAsset_ = 1;
    long long nextFile_ = 1;
    std::set<std::string> importStatusIds_;

    std::unique_ptr<RequestLog> log_;

    std::atomic<int> inFlight_{0};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::optional<std::chrono::steady_clock::time_point> refusingUntil_;
};

// Response helpers shared by the pipeline and the resource handlers.
void sendJson(httplib::Response &res, int status, const nlohmann::json &body);
void sendError(httplib::Response &res, int status, const std::string &message);
void sendHtml(httplib::Response &res, int status, const std::string &title, const std::string &text);
