#include "CategoryTree.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace {

constexpr const char *kDefaultCreationDate = "2024-01-15T09:30:00Z";

json readJsonFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    try {
        return json::parse(in);
    } catch (const json::parse_error &e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

std::string lowerAscii(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

CategoryTree CategoryTree::loadFile(const std::string &path)
{
    try {
        return fromJson(readJsonFile(path));
    } catch (const json::exception &e) {
        throw std::runtime_error(path + ": " + e.what());
    } catch (const std::runtime_error &e) {
        const std::string what = e.what();
        throw std::runtime_error(what.rfind(path, 0) == 0 ? what : path + ": " + what);
    }
}

CategoryTree CategoryTree::fromJson(const json &document)
{
    if (!document.is_object() || !document.contains("categories") || !document["categories"].is_array())
        throw std::runtime_error("expected an object with a \"categories\" array");
    CategoryTree tree;
    for (const json &node : document["categories"])
        tree.addFromJson(node, 0);
    return tree;
}

void CategoryTree::addFromJson(const json &node, long long parent)
{
    if (!node.is_object() || !node.contains("id") || !node["id"].is_number_integer() ||
        !node.contains("name") || !node["name"].is_string())
        throw std::runtime_error("every category needs an integer \"id\" and a string \"name\": " +
                                 node.dump());
    Category c;
    c.id = node["id"].get<long long>();
    if (c.id <= 0 || contains(c.id))
        throw std::runtime_error("category id must be positive and unique: " + std::to_string(c.id));
    c.name = node["name"].get<std::string>();
    c.typeId = node.value("type", 7LL);
    c.creationDate = node.value("creationDate", std::string(kDefaultCreationDate));
    c.topLevel = parent == 0;
    if (parent != 0) {
        c.parents.push_back(parent);
        categories_.at(parent).children.push_back(c.id);
    } else {
        roots_.push_back(c.id);
    }
    const long long id = c.id;
    categories_.emplace(id, std::move(c));
    if (node.contains("children")) {
        if (!node["children"].is_array())
            throw std::runtime_error("\"children\" must be an array in category " + std::to_string(id));
        for (const json &child : node["children"])
            addFromJson(child, id);
    }
}

void CategoryTree::makeParentCycle(long long a, long long b)
{
    if (!contains(a) || !contains(b))
        throw std::runtime_error("--parent-cycle names an unknown category");
    Category &ca = categories_.at(a);
    Category &cb = categories_.at(b);
    // Neither may look like a place to stop climbing.
    ca.parents = {b};
    cb.parents = {a};
    ca.topLevel = false;
    cb.topLevel = false;
}

std::vector<long long> CategoryTree::sortedByName(std::vector<long long> ids) const
{
    std::stable_sort(ids.begin(), ids.end(), [this](long long l, long long r) {
        const Category &a = categories_.at(l);
        const Category &b = categories_.at(r);
        const std::string la = lowerAscii(a.name), lb = lowerAscii(b.name);
        if (la != lb)
            return la < lb;
        if (a.name != b.name)
            return a.name < b.name;
        return a.id < b.id;
    });
    return ids;
}

json CategoryTree::shortRecord(long long id) const
{
    const Category &c = categories_.at(id);
    json record = c.kept;
    record["id"] = c.id;
    record["name"] = c.name;
    record["isLeaf"] = c.children.empty();
    record["topLevel"] = c.topLevel;
    record["categoryType"] = {{"id", c.typeId}};
    record["creationDate"] = c.creationDate;
    json parents = json::array();
    for (long long p : c.parents) {
        const auto it = categories_.find(p);
        json parent = {{"id", p}};
        if (it != categories_.end())
            parent["name"] = it->second.name;
        parents.push_back(
            {{"directReferenceCount", 1}, {"inheritedReferenceCount", 0}, {"parentCategory", parent}});
    }
    record["parentCategoryStructures"] = parents;
    return record;
}

json CategoryTree::fullRecord(long long id, const std::string &childKey) const
{
    json record = shortRecord(id);
    json children = json::array();
    for (long long child : sortedByName(categories_.at(id).children))
        children.push_back({{"childCategory", shortRecord(child)}});
    record[childKey] = children;
    return record;
}

json CategoryTree::topLevelRecords(bool shortOnly, const std::string &childKey) const
{
    json list = json::array();
    for (long long id : sortedByName(roots_))
        list.push_back(shortOnly ? shortRecord(id) : fullRecord(id, childKey));
    return list;
}

long long CategoryTree::create(const std::string &name, long long typeId, const std::string &creationDate,
                               const std::vector<long long> &parents, const json &kept)
{
    const long long id = categories_.empty() ? 1 : categories_.rbegin()->first + 1;
    Category c;
    c.id = id;
    c.name = name;
    c.typeId = typeId;
    c.creationDate = creationDate;
    c.topLevel = parents.empty();
    c.parents = parents;
    c.kept = kept;
    for (long long p : parents)
        categories_.at(p).children.push_back(id);
    if (parents.empty())
        roots_.push_back(id);
    categories_.emplace(id, std::move(c));
    return id;
}

json defaultCategoryTypes(bool withFolder)
{
    json types = json::array();
    types.push_back({{"id", 3}, {"name", "Collection"}});
    if (withFolder)
        types.push_back({{"id", 7}, {"name", "Folder"}});
    types.push_back({{"id", 11}, {"name", "Album"}});
    return types;
}

json loadCategoryTypes(const std::string &path)
{
    json types = readJsonFile(path);
    if (!types.is_array())
        throw std::runtime_error(path + ": expected a JSON array of {\"id\",\"name\"}");
    for (const json &t : types)
        if (!t.is_object() || !t.contains("id") || !t["id"].is_number_integer() || !t.contains("name") ||
            !t["name"].is_string())
            throw std::runtime_error(path + ": every type needs an integer \"id\" and a string \"name\"");
    return types;
}
