#pragma once
// A small JSON reader for the corpus's expected.json and pairs.json and the programs' output
// (tests only). It refuses what no JSON reader may take: text that is no UTF-8, control
// characters in strings.
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vexaro::test {

class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;

    static Json Parse(std::string_view text)
    {
        std::size_t at = 0;
        Json v = ParseValue(text, at);
        SkipBlanks(text, at);
        if (at != text.size())
            throw std::runtime_error("JSON: text after the value at " + std::to_string(at));
        return v;
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool has(const std::string& key) const { return isObject() && object().count(key) != 0; }
    bool isObject() const { return std::holds_alternative<std::shared_ptr<Object>>(value_); }
    const Object& object() const { return *std::get<std::shared_ptr<Object>>(value_); }
    const Array& array() const { return *std::get<std::shared_ptr<Array>>(value_); }
    const std::string& str() const { return std::get<std::string>(value_); }
    double number() const { return std::get<double>(value_); }
    std::int64_t integer() const { return static_cast<std::int64_t>(number()); }
    bool boolean() const { return std::get<bool>(value_); }
    const Json& operator[](const std::string& key) const
    {
        const auto it = object().find(key);
        if (it == object().end())
            throw std::runtime_error("JSON: no key " + key);
        return it->second;
    }
    const Json& operator[](std::size_t i) const { return array().at(i); }

private:
    std::variant<std::monostate, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> value_;

    static void SkipBlanks(std::string_view t, std::size_t& at)
    {
        while (at < t.size() && (t[at] == ' ' || t[at] == '\n' || t[at] == '\r' || t[at] == '\t'))
            ++at;
    }
    static void Expect(std::string_view t, std::size_t& at, char c)
    {
        SkipBlanks(t, at);
        if (at >= t.size() || t[at] != c)
            throw std::runtime_error(std::string("JSON: expected ") + c + " at " + std::to_string(at));
        ++at;
    }
    static void AppendUtf8(std::string& s, std::uint32_t c)
    {
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    static std::uint32_t Hex4(std::string_view t, std::size_t& at)
    {
        if (at + 4 > t.size())
            throw std::runtime_error("JSON: short \\u escape at " + std::to_string(at));
        const std::uint32_t c = static_cast<std::uint32_t>(std::stoul(std::string(t.substr(at, 4)), nullptr, 16));
        at += 4;
        return c;
    }
    // The length of the UTF-8 character at `at`; throws when there is none.
    static std::size_t Utf8Length(std::string_view t, std::size_t at)
    {
        const auto b = [&](std::size_t k) { return at + k < t.size() ? static_cast<unsigned char>(t[at + k]) : 0u; };
        const unsigned lead = b(0);
        const std::size_t n = lead < 0x80                    ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
        bool ok = n != 0;
        for (std::size_t k = 1; ok && k < n; ++k)
            ok = (b(k) & 0xC0) == 0x80;
        if (ok && n == 3)
            ok = !(lead == 0xE0 && b(1) < 0xA0) && !(lead == 0xED && b(1) > 0x9F);
        if (ok && n == 4)
            ok = !(lead == 0xF0 && b(1) < 0x90) && !(lead == 0xF4 && b(1) > 0x8F);
        if (!ok)
            throw std::runtime_error("JSON: no UTF-8 at " + std::to_string(at));
        return n;
    }
    static std::string ParseString(std::string_view t, std::size_t& at)
    {
        Expect(t, at, '"');
        std::string s;
        while (at < t.size() && t[at] != '"') {
            const auto c = static_cast<unsigned char>(t[at]);
            if (c < 0x20)
                throw std::runtime_error("JSON: control character in a string at " + std::to_string(at));
            if (c != '\\') {
                const std::size_t n = Utf8Length(t, at);
                s += t.substr(at, n);
                at += n;
                continue;
            }
            if (++at >= t.size())
                break;
            const char e = t[at++];
            switch (e) {
            case 'n': s += '\n'; break;
            case 't': s += '\t'; break;
            case 'r': s += '\r'; break;
            case 'b': s += '\b'; break;
            case 'f': s += '\f'; break;
            case '"':
            case '\\':
            case '/': s += e; break;
            case 'u': {
                std::uint32_t u = Hex4(t, at);
                if (u >= 0xD800 && u <= 0xDBFF && t.substr(at, 2) == "\\u") {
                    at += 2;
                    u = 0x10000 + ((u - 0xD800) << 10) + (Hex4(t, at) - 0xDC00);
                }
                AppendUtf8(s, u);
                break;
            }
            default: throw std::runtime_error(std::string("JSON: unknown escape \\") + e);
            }
        }
        Expect(t, at, '"');
        return s;
    }
    static Json ParseValue(std::string_view t, std::size_t& at)
    {
        SkipBlanks(t, at);
        if (at >= t.size())
            throw std::runtime_error("JSON: unexpected end");
        Json v;
        const char c = t[at];
        if (c == '{') {
            auto obj = std::make_shared<Object>();
            ++at;
            SkipBlanks(t, at);
            if (t[at] == '}') {
                ++at;
            } else {
                for (;;) {
                    std::string key = ParseString(t, at);
                    Expect(t, at, ':');
                    (*obj)[key] = ParseValue(t, at);
                    SkipBlanks(t, at);
                    if (t[at] == ',') {
                        ++at;
                        continue;
                    }
                    Expect(t, at, '}');
                    break;
                }
            }
            v.value_ = obj;
        } else if (c == '[') {
            auto arr = std::make_shared<Array>();
            ++at;
            SkipBlanks(t, at);
            if (t[at] == ']') {
                ++at;
            } else {
                for (;;) {
                    arr->push_back(ParseValue(t, at));
                    SkipBlanks(t, at);
                    if (t[at] == ',') {
                        ++at;
                        continue;
                    }
                    Expect(t, at, ']');
                    break;
                }
            }
            v.value_ = arr;
        } else if (c == '"') {
            v.value_ = ParseString(t, at);
        } else if (t.substr(at, 4) == "true") {
            v.value_ = true;
            at += 4;
        } else if (t.substr(at, 5) == "false") {
            v.value_ = false;
            at += 5;
        } else if (t.substr(at, 4) == "null") {
            at += 4;
        } else {
            std::size_t end = at;
            while (end < t.size() && std::string_view("+-0123456789.eE").find(t[end]) != std::string_view::npos)
                ++end;
            if (end == at)
                throw std::runtime_error("JSON: unexpected character at " + std::to_string(at));
            v.value_ = std::stod(std::string(t.substr(at, end - at)));
            at = end;
        }
        return v;
    }
};

} // namespace vexaro::test
