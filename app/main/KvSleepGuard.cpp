#include "KvSleepGuard.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

constexpr int kAskLimitMs = 2000;

}  // namespace

bool KvSleepGuard::PreventSleep() {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    ask << QStringLiteral("idle") << QStringLiteral("Harbex") << QStringLiteral("Harbex is running")
        << QStringLiteral("block");
    const QDBusMessage answer = QDBusConnection::systemBus().call(ask, QDBus::Block, kAskLimitMs);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        qWarning("The machine may sleep during a scan: %s", qPrintable(answer.errorMessage()));
        return false;
    }
    lock_ = answer.arguments().first().value<QDBusUnixFileDescriptor>();
    return lock_.isValid();
}

void KvSleepGuard::ReleasePreventObj() {
    // Closing our copy of the descriptor ends the lock.
    lock_ = QDBusUnixFileDescriptor();
}
