#include "LumaroServer.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace {

constexpr const char *kLumaroVersion = "7.4.1-dev";
// Asset ids live in their own range so a client that confuses them with
// category or import-status ids is caught.
constexpr long long kFirstAssetId = 10001;

bool isReading(const std::string &method)
{
    return method == "GET" || method == "HEAD";
}

bool isCanonicalDecimal(const std::string &text)
{
    if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0'))
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string utcNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buffer;
}

// Parses a request body as a JSON object, whatever Content-Type it carried.
std::optional<nlohmann::json> bodyObject(const Exchange &ex, httplib::Response &res)
{
    nlohmann::json body = nlohmann::json::parse(ex.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        sendError(res, 400, "the body is not a JSON object");
        return std::nullopt;
    }
    return body;
}

std::optional<long long> integerField(const nlohmann::json &object, const char *key)
{
    if (!object.is_object() || !object.contains(key) || !object[key].is_number_integer())
        return std::nullopt;
    return object[key].get<long long>();
}

} // namespace

void LumaroServer::route(Exchange &ex, Response &res)
{
    if (!ex.pathError.empty())
        return sendError(res, 400, ex.pathError);
    if (ex.isRoot)
        return serveRoot(ex, res);
    if (!ex.underApp)
        return sendError(res, 404, "unknown resource " + ex.path);
    if (ex.isAppPage) {
        if (!isReading(ex.method))
            return sendError(res, 405, "method not allowed");
        return sendHtml(res, 200, "Lumaro",
                        "Lumaro dev server, REST API version " + options_.apiVersion + ".");
    }

    const std::string &r = ex.resource;
    static const std::string categoryPrefix = "/ra/categories/";
    const bool isCategory = r.size() > categoryPrefix.size() + 5 && r.rfind(categoryPrefix, 0) == 0 &&
                            r.compare(r.size() - 5, 5, ".json") == 0;
    const bool known = r == "/ra/abouts.json" || r == "/ra/categoryTypes.json" ||
                       r == "/ra/categories.json" || r == "/ra/assetImportStatus.json" ||
                       r == "/ra/categoryAssets.json" || isCategory;
    if (!known)
        return sendError(res, 404, "unknown resource " + r);

    if (r != "/ra/abouts.json") {
        if (auto failure = loginFailure(ex))
            return sendError(res, 401, *failure);
    }
    if (ex.multipart)
        return sendError(res, 400, "multipart bodies are not understood; send the JSON object as the body");

    const bool get = isReading(ex.method), post = ex.method == "POST";
    if (r == "/ra/abouts.json" && get)
        return getAbouts(res);
    if (r == "/ra/categoryTypes.json" && get)
        return getCategoryTypes(res);
    if (r == "/ra/categories.json" && get)
        return getTopLevelCategories(res);
    if (r == "/ra/categories.json" && post)
        return postCategory(ex, res);
    if (r == "/ra/assetImportStatus.json" && post)
        return postImportStatus(ex, res);
    if (r == "/ra/categoryAssets.json" && post)
        return postAsset(ex, res);
    if (isCategory && get)
        return getCategory(r.substr(categoryPrefix.size(), r.size() - categoryPrefix.size() - 5), res);
    sendError(res, 405, "method " + ex.method + " not allowed on " + r);
}

void LumaroServer::serveRoot(const Exchange &ex, Response &res) const
{
    if (ex.method != "GET" && ex.method != "HEAD")
        return sendError(res, 405, "method not allowed");
    const std::string appUrl = appPrefix_ + "/";
    switch (options_.root) {
    case RootMode::Redirect:
        sendHtml(res, 302, "Moved", "See " + appUrl);
        res.set_header("Location", appUrl);
        break;
    case RootMode::Absolute:
        sendHtml(res, 302, "Moved", "See " + appUrl);
        res.set_header("Location", std::string(options_.tlsCert.empty() ? "http" : "https") + "://127.0.0.1:" +
                                      std::to_string(port_) + appUrl);
        break;
    case RootMode::NoLocation:
        sendHtml(res, 302, "Moved", "Somewhere.");
        break;
    case RootMode::NotFound:
        sendHtml(res, 404, "Not Found", "Nothing here.");
        break;
    case RootMode::Ok:
        sendHtml(res, 200, "Welcome", "A web server, but no Lumaro at this address.");
        break;
    }
}

std::string LumaroServer::childKey() const
{
    return options_.visibleChildren ? "visibleChildCategoryStructures"
                                    : "directChildCategoryStructuresSorted";
}

void LumaroServer::getAbouts(Response &res) const
{
    sendJson(res, 200,
             {{"LumaroUID", options_.identity},
              {"RestAPIVersion", options_.apiVersion},
              {"LumaroVersion", kLumaroVersion},
              {"ServerName", "lumaro-devserver"}});
}

void LumaroServer::getCategoryTypes(Response &res)
{
    std::lock_guard lock(stateMutex_);
    sendJson(res, 200, categoryTypes_);
}

void LumaroServer::getTopLevelCategories(Response &res)
{
    std::lock_guard lock(stateMutex_);
    sendJson(res, 200, tree_.topLevelRecords(options_.shortRecords, childKey()));
}

void LumaroServer::getCategory(const std::string &idText, Response &res)
{
    std::lock_guard lock(stateMutex_);
    if (!isCanonicalDecimal(idText) || !tree_.contains(std::stoll(idText)))
        return sendError(res, 404, "no such category");
    sendJson(res, 200, tree_.fullRecord(std::stoll(idText), childKey()));
}

