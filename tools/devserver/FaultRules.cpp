#include "FaultRules.h"

#include <charconv>
#include <stdexcept>

namespace {

bool parseNumber(const std::string &text, long long &out)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

FaultAction parseAction(const std::string &text)
{
    FaultAction action;
    action.written = text;
    long long number = 0;
    if (text == "drop") {
        action.kind = FaultAction::Kind::Drop;
    } else if (text == "close") {
        action.kind = FaultAction::Kind::Close;
    } else if (text == "close-after") {
        action.kind = FaultAction::Kind::CloseAfter;
    } else if (text == "html") {
        action.kind = FaultAction::Kind::Html;
    } else if (text == "garbage") {
        action.kind = FaultAction::Kind::Garbage;
    } else if (text.rfind("body:", 0) == 0) {
        action.kind = FaultAction::Kind::Body;
        action.text = text.substr(5);
    } else if (text.rfind("status:", 0) == 0) {
        if (!parseNumber(text.substr(7), number) || number < 100 || number > 599)
            throw std::runtime_error("status needs a code from 100 to 599");
        action.kind = FaultAction::Kind::Status;
        action.status = static_cast<int>(number);
    } else if (text.rfind("retry-after:", 0) == 0) {
        // "retry-after:SECONDS" or "retry-after:SECONDS:CODE"
        const std::string rest = text.substr(12);
        const auto colon = rest.find(':');
        long long code = 503;
        if (!parseNumber(rest.substr(0, colon), number) || number < 0 || number > 86400 ||
            (colon != std::string::npos && (!parseNumber(rest.substr(colon + 1), code) || code < 100 || code > 599)))
            throw std::runtime_error("retry-after needs seconds from 0 to 86400, optionally \":CODE\"");
        action.kind = FaultAction::Kind::RetryAfter;
        action.seconds = static_cast<long>(number);
        action.status = static_cast<int>(code);
    } else if (text.rfind("refuse:", 0) == 0) {
        if (!parseNumber(text.substr(7), number) || number < 1 || number > 3'600'000)
            throw std::runtime_error("refuse needs milliseconds from 1 to 3600000");
        action.kind = FaultAction::Kind::Refuse;
        action.delayMs = static_cast<long>(number);
    } else if (text.rfind("delay:", 0) == 0) {
        if (!parseNumber(text.substr(6), number) || number < 0 || number > 3'600'000)
            throw std::runtime_error("delay needs milliseconds from 0 to 3600000");
        action.kind = FaultAction::Kind::Delay;
        action.delayMs = static_cast<long>(number);
    } else {
        throw std::runtime_error("unknown action \"" + text + "\"");
    }
    return action;
}

} // namespace

FaultRules FaultRules::parse(const std::vector<std::string> &lines)
{
    FaultRules rules;
    for (const std::string &line : lines) {
        try {
            const auto space = line.find(' ');
            if (space == std::string::npos || space == 0)
                throw std::runtime_error("expected \"METHOD RESOURCE[#N|%N]=ACTION\"");
            const auto eq = line.find('=', space + 1);
            if (eq == std::string::npos)
                throw std::runtime_error("missing \"=ACTION\"");
            Rule rule;
            rule.method = line.substr(0, space);
            rule.resource = line.substr(space + 1, eq - space - 1);
            const auto hash = rule.resource.find_last_of("#%");
            if (hash != std::string::npos) {
                if (!parseNumber(rule.resource.substr(hash + 1), rule.nth) || rule.nth < 1)
                    throw std::runtime_error("#N and %N need a request number from 1");
                rule.everyNth = rule.resource[hash] == '%';
                rule.resource.resize(hash);
            }
            if (rule.resource.empty() || rule.resource.front() != '/')
                throw std::runtime_error("RESOURCE must start with \"/\"");
            rule.action = parseAction(line.substr(eq + 1));
            rules.rules_.push_back(std::move(rule));
        } catch (const std::runtime_error &e) {
            throw std::runtime_error("--fault \"" + line + "\": " + e.what());
        }
    }
    return rules;
}

bool FaultRules::matches(const Rule &rule, const FaultTarget &target)
{
    if (rule.method != "*" && rule.method != target.method)
        return false;
    if (rule.resource == target.fullPath)
        return true;
    return target.underApp && !target.isAppPage && rule.resource == target.resource;
}

std::optional<FaultAction> FaultRules::take(const FaultTarget &target)
{
    std::optional<FaultAction> chosen;
    for (Rule &rule : rules_) {
        if (!matches(rule, target))
            continue;
        ++rule.seen;
        const bool fires =
            rule.nth == 0 || (rule.everyNth ? rule.seen % rule.nth == 0 : rule.seen == rule.nth);
        if (fires && !chosen)
            chosen = rule.action;
    }
    return chosen;
}
