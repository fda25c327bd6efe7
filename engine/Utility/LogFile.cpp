#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "LogFile.h"

namespace {

constexpr const char* kLogFileName = "/sMAC_Harbex.log";

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

FILE* OpenIn(const std::string& folder, std::string* openedPath) {
    const std::string path = folder + kLogFileName;
    FILE* file = std::fopen(path.c_str(), "a+");
    if (file && openedPath)
        *openedPath = path;
    return file;
}

}  // namespace

std::string LogStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/harbex";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/state/harbex";
    return std::string();
}

FILE* OpenLogFile(const std::string& workFolder, std::string* openedPath) {
    if (!workFolder.empty()) {
        if (FILE* file = OpenIn(workFolder, openedPath))
            return file;
    }
    const std::string state = LogStateFolder();
    if (state.empty() || !MakeFolders(state))
        return nullptr;
    return OpenIn(state, openedPath);
}
