#pragma once

// Keeps the machine from going idle to sleep while the program runs: an
// "idle" inhibitor lock of the login manager, held until released.

#include <QDBusUnixFileDescriptor>

class KvSleepGuard {
public:
    // Takes the lock; false when the login manager could not be asked (the
    // program runs on without it).
    bool PreventSleep();
    void ReleasePreventObj();
    bool holding() const { return lock_.isValid(); }

private:
    QDBusUnixFileDescriptor lock_;
};
