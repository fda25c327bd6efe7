#include <unistd.h>

#include <string>

#include "AppWorkPath.h"

namespace {

std::string ExecutableFolder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return ".";
    path.resize(static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    path.resize(slash);
    return path;
}

}  // namespace

const char* GetAppWorkPath() {
    static const std::string folder = ExecutableFolder();
    return folder.c_str();
}
