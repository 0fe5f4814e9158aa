#pragma once

// Just enough JSON to read the test fixtures the shop script's tests share
// (objects keep their order); a fixture is the project's own file, so a
// mistake in it throws with where it is.

#include <charconv>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillane::test {

class Json {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json& operator[](const std::string& key) const
    {
        for (const auto& [k, v] : members) {
            if (k == key) {
                return v;
            }
        }
        throw std::runtime_error("the fixture has no \"" + key + "\"");
    }
    const Json& operator[](std::size_t i) const { return items.at(i); }
    std::size_t size() const { return kind == Kind::Object ? members.size() : items.size(); }

    static Json parse(const std::string& source)
    {
        std::size_t pos = 0;
        Json value = parseValue(source, pos, 0);
        skipBlanks(source, pos);
        if (pos != source.size()) {
            fail(source, pos, "text after the value");
        }
        return value;
    }

    static Json load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw std::runtime_error("cannot read " + path);
        }
        std::ostringstream text;
        text << in.rdbuf();
        return parse(text.str());
    }

private:
    [[noreturn]] static void fail(const std::string& s, std::size_t pos, const std::string& what)
    {
        throw std::runtime_error("fixture JSON at " + std::to_string(pos) + ": " + what + " near \"" +
                                 s.substr(pos, 20) + "\"");
    }

    static void skipBlanks(const std::string& s, std::size_t& pos)
    {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\n' || s[pos] == '\r' || s[pos] == '\t')) {
            ++pos;
        }
    }

    static std::string parseString(const std::string& s, std::size_t& pos)
    {
        std::string out;
        for (++pos; pos < s.size(); ++pos) {
            const char c = s[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = s.at(++pos);
            if (e == 'u') {
                // Fixtures hold Latin-1 letters at most: one byte each.
                out += static_cast<char>(std::stoi(s.substr(pos + 1, 4), nullptr, 16));
                pos += 4;
            } else {
                out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
            }
        }
        fail(s, pos, "a string without its end");
    }

    static Json parseValue(const std::string& s, std::size_t& pos, int depth)
    {
        if (depth > 16) {
            fail(s, pos, "nested too deep");
        }
        skipBlanks(s, pos);
        Json v;
        if (pos >= s.size()) {
            fail(s, pos, "no value");
        }
        const char c = s[pos];
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            v.kind = c == '{' ? Kind::Object : Kind::Array;
            ++pos;
            skipBlanks(s, pos);
            if (pos < s.size() && s[pos] == close) {
                ++pos;
                return v;
            }
            for (;;) {
                skipBlanks(s, pos);
                if (v.kind == Kind::Object) {
                    if (pos >= s.size() || s[pos] != '"') {
                        fail(s, pos, "no member name");
                    }
                    std::string key = parseString(s, pos);
                    skipBlanks(s, pos);
                    if (pos >= s.size() || s[pos++] != ':') {
                        fail(s, pos, "no \":\"");
                    }
                    v.members.emplace_back(std::move(key), parseValue(s, pos, depth + 1));
                } else {
                    v.items.push_back(parseValue(s, pos, depth + 1));
                }
                skipBlanks(s, pos);
                if (pos < s.size() && s[pos] == ',') {
                    ++pos;
                } else if (pos < s.size() && s[pos] == close) {
                    ++pos;
                    return v;
                } else {
                    fail(s, pos, "no \",\" or end");
                }
            }
        }
        if (c == '"') {
            v.kind = Kind::String;
            v.text = parseString(s, pos);
            return v;
        }
        for (const auto& [word, kind, value] :
             {std::tuple{"true", Kind::Bool, true}, {"false", Kind::Bool, false}, {"null", Kind::Null, false}}) {
            if (s.compare(pos, std::string(word).size(), word) == 0) {
                pos += std::string(word).size();
                v.kind = kind;
                v.boolean = value;
                return v;
            }
        }
        v.kind = Kind::Number;
        const auto [end, ec] = std::from_chars(s.data() + pos, s.data() + s.size(), v.number);
        if (ec != std::errc()) {
            fail(s, pos, "no value");
        }
        pos = static_cast<std::size_t>(end - s.data());
        return v;
    }
};

} // namespace quillane::test