void LumaroServer::postCategory(const Exchange &ex, Response &res)
{
    auto body = bodyObject(ex, res);
    if (!body)
        return;
    if (!body->contains("name") || !(*body)["name"].is_string() || (*body)["name"].get<std::string>().empty())
        return sendError(res, 400, "\"name\" must be a non-empty string");
    const auto typeId =
        body->contains("categoryType") ? integerField((*body)["categoryType"], "id") : std::nullopt;
    if (!typeId)
        return sendError(res, 400, "\"categoryType\" must be an object with an integer \"id\"");

    std::lock_guard lock(stateMutex_);
    bool typeKnown = false;
    for (const auto &type : categoryTypes_)
        typeKnown = typeKnown || type.value("id", -1LL) == *typeId;
    if (!typeKnown)
        return sendError(res, 400, "unknown category type " + std::to_string(*typeId));

    std::vector<long long> parents;
    if (body->contains("parentCategoryStructures")) {
        const auto &structures = (*body)["parentCategoryStructures"];
        if (!structures.is_array())
            return sendError(res, 400, "\"parentCategoryStructures\" must be an array");
        for (const auto &structure : structures) {
            const auto parent = structure.is_object() && structure.contains("parentCategory")
                                    ? integerField(structure["parentCategory"], "id")
                                    : std::nullopt;
            if (!parent)
                return sendError(res, 400,
                                 "each parent structure needs \"parentCategory\": {\"id\": integer}");
            if (!tree_.contains(*parent))
                return sendError(res, 400, "no such parent category " + std::to_string(*parent));
            parents.push_back(*parent);
        }
    }

    const std::string creationDate = body->contains("creationDate") && (*body)["creationDate"].is_string()
                                         ? (*body)["creationDate"].get<std::string>()
                                         : utcNow();
    nlohmann::json kept = *body;
    for (const char *computed :
         {"id", "name", "isLeaf", "topLevel", "categoryType", "creationDate", "parentCategoryStructures",
          "directChildCategoryStructuresSorted", "visibleChildCategoryStructures"})
        kept.erase(computed);
    const long long id = tree_.create((*body)["name"], *typeId, creationDate, parents, kept);
    sendJson(res, 200, tree_.fullRecord(id, childKey()));
}

void LumaroServer::postImportStatus(const Exchange &ex, Response &res)
{
    auto body = bodyObject(ex, res);
    if (!body)
        return;
    if (!body->contains("name") || !(*body)["name"].is_string())
        return sendError(res, 400, "\"name\" must be a string");
    const auto count = integerField(*body, "count");
    if (!count || *count < 0)
        return sendError(res, 400, "\"count\" must be a non-negative integer");

    std::lock_guard lock(stateMutex_);
    const std::string id = std::to_string(nextImportStatus_++);
    importStatusIds_.insert(id);
    sendJson(res, 200, {{"id", id}, {"name", (*body)["name"]}, {"count", *count}});
}

void LumaroServer::postAsset(Exchange &ex, Response &res)
{
    if (ex.bodyDiscarded)
        return sendJson(res, 200, {{"received", ex.bodySize}});

    auto body = bodyObject(ex, res);
    if (!body)
        return;
    if (!body->contains("assetFileName") || !(*body)["assetFileName"].is_string() ||
        (*body)["assetFileName"].get<std::string>().empty())
        return sendError(res, 400, "\"assetFileName\" must be a non-empty string");
    if (!body->contains("assetData") || !(*body)["assetData"].is_string())
        return sendError(res, 400, "\"assetData\" must be a Base64 string");
    const auto categoryId =
        body->contains("category") ? integerField((*body)["category"], "id") : std::nullopt;
    if (!categoryId)
        return sendError(res, 400, "\"category\" must be an object with an integer \"id\"");
    if (!body->contains("importStatusID") || !(*body)["importStatusID"].is_string())
        return sendError(res, 400, "\"importStatusID\" must be a string");
    const std::string fileName = (*body)["assetFileName"];
    const std::string importStatusId = (*body)["importStatusID"];

    auto data = base64Decode((*body)["assetData"].get_ref<const std::string &>());
    if (!data)
        return sendError(res, 400, "\"assetData\" is not valid Base64");
    // Only the decoded bytes are needed from here on.
    body.reset();

    // A delayed request answers but never leaves a file; one closed after handling does.
    const bool save =
        !options_.uploadDir.empty() && (!ex.fault || ex.fault->kind == FaultAction::Kind::CloseAfter);
    long long assetNumber = 0, fileNumber = 0;
    {
        std::lock_guard lock(stateMutex_);
        if (!tree_.contains(*categoryId))
            return sendError(res, 400, "no such category " + std::to_string(*categoryId));
        if (importStatusIds_.count(importStatusId) == 0)
            return sendError(res, 400, "unknown importStatusID \"" + importStatusId + "\"");
        assetNumber = nextAsset_++;
        if (save)
            fileNumber = nextFile_++;
    }

    if (save) {
        const auto path = std::filesystem::path(options_.uploadDir) /
                          (std::to_string(fileNumber) + "-" + sanitiseFileName(fileName));
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(data->data(), static_cast<std::streamsize>(data->size()));
        out.close();
        if (!out)
            return sendError(res, 500, "cannot write " + path.string());
        ex.savedFile = path.string();
    }
    sendJson(res, 200,
             {{"id", kFirstAssetId + assetNumber - 1},
              {"assetFileName", fileName},
              {"category", {{"id", *categoryId}}},
              {"importStatusID", importStatusId},
              {"size", data->size()}});
}
