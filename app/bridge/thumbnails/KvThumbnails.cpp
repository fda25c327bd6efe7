#include "KvThumbnails.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>

#include <mutex>
#include <optional>

#include "EngineLog.h"
#include "FileNode.h"
#include "KvThumbnailData.h"
#include "KvUIController.h"
#include "KvUIFilter.h"
#include "KvUIPublic.h"
#include "MovieFrame.h"
#include "OpNodeData.h"
#include "RawPreview.h"
#include "RecoveryFilter.h"

namespace {

constexpr int64_t kMovieHeadBytes = 0x200000;
constexpr int64_t kMostWholeAviBytes = 0x3200000;

bool Usable(const QImage& image) {
    return image.width() > 0 && image.height() > 0;
}

// The lower-cased text after the last "." of `text`; empty without one.
QString LowerExtension(const QString& text) {
    const qsizetype dot = text.lastIndexOf('.');
    return dot < 0 ? QString() : text.mid(dot + 1).toLower();
}

QImage Decode(const QByteArray& bytes, QSize bound = {}) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    if (bound.isValid() && reader.size().isValid())
        reader.setScaledSize(reader.size().scaled(bound, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return reader.read();
}

QImage EmbeddedPreview(const QByteArray& bytes, QSize bound = {}) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const std::optional<EmbeddedJpeg> preview =
        FindEmbeddedPreview(data, static_cast<size_t>(bytes.size()));
    if (!preview)
        return {};
    return Decode(QByteArray::fromRawData(bytes.constData() + preview->offset,
                                          static_cast<qsizetype>(preview->length)),
                  bound);
}

// The preview of a camera raw or layered picture; null when there is none.
QImage RawPreviewOf(IFileNode* node) {
    const int64_t size = node->GetFileSize();
    if (size <= 0 || size > kMostPictureBytes)
        return {};
    KvThumbnailData data(node);
    const std::unique_ptr<QTemporaryFile> copy = data.valid() ? data.copyOut(0) : nullptr;
    if (!copy || !copy->open())
        return {};
    const QByteArray bytes = copy->readAll();
    const QSize bound(kThumbnailSide, kThumbnailSide);
    // Without an embedded preview, a raw whose main picture is a plain TIFF
    // strip still reads as a TIFF.
    const QImage preview = EmbeddedPreview(bytes, bound);
    return Usable(preview) ? preview : Decode(bytes, bound);
}

QImage PictureOf(IFileNode* node) {
    const int64_t size = node->GetFileSize();
    if (size <= 0 || size > kMostPictureBytes)
        return {};
    KvThumbnailData data(node);
    if (!data.valid())
        return {};
    std::vector<uint8_t> bytes = data.smallJpeg(size);
    if (bytes.empty())
        bytes = data.read(size);
    QImage image = PictureFromBytes(QByteArray::fromRawData(
        reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    if (!Usable(image) && static_cast<int64_t>(bytes.size()) < size) {
        // The small preview was no picture: try the whole file.
        bytes = data.read(size);
        image = PictureFromBytes(QByteArray::fromRawData(
            reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    }
    return image;
}

}  // namespace

QImage PictureFromBytes(const QByteArray& bytes) {
    QImage image = Decode(bytes);
    return Usable(image) ? image : EmbeddedPreview(bytes);
}

QImage ExtensionIcon(const QString& extension) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return {};
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile("file." + extension, QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.pixmap(kThumbnailSide, kThumbnailSide).toImage();
}

QImage GetRawPicThumb(IFileNode* node) {
    const QString path = KvUIPublic::GetPathByFileNode(node);
    const QImage preview = RawPreviewOf(node);
    return Usable(preview) ? preview : ExtensionIcon(LowerExtension(path));
}

QImage GetVideoThumb(IFileNode* node) {
    // Movie decoders are heavy: one thumbnail at a time.
    static std::mutex movies;
    std::lock_guard hold(movies);
    const QString path = KvUIPublic::GetPathByFileNode(node);
    const QString extension = LowerExtension(path);
    if (extension.isEmpty())
        return {};
    QImage frame;
    if (extension == "mov" || extension == "m4v" || extension == "mp4" || extension == "avi") {
        const int64_t size = node->GetFileSize();
        int64_t limit = kMovieHeadBytes;
        if (extension == "avi" ? size <= kMostWholeAviBytes : size < kMovieHeadBytes)
            limit = size;
        KvThumbnailData data(node);
        const std::unique_ptr<QTemporaryFile> copy =
            data.valid() && limit > 0 ? data.copyOut(limit) : nullptr;
        if (copy)
            frame = KvUIController::getVideoThumbFromPath(copy->fileName());
        else
            CatchExeception::WriteLog("----Recovery Failed----\n");
    }
    return Usable(frame) ? frame : ExtensionIcon(extension);
}

QImage KvUIController::getVideoThumbFromPath(const QString& path) {
    return FirstMovieFrame(path, {kThumbnailSide, kThumbnailSide});
}

QImage KvUIController::GetNSImageByFildNode(IFileNode* node) {
    IRecoveryFilter* filter = KvUIFilter::instance()->GetFilter();
    if (node == nullptr || filter == nullptr)
        return {};
    const unsigned int category = filter->GetNodeFileType(node);
    if (category == FILE_MASK_MOVIE)
        return GetVideoThumb(node);
    const QString name = QString::fromUtf8(node->GetFileName() ? node->GetFileName() : "");
    const QString extension = LowerExtension(KvUIPublic::GetPathByFileNode(node));
    if (extension.isEmpty())
        return ExtensionIcon(LowerExtension(name));
    static const QStringList raws{"rw2", "sr2", "cr2", "dng", "dcr"};
    if (raws.contains(extension))
        return GetRawPicThumb(node);
    if (extension == "arw" || extension == "psd") {
        if (const QImage preview = RawPreviewOf(node); Usable(preview))
            return preview;
    }
    if (category == FILE_MASK_PICTURE) {
        if (const QImage picture = PictureOf(node); Usable(picture))
            return picture;
    }
    return ExtensionIcon(LowerExtension(name));
}

QImage KvUIController::GetNSImageByNode(const OpNodeData* row) {
    return row != nullptr ? GetNSImageByFildNode(row->fileNode()) : QImage();
}
