#pragma once

// The application object: gives the standard editing shortcuts (Ctrl with
// X, C, V, Z, A, also with Shift) to the focused widget whenever it has the
// matching slot (cut, copy, paste, undo, selectAll), even where no menu item
// carries them.

#include <QApplication>

class QKeyEvent;

class MyNSApplication : public QApplication {
    Q_OBJECT
public:
    MyNSApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override;

    // Sends the editing action `event` stands for to `focus`; false when the
    // event is no such shortcut or `focus` has no slot for it.
    static bool sendEditingAction(const QKeyEvent& event, QObject* focus);
};
