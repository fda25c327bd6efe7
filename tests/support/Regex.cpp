#include "Regex.h"

#include <stdexcept>

namespace harbex::test {

static void Compile(regex_t& compiled, const std::string& pattern) {
    if (regcomp(&compiled, pattern.c_str(), REG_EXTENDED) != 0)
        throw std::invalid_argument("bad regular expression: " + pattern);
}

Regex::Regex(const std::string& pattern) {
    Compile(compiled_, pattern);
    try {
        Compile(whole_, "^(" + pattern + ")$");
    } catch (...) {
        regfree(&compiled_);
        throw;
    }
}

Regex::~Regex() {
    regfree(&compiled_);
    regfree(&whole_);
}

bool Regex::FullMatch(const std::string& text) const {
    return regexec(&whole_, text.c_str(), 0, nullptr, 0) == 0;
}

std::vector<std::string> Regex::Search(const std::string& text) const {
    std::vector<regmatch_t> groups(compiled_.re_nsub + 1);
    if (regexec(&compiled_, text.c_str(), groups.size(), groups.data(), 0) != 0)
        return {};
    std::vector<std::string> found;
    for (const regmatch_t& group : groups) {
        found.push_back(group.rm_so < 0
                            ? std::string()
                            : text.substr(static_cast<size_t>(group.rm_so),
                                          static_cast<size_t>(group.rm_eo - group.rm_so)));
    }
    return found;
}

std::string RegexEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

}  // namespace harbex::test
