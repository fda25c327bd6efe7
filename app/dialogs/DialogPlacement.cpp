#include "DialogPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ModalRunner.h"

void CenterOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window->geometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void RunCentredModal(QWidget* dialog, QWidget* returnTo) {
    CenterOnScreen(dialog);
    ModalRunner::runModalForWindow(dialog);
    if (returnTo != nullptr)
        returnTo->activateWindow();
}
