// Linked into every test program: before anything else runs, the process gets a
// home, XDG folders and a temporary folder of its own, removed when it exits.
// Test runs side by side (ctest -j, or two checkouts at once) then never share
// settings, private data, the lock file, logs or temporary names, and the
// user's own settings never reach a test.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// Plain data: set before dynamic initialisation, which must not reset it.
char g_root[4096];
pid_t g_owner = 0;

void RemoveOwnFolders() {
    // A forked child that exits must not take its parent's folders with it.
    if (getpid() != g_owner)
        return;
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
}

void SetFolder(const char* variable, const fs::path& folder, fs::perms permissions) {
    std::error_code error;
    fs::create_directories(folder, error);
    fs::permissions(folder, permissions, error);
    setenv(variable, folder.c_str(), 1);
}

// Runs before the program's own static objects are made (priority 101 is the
// first one not reserved), so none of them sees the user's folders.
__attribute__((constructor(101))) void UseOwnFolders() {
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = tmp && tmp[0] == '/' ? fs::path(tmp) : fs::path("/tmp");
    std::string pattern = (base / "harbex-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("harbex test: cannot make its own folders");
        std::_Exit(1);
    }
    if (pattern.size() >= sizeof g_root)
        std::_Exit(1);
    pattern.copy(g_root, pattern.size());
    g_owner = getpid();
    std::atexit(RemoveOwnFolders);

    const fs::path root = g_root;
    const fs::path home = root / "home";
    constexpr fs::perms kPrivate = fs::perms::owner_all;
    SetFolder("HOME", home, kPrivate);
    SetFolder("XDG_CONFIG_HOME", home / ".config", kPrivate);
    SetFolder("XDG_DATA_HOME", home / ".local/share", kPrivate);
    SetFolder("XDG_STATE_HOME", home / ".local/state", kPrivate);
    SetFolder("XDG_CACHE_HOME", home / ".cache", kPrivate);
    SetFolder("XDG_RUNTIME_DIR", root / "run", kPrivate);  // Qt insists on 0700
    SetFolder("TMPDIR", root / "tmp", kPrivate);
}

}  // namespace
