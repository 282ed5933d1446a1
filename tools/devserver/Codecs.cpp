#include "Codecs.h"

#include <array>
#include <cstdint>

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::array<int8_t, 256> makeBase64Table()
{
    std::array<int8_t, 256> table{};
    for (auto &v : table)
        v = -1;
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr auto kBase64Table = makeBase64Table();

// Keeps the saved name below the usual 255-byte limit, leaving room for the
// "<seq>-" prefix, without cutting a UTF-8 sequence in half.
constexpr size_t kMaxFileNameBytes = 200;

} // namespace

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) // an escape needs two hex digits
                return std::nullopt;
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::optional<QueryItems> parseQuery(std::string_view rawQuery)
{
    QueryItems items;
    size_t start = 0;
    while (start <= rawQuery.size()) {
        size_t end = rawQuery.find('&', start);
        if (end == std::string_view::npos)
            end = rawQuery.size();
        const std::string_view item = rawQuery.substr(start, end - start);
        if (!item.empty()) {
            const size_t eq = item.find('=');
            auto name = percentDecode(item.substr(0, eq), true);
            auto value = eq == std::string_view::npos ? std::optional<std::string>(std::string())
                                                      : percentDecode(item.substr(eq + 1), true);
            if (!name || !value)
                return std::nullopt;
            items.emplace_back(std::move(*name), std::move(*value));
        }
        start = end + 1;
    }
    return items;
}

std::optional<std::string> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=') {
                // Padding may only close the final quantum, in its last one or two places.
                if (!last || k < 2)
                    return std::nullopt;
                ++padding;
                values[k] = 0;
            } else {
                if (padding > 0)
                    return std::nullopt;
                values[k] = kBase64Table[static_cast<unsigned char>(c)];
                if (values[k] < 0)
                    return std::nullopt;
            }
        }
        const uint32_t triple = (uint32_t(values[0]) << 18) | (uint32_t(values[1]) << 12) |
                                (uint32_t(values[2]) << 6) | uint32_t(values[3]);
        out.push_back(static_cast<char>((triple >> 16) & 0xFF));
        if (padding == 2) {
            if ((triple & 0xFFFF) != 0) // non-canonical: stray bits under the padding
                return std::nullopt;
        } else if (padding == 1) {
            if ((triple & 0xFF) != 0)
                return std::nullopt;
            out.push_back(static_cast<char>((triple >> 8) & 0xFF));
        } else {
            out.push_back(static_cast<char>((triple >> 8) & 0xFF));
            out.push_back(static_cast<char>(triple & 0xFF));
        }
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > text.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const uint32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string sanitiseFileName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name)
        out.push_back(c == '/' || c == '\0' ? '_' : c);
    if (out.empty())
        return "unnamed";
    if (out.front() == '.')
        out.front() = '_';
    if (out.size() > kMaxFileNameBytes) {
        size_t cut = kMaxFileNameBytes;
        // Step back over continuation bytes so the name stays valid UTF-8.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return out;
}
