#include "Fonts.h"

#include <QApplication>

namespace Fonts {

namespace {

QFont Sized(double points) {
    QFont font(QString::fromLatin1(kFamily));
    font.setPixelSize(qRound(points));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

void install() {
    for (const char* face : {"Helvetica", "Helvetica Light"})
        QFont::insertSubstitution(QString::fromLatin1(face), QString::fromLatin1(kFamily));
    QApplication::setFont(Sized(kSystemFontSize));
}

QFont helvetica(double points) {
    return Sized(points);
}

QFont helveticaLight(double points) {
    // fonts-dejavu-core has no light face: the light texts use the book face.
    return Sized(points);
}

}  // namespace Fonts
