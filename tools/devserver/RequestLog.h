#pragma once

#include "Exchange.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <mutex>
#include <string>

// Serialises JSON even when it carries client bytes that are not UTF-8
// (such bytes become U+FFFD instead of aborting the request).
std::string jsonText(const nlohmann::json &value);

// One JSON object per request in the --log file, plus a one-line summary on
// stderr. Each line is flushed as it is written so tests can read the file
// while the server runs; a reader only has to skip a final line without "\n".
//
// {"seq", "method", "path", "target", "resource", "rawQuery", "query",
//  "headers", "status", "startUs", "endUs", ["bodySize", "body", "fault", "savedFile", "note"]}
// startUs and endUs: when the handler took the request and when it was done with it, in
// microseconds since the server started, so tests can tell which requests overlapped.
class RequestLog {
public:
    // Empty path: stderr only. Throws std::runtime_error when the file cannot be opened.
    RequestLog(const std::string &path, bool quiet);

    // Microseconds since the log was made (the server's start), on a steady clock.
    long long nowUs() const;

    void record(const Exchange &ex, const httplib::Request &req, const httplib::Response &res);
    // A request cpp-httplib answered itself, before any handler saw it.
    void recordRejected(long long seq, const httplib::Request &req, const httplib::Response &res);

private:
    void write(const nlohmann::json &entry, const std::string &summary);

    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::ofstream file_;
    bool quiet_;
};
