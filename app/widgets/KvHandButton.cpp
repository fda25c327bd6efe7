#include "KvHandButton.h"

KvHandButton::KvHandButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFlat(true);
    // The widget's own cursor: Qt shows it on entering and restores the
    // previous shape on leaving, with one hover region however often the
    // button moves between windows.
    setCursor(Qt::PointingHandCursor);
}
