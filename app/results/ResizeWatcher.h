#pragma once

// Calls back whenever the watched widget changes size.

#include <QEvent>
#include <QObject>

#include <functional>
#include <utility>

class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QObject* watched, std::function<void()> resized)
        : QObject(watched), resized_(std::move(resized)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            resized_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> resized_;
};
