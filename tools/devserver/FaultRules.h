#pragma once

#include <optional>
#include <string>
#include <vector>

struct FaultAction {
    enum class Kind { Status, Drop, Close, CloseAfter, Delay, Html, Garbage, Body, RetryAfter, Refuse };
    Kind kind = Kind::Status;
    int status = 0;      // Kind::Status, Kind::RetryAfter
    long delayMs = 0;    // Kind::Delay, Kind::Refuse
    long seconds = 0;    // Kind::RetryAfter
    std::string text;    // Kind::Body
    std::string written; // the action as given on the command line, for the log
};

// Where a request is aimed, as faults see it.
struct FaultTarget {
    std::string method;
    std::string fullPath; // decoded path as requested
    std::string resource; // path after the application path, "/" for the site root
    bool underApp = false;
    bool isAppPage = false; // "/APP" or "/APP/": only a full-path rule matches it
};

// The --fault rules, "METHOD RESOURCE[#N|%N]=ACTION". Not thread-safe: the
// caller holds the state lock, since each rule counts the requests it sees.
class FaultRules {
public:
    // Throws std::runtime_error naming the bad rule.
    static FaultRules parse(const std::vector<std::string> &lines);

    // Counts the request against every rule it matches and returns the action
    // of the first rule that fires for it.
    std::optional<FaultAction> take(const FaultTarget &target);

    bool empty() const { return rules_.empty(); }

private:
    struct Rule {
        std::string method;
        std::string resource;
        long long nth = 0;     // 0: every matching request
        bool everyNth = false; // the nth, 2nth, 3nth … rather than the nth alone
        long long seen = 0;
        FaultAction action;
    };
    static bool matches(const Rule &rule, const FaultTarget &target);

    std::vector<Rule> rules_;
};
