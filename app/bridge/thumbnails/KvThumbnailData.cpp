#include "KvThumbnailData.h"

#include <QDir>

#include <algorithm>
#include <climits>
#include <mutex>

#include "DataRecovery.h"
#include "FileReader.h"
#include "KvCPPPublic.h"
#include "KvUIScan.h"
#include "RecoveryController.h"

namespace {
// The scanned device and the found files' run lists keep read positions that
// one reader at a time may move: thumbnail requests take turns for their
// reads, and decode side by side.
std::mutex engineReads;
}  // namespace

KvThumbnailData::KvThumbnailData(IFileNode* node) {
    std::lock_guard hold(engineReads);
    IRecoveryController* controller = KvUIScan::instance()->GetRecoveryController();
    if (node == nullptr || controller == nullptr)
        return;
    recovery_ = controller->GetDataRecovery(KvCPPPublic::instance().GetNodeSearcheType(node));
    if (recovery_ != nullptr)
        reader_ = recovery_->SetRecoverNode(node);
}

KvThumbnailData::~KvThumbnailData() {
    std::lock_guard hold(engineReads);
    if (reader_ != nullptr)
        reader_->Release();
    if (recovery_ != nullptr)
        recovery_->Release();
}

std::vector<uint8_t> KvThumbnailData::read(int64_t length) {
    std::lock_guard hold(engineReads);
    if (reader_ == nullptr || length <= 0)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    int64_t done = 0;
    while (done < length) {
        const auto piece = static_cast<uint32_t>(std::min<int64_t>(length - done, 1 << 30));
        int error = 0;
        const uint32_t got =
            reader_->ReadData(done, reinterpret_cast<char*>(bytes.data() + done), piece, &error);
        if (error != 0)
            return {};
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(static_cast<size_t>(done));
    return bytes;
}

std::vector<uint8_t> KvThumbnailData::smallJpeg(int64_t capacity) {
    std::lock_guard hold(engineReads);
    if (recovery_ == nullptr || reader_ == nullptr || capacity <= 0 || capacity > UINT32_MAX)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(capacity), 0);
    const uint32_t length = recovery_->ReadSmallJPG(reinterpret_cast<char*>(bytes.data()),
                                                    static_cast<uint32_t>(capacity));
    bytes.resize(std::min<size_t>(length, bytes.size()));
    return bytes;
}

std::unique_ptr<QTemporaryFile> KvThumbnailData::copyOut(int64_t limit) {
    if (recovery_ == nullptr || reader_ == nullptr || limit < 0 || limit > INT_MAX)
        return nullptr;
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/harbex-thumb-XXXXXX");
    if (!file->open())
        return nullptr;
    file->close();
    const QByteArray path = file->fileName().toUtf8();
    std::lock_guard hold(engineReads);
    if (recovery_->RecoverTo(path.constData(), nullptr, static_cast<int>(limit)) != 0)
        return nullptr;
    return file;
}
