#include "Alert.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "Images.h"
#include "TCImageWindow.h"
#include "Tr.h"

namespace {

Alert::Answerer& CurrentAnswerer() {
    static Alert::Answerer answerer;
    return answerer;
}

}  // namespace

void Alert::setAnswerer(Answerer answerer) {
    CurrentAnswerer() = std::move(answerer);
}

Alert Alert::fromKeys(const char* message, const char* informative, const char* defaultKey,
                      const char* alternateKey, const char* otherKey) {
    Alert alert;
    alert.message = Tr(message);
    alert.informativeText = Tr(informative);
    alert.defaultButton = Tr(defaultKey);
    if (alternateKey != nullptr)
        alert.alternateButton = Tr(alternateKey);
    if (otherKey != nullptr)
        alert.otherButton = Tr(otherKey);
    return alert;
}

int Alert::run(QWidget* window) const {
    if (CurrentAnswerer())
        return CurrentAnswerer()(*this);
    const std::unique_ptr<QMessageBox> box = makeBox(window);
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    if (clicked == box->defaultButton())
        return 1;
    if (clicked && box->buttonRole(clicked) == QMessageBox::DestructiveRole)
        return -1;
    // Closed without a button: the alternate answer, or the only one there is.
    return alternateButton.isEmpty() ? 1 : 0;
}

std::unique_ptr<QMessageBox> Alert::makeBox(QWidget* window) const {
    auto box = std::make_unique<QMessageBox>(window);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setText(message);
    box->setInformativeText(informativeText);
    box->setIconPixmap(Images::named(iconName));
    QPushButton* primary = box->addButton(
        defaultButton.isEmpty() ? QStringLiteral("OK") : defaultButton, QMessageBox::AcceptRole);
    if (!alternateButton.isEmpty())
        box->addButton(alternateButton, QMessageBox::RejectRole);
    if (!otherButton.isEmpty())
        box->addButton(otherButton, QMessageBox::DestructiveRole);
    box->setDefaultButton(primary);
    // The box sizes itself by the message; a long explanation under a short
    // or missing one would wrap into a thin column.
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const int natural = informative->fontMetrics().horizontalAdvance(informativeText);
        informative->setMinimumWidth(std::min(natural, kInformativeWidth));
    }
    // A sheet hangs from the bottom edge of its window's drawn title bar.
    if (auto* sheetWindow = qobject_cast<TCImageWindow*>(window)) {
        box->adjustSize();
        sheetWindow->placeSheet(box.get());
    }
    return box;
}
