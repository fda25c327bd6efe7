#include "Locks.h"

SimpleCs::SimpleCs() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex_, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

SimpleCs::~SimpleCs() {
    pthread_mutex_destroy(&mutex_);
}

void SimpleCs::EnterCS(const char* /*tag*/) {
    pthread_mutex_lock(&mutex_);
}

void SimpleCs::LeaveCS() {
    pthread_mutex_unlock(&mutex_);
}
