#pragma once

// One picture of the cover flow: the image, the id it is known by, its title
// and a version that goes up whenever the picture changes, so views know to
// draw it afresh.

#include <QImage>
#include <QString>

#include <cstdint>

class Photo {
public:
    // How the picture is handed over: always as an image.
    enum class RepresentationType { Image };

    Photo(const QImage& image, const QString& imageID) : image_(image), imageID_(imageID) {}

    QString imageUID() const { return imageID_; }
    RepresentationType imageRepresentationType() const { return RepresentationType::Image; }
    QImage imageRepresentation() const { return image_; }
    QString imageTitle() const { return imageName_; }
    int64_t imageVersion() const { return imageVersion_; }

    void setImageRepresentation(const QImage& image) { image_ = image; }
    void setImageUID(const QString& imageID) { imageID_ = imageID; }
    void setName(const QString& name) { imageName_ = name; }
    // Raises the version by one.
    void setImageVersion() { ++imageVersion_; }

private:
    QImage image_;
    QString imageID_;
    QString imageName_;
    int64_t imageVersion_ = 0;
};
