#include "RequestLog.h"

#include <cstdio>
#include <stdexcept>

namespace {

// Bodies at least this large are counted in the log but not copied into it.
constexpr size_t kMaxLoggedBody = 1024 * 1024;

bool isPseudoHeader(const std::string &name)
{
    // cpp-httplib adds these to every request; no client sent them.
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT";
}

nlohmann::json headersJson(const httplib::Headers &headers)
{
    nlohmann::json out = nlohmann::json::object();
    for (const auto &[name, value] : headers) {
        if (isPseudoHeader(name))
            continue;
        if (out.contains(name))
            out[name] = out[name].get<std::string>() + ", " + value;
        else
            out[name] = value;
    }
    return out;
}

nlohmann::json queryJson(const QueryItems &items)
{
    nlohmann::json out = nlohmann::json::object();
    for (const auto &[name, value] : items) {
        if (!out.contains(name))
            out[name] = value;
        else if (out[name].is_array())
            out[name].push_back(value);
        else
            out[name] = nlohmann::json::array({out[name], value}); // repeated: keep every value
    }
    return out;
}

} // namespace

std::string jsonText(const nlohmann::json &value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

RequestLog::RequestLog(const std::string &path, bool quiet) : quiet_(quiet)
{
    if (path.empty())
        return;
    file_.open(path, std::ios::binary | std::ios::app);
    if (!file_)
        throw std::runtime_error("cannot open log file " + path);
}

long long RequestLog::nowUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started_)
        .count();
}

void RequestLog::record(const Exchange &ex, const httplib::Request &req, const httplib::Response &res)
{
    nlohmann::json e = {
        {"seq", ex.seq},
        {"method", ex.method},
        {"path", ex.path},
        {"target", ex.target},
        {"resource", ex.isRoot || ex.underApp ? nlohmann::json(ex.resource) : nlohmann::json()},
        {"rawQuery", ex.rawQuery},
        {"query", ex.query ? queryJson(*ex.query) : nlohmann::json()},
        {"headers", headersJson(req.headers)},
        {"clientPort", req.remote_port}, // tells which requests shared a connection
        {"status", res.status},
        {"startUs", ex.startUs},
        {"endUs", nowUs()}};
    if (ex.hasBody) {
        e["bodySize"] = ex.bodySize;
        if (!ex.bodyDiscarded && !ex.multipart && ex.bodySize < kMaxLoggedBody)
            e["body"] = ex.body;
    }
    if (ex.fault)
        e["fault"] = ex.fault->written;
    if (!ex.savedFile.empty())
        e["savedFile"] = ex.savedFile;
    if (!ex.note.empty())
        e["note"] = ex.note;

    std::string summary = "lumaro-devserver: #" + std::to_string(ex.seq) + " " + ex.method + " " +
                          (ex.underApp ? ex.resource : ex.path) + " -> " + std::to_string(res.status);
    if (ex.hasBody)
        summary += " (" + std::to_string(ex.bodySize) + " bytes in)";
    if (ex.fault)
        summary += " [fault " + ex.fault->written + "]";
    if (!ex.savedFile.empty())
        summary += " saved " + ex.savedFile;
    if (!ex.note.empty())
        summary += " (" + ex.note + ")";
    write(e, summary);
}

void RequestLog::recordRejected(long long seq, const httplib::Request &req, const httplib::Response &res)
{
    const auto question = req.target.find('?');
    const std::string rawQuery = question == std::string::npos ? "" : req.target.substr(question + 1);
    const nlohmann::json e = {{"seq", seq},           {"method", req.method},
                              {"path", req.path},     {"target", req.target},
                              {"resource", nullptr},  {"rawQuery", rawQuery},
                              {"query", nullptr},     {"headers", headersJson(req.headers)},
                              {"status", res.status}, {"note", "rejected by the HTTP layer"}};
    write(e, "lumaro-devserver: #" + std::to_string(seq) + " " + req.method + " " + req.target + " -> " +
                 std::to_string(res.status) + " (rejected by the HTTP layer)");
}

void RequestLog::write(const nlohmann::json &entry, const std::string &summary)
{
    const std::string line = jsonText(entry) + "\n";
    std::lock_guard lock(mutex_);
    if (file_.is_open()) {
        file_.write(line.data(), static_cast<std::streamsize>(line.size()));
        file_.flush();
    }
    if (!quiet_) {
        std::fprintf(stderr, "%s\n", summary.c_str());
        std::fflush(stderr);
    }
}
