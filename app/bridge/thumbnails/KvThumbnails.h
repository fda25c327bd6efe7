#pragma once

#include <QImage>
#include <QString>

class IFileNode;

// Thumbnails of found files; the dispatcher is KvUIController::GetNSImageByFildNode.

// The side of the square a movie or camera raw thumbnail fits in.
inline constexpr int kThumbnailSide = 192;
// Pictures above this size are not read for a thumbnail.
inline constexpr int64_t kMostPictureBytes = 0x6400000;

// A camera raw or layered picture: its embedded preview, else the icon of
// its extension.
QImage GetRawPicThumb(IFileNode* node);
// A movie: a frame of its first bytes, else the icon of its extension; null
// when its path has no extension.
QImage GetVideoThumb(IFileNode* node);
// The desktop's icon for files with this extension (lower case, no dot);
// null without a running GUI application or an icon theme.
QImage ExtensionIcon(const QString& extension);
// A picture made from a file's bytes by Qt's image readers, or from the
// preview a camera raw embeds; null when neither gives one.
QImage PictureFromBytes(const QByteArray& bytes);
