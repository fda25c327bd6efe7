#include "MyNSApplication.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QWidget>

bool MyNSApplication::sendEditingAction(const QKeyEvent& event, QObject* focus) {
    if (focus == nullptr)
        return false;
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (modifiers != Qt::ControlModifier && modifiers != (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    const char* action = nullptr;
    switch (event.key()) {
        case Qt::Key_X:
            action = "cut";
            break;
        case Qt::Key_C:
            action = "copy";
            break;
        case Qt::Key_V:
            action = "paste";
            break;
        case Qt::Key_Z:
            action = "undo";
            break;
        case Qt::Key_A:
            action = "selectAll";
            break;
        default:
            return false;
    }
    const QMetaObject* meta = focus->metaObject();
    if (meta->indexOfMethod(QMetaObject::normalizedSignature(QByteArray(action) + "()")) < 0)
        return false;
    return QMetaObject::invokeMethod(focus, action, Qt::DirectConnection);
}

bool MyNSApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        sendEditingAction(*static_cast<QKeyEvent*>(event), focusWidget()))
        return true;
    return QApplication::notify(receiver, event);
}
