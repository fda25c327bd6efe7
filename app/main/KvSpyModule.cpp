#include "KvSpyModule.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Entry `index` of the object's table, called with the object first as a
// member function is.
template <typename... Args>
void CallEntry(void* object, int index, Args... args) {
    if (object == nullptr)
        return;
    using Entry = void (*)(void*, Args...);
    Entry* table = *static_cast<Entry**>(object);
    try {
        table[index](object, args...);
    } catch (...) {
        // What the plug-in throws is its own affair; quitting goes on.
    }
}

}  // namespace

KvSpyModule::KvSpyModule(QString folder) : folder_(std::move(folder)) {}

QLibrary* KvSpyModule::LoadSpyModule() {
    qInfo("LoadSpyModule entry");
    if (library_.isLoaded())
        return &library_;
    // A full path to a file that is there: never the system's library search.
    if (folder_.isEmpty())
        return nullptr;
    const QString path =
        QDir(folder_).filePath(QStringLiteral("lib%1.so").arg(QLatin1String(kLibraryName)));
    if (!QFileInfo(path).isFile()) {
        qInfo("LoadSpyModule : %s, not there", qUtf8Printable(path));
        return nullptr;
    }
    library_.setFileName(path);
    library_.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    const bool loaded = library_.load();
    qInfo("LoadSpyModule : %s, loaded = %d, error : %s", qUtf8Printable(path), loaded,
          qUtf8Printable(library_.errorString()));
    return loaded ? &library_ : nullptr;
}

void* KvSpyModule::smartSpy() {
    if (smartSpy_ != nullptr)
        return smartSpy_;
    QLibrary* library = LoadSpyModule();
    if (library == nullptr)
        return nullptr;
    using GetSmartSpy = void* (*)();
    const auto get = reinterpret_cast<GetSmartSpy>(library->resolve("GetSmartSpy"));
    if (get == nullptr)
        return nullptr;
    try {
        smartSpy_ = get();
    } catch (...) {
        smartSpy_ = nullptr;
    }
    return smartSpy_;
}

void KvSpyModule::SpyIDEnd(bool participate) {
    if (participate)
        CallEntry(smartSpy(), kRecordText2, int(kSendRequestId), kEndpoint);
    CallEntry(smartSpy(), kSendState, 7, 5);
    CallEntry(smartSpy(), kFinish);
}
