#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The first picture of the movie file at `path`, scaled to fit `bound` with
// its proportions kept; a null image when the file holds no decodable video.
QImage FirstMovieFrame(const QString& path, QSize bound);
