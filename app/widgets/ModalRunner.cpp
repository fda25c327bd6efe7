#include "ModalRunner.h"

#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace ModalRunner {

namespace {

struct Session {
    QPointer<QWidget> window;
    QEventLoop* loop;
};

std::vector<Session>& Sessions() {
    static std::vector<Session> sessions;
    return sessions;
}

}  // namespace

int runModalForWindow(QWidget* window) {
    QEventLoop loop;
    const Qt::WindowModality previous = window->windowModality();
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    Sessions().push_back({window, &loop});
    const int code = loop.exec();
    if (window)
        window->setWindowModality(previous);
    return code;
}

void stopModal(int code) {
    if (Sessions().empty())
        return;
    Session session = Sessions().back();
    Sessions().pop_back();
    session.loop->exit(code);
}

void stopModal(QWidget* window, int code) {
    while (isRunning(window))
        stopModal(Sessions().back().window == window ? code : 0);
}

bool isRunning(const QWidget* window) {
    for (const Session& session : Sessions())
        if (session.window == window)
            return true;
    return false;
}

int depth() {
    return static_cast<int>(Sessions().size());
}

}  // namespace ModalRunner
