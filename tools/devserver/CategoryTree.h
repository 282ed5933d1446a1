#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

using nlohmann::json;

struct Category {
    long long id = 0;
    std::string name;
    long long typeId = 7;
    std::string creationDate;
    bool topLevel = false;
    std::vector<long long> parents;
    std::vector<long long> children;
    json kept = json::object(); // fields a client sent on creation, echoed back verbatim
};

// The server's category tree. Not thread-safe: the caller holds the state lock.
class CategoryTree {
public:
    // Reads {"categories":[{"id":1,"name":"A","type":7,"creationDate":"...",
    // "children":[...]}]}. Throws std::runtime_error with a readable reason.
    static CategoryTree loadFile(const std::string &path);
    static CategoryTree fromJson(const json &document);

    // Makes a and b each other's only parent, so climbing parents never ends.
    void makeParentCycle(long long a, long long b);

    bool contains(long long id) const { return categories_.count(id) != 0; }
    size_t size() const { return categories_.size(); }

    json shortRecord(long long id) const;
    // childKey is "directChildCategoryStructuresSorted" or "visibleChildCategoryStructures".
    json fullRecord(long long id, const std::string &childKey) const;
    json topLevelRecords(bool shortOnly, const std::string &childKey) const;

    // Adds a category below the given parents (top level when empty) and returns its id.
    long long create(const std::string &name, long long typeId, const std::string &creationDate,
                     const std::vector<long long> &parents, const json &kept);

private:
    void addFromJson(const json &node, long long parent);
    std::vector<long long> sortedByName(std::vector<long long> ids) const;

    std::map<long long, Category> categories_;
    std::vector<long long> roots_;
};

// Category types served by /ra/categoryTypes.json: the built-in list, or a
// JSON array of {"id":int,"name":string} from file. Throws std::runtime_error.
json defaultCategoryTypes(bool withFolder);
json loadCategoryTypes(const std::string &path);
