#include "Alert.h"

#include <QMessageBox>
#include <QPushButton>

#include "Images.h"
#include "TCImageWindow.h"

namespace {

Alert::Answerer& CurrentAnswerer() {
    static Alert::Answerer answerer;
    return answerer;
}

}  // namespace

void Alert::setAnswerer(Answerer answerer) {
    CurrentAnswerer() = std::move(answerer);
}

int Alert::run(QWidget* window) const {
    if (CurrentAnswerer())
        return CurrentAnswerer()(*this);
    QMessageBox box(window);
    box.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box.setText(message);
    box.setInformativeText(informativeText);
    box.setIconPixmap(Images::named(iconName));
    QPushButton* primary = box.addButton(
        defaultButton.isEmpty() ? QStringLiteral("OK") : defaultButton, QMessageBox::AcceptRole);
    QPushButton* alternate = alternateButton.isEmpty()
                                 ? nullptr
                                 : box.addButton(alternateButton, QMessageBox::RejectRole);
    QPushButton* other =
        otherButton.isEmpty() ? nullptr : box.addButton(otherButton, QMessageBox::DestructiveRole);
    box.setDefaultButton(primary);
    // A sheet hangs from the bottom edge of its window's drawn title bar.
    if (auto* sheetWindow = qobject_cast<TCImageWindow*>(window)) {
        box.adjustSize();
        sheetWindow->placeSheet(&box);
    }
    box.exec();
    if (box.clickedButton() == primary)
        return 1;
    if (other && box.clickedButton() == other)
        return -1;
    // Closed without a button: the alternate answer, or the only one there is.
    return alternate ? 0 : 1;
}
