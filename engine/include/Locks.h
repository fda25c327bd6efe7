#pragma once

#include <pthread.h>

// Base of objects that must never be copied.
class none_copyable {
public:
    none_copyable() = default;
    none_copyable(const none_copyable&) = delete;
    none_copyable& operator=(const none_copyable&) = delete;
    virtual ~none_copyable() = default;
};

// A plain (not recursive) mutex.
class mutex_locker : public none_copyable {
public:
    mutex_locker() { pthread_mutex_init(&mutex_, nullptr); }
    ~mutex_locker() override { pthread_mutex_destroy(&mutex_); }
    void lock() { pthread_mutex_lock(&mutex_); }
    void un_lock() { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};

// Holds a lock for its scope.
template <class Locker>
class autolocker : public none_copyable {
public:
    explicit autolocker(Locker& locker) : locker_(locker) { locker_.lock(); }
    ~autolocker() override { locker_.un_lock(); }

private:
    Locker& locker_;
};

// A condition variable with its own mutex. wait() must be called with the
// mutex held, inside a loop that tests the awaited condition.
class cond_locker : public none_copyable {
public:
    cond_locker() {
        pthread_mutex_init(&mutex_, nullptr);
        pthread_cond_init(&cond_, nullptr);
    }
    ~cond_locker() override {
        pthread_cond_destroy(&cond_);
        pthread_mutex_destroy(&mutex_);
    }
    void lock() { pthread_mutex_lock(&mutex_); }
    void un_lock() { pthread_mutex_unlock(&mutex_); }
    void wait() { pthread_cond_wait(&cond_, &mutex_); }
    void signal() { pthread_cond_signal(&cond_); }
    void broadcast() { pthread_cond_broadcast(&cond_); }

private:
    pthread_mutex_t mutex_;
    pthread_cond_t cond_;
};

// A recursive mutex. The tag names the caller for diagnostics only.
class SimpleCs {
public:
    SimpleCs();
    ~SimpleCs();
    SimpleCs(const SimpleCs&) = delete;
    SimpleCs& operator=(const SimpleCs&) = delete;

    void EnterCS(const char* tag = nullptr);
    void LeaveCS();

private:
    pthread_mutex_t mutex_;
};

// Enters a SimpleCs (when not null) for its scope.
class SimpleLock {
public:
    explicit SimpleLock(SimpleCs* cs, const char* tag = nullptr) : cs_(cs) {
        if (cs_)
            cs_->EnterCS(tag);
    }
    ~SimpleLock() {
        if (cs_)
            cs_->LeaveCS();
    }
    SimpleLock(const SimpleLock&) = delete;
    SimpleLock& operator=(const SimpleLock&) = delete;

private:
    SimpleCs* cs_;
};
