#pragma once

#include <regex.h>

#include <string>
#include <vector>

namespace harbex::test {

// A POSIX extended regular expression. Tests use it in place of std::regex,
// which costs seconds of compile time in every file that includes it.
class Regex {
public:
    explicit Regex(const std::string& pattern);
    ~Regex();
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // Whether the whole of `text` matches.
    bool FullMatch(const std::string& text) const;
    // The first match in `text` and its groups, or nothing when there is none.
    std::vector<std::string> Search(const std::string& text) const;

private:
    regex_t compiled_{};
    regex_t whole_{};
};

// `text` with every character a pattern would read as an operator escaped.
std::string RegexEscaped(const std::string& text);

}  // namespace harbex::test
