#pragma once
// A small JSON reader for the corpus's expected.json and pairs.json (tests only).
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
    static std::string ParseString(std::string_view t, std::size_t& at)
    {
        Expect(t, at, '"');
        std::string s;
        while (at < t.size() && t[at] != '"') {
            char c = t[at++];
            if (c == '\\' && at < t.size()) {
                const char e = t[at++];
                switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'u':
                    c = '?';
                    at += 4;
                    break; // not needed for our files
                default: c = e;
                }
            }
            s += c;
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
