#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Decoders written independently of the client so that tests against this
// server catch encoding mistakes in the client instead of mirroring them.

// Decodes %XX escapes into raw bytes; with plusIsSpace "+" becomes " " (form
// semantics). Malformed escapes yield nullopt.
std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace);

// One decoded name/value pair of a query string, in the order received.
using QueryItems = std::vector<std::pair<std::string, std::string>>;

// Splits a raw query on "&" and each item on its first "="; empty items are
// skipped. nullopt when any escape is malformed.
std::optional<QueryItems> parseQuery(std::string_view rawQuery);

// Strict RFC 4648 Base64 (standard alphabet, mandatory "=" padding, no
// whitespace, zero pad bits). nullopt on any deviation.
std::optional<std::string> base64Decode(std::string_view text);

// Makes an uploaded file name safe to use inside the upload directory: no "/",
// no NUL, no leading "." and a bounded length; other characters are kept.
std::string sanitiseFileName(std::string_view name);

// True when text is well-formed UTF-8 (no overlongs, surrogates or truncation).
bool isValidUtf8(std::string_view text);
