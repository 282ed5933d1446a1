#pragma once

#include "Codecs.h"
#include "FaultRules.h"

#include <cstddef>
#include <optional>
#include <string>

// Everything known about one request while it is served, and later logged.
struct Exchange {
    long long seq = 0;
    std::string method;
    std::string target; // request target as received
    std::string path;   // decoded path, without the query
    std::string rawQuery;
    std::string pathError; // set when the path itself cannot be served
    bool isRoot = false;
    bool underApp = false;
    bool isAppPage = false;
    std::string resource; // after the application path; "/" for the site root
    std::optional<QueryItems> query;
    std::string body;
    size_t bodySize = 0;
    bool hasBody = false;
    bool bodyDiscarded = false;
    bool multipart = false;
    std::optional<FaultAction> fault;
    std::string savedFile;
    std::string note; // short human detail for the summary line
    // When the handler took the request (its header read), in microseconds of the server's clock.
    long long startUs = 0;
};
