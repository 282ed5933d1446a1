#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What GET "/" answers; the client's connection check has to cope with each.
enum class RootMode { Redirect, Absolute, NotFound, NoLocation, Ok };

struct User {
    std::string name;
    std::string password;
};

struct Options {
    int port = 0;
    std::string appPath = "cgi-bin/WebObjects/Lumaro.woa";
    std::vector<User> users;
    std::string treeFile;
    std::optional<std::pair<long long, long long>> parentCycle;
    std::string identity = "5c02ad91e7b311e6";
    std::string apiVersion = "4";
    bool noFolderType = false;
    std::string categoryTypesFile;
    bool shortRecords = false;
    bool visibleChildren = false;
    RootMode root = RootMode::Redirect;
    std::vector<std::string> faults;
    std::string uploadDir;
    bool discardBodies = false;
    std::string logFile;
    bool quiet = false;
    // Both set: serve HTTPS with this certificate chain and private key (PEM files).
    std::string tlsCert;
    std::string tlsKey;
};

struct ParseResult {
    Options options;
    bool showHelp = false;
    std::string error; // non-empty: bad command line
};

ParseResult parseOptions(const std::vector<std::string> &args);
std::string usageText(const std::string &program);
