#include "platform/src/threads.h"
#include "platform/kd.h"

#include <pthread.h>

namespace {

struct ThreadRecord {
    pthread_t thread;
};

pthread_key_t g_recordKey;
pthread_key_t g_appKey;
bool g_started = false;
ThreadRecord g_mainThread;

} // namespace

namespace platform {

void startThreads() {
    if (g_started) return;
    if (pthread_key_create(&g_recordKey, nullptr) != 0) return;
    if (pthread_key_create(&g_appKey, nullptr) != 0) {
        pthread_key_delete(g_recordKey);
        return;
    }
    g_started = true;
    g_mainThread.thread = pthread_self();
    pthread_setspecific(g_recordKey, &g_mainThread);
}

void stopThreads() {
    if (!g_started) return;
    pthread_key_delete(g_appKey);
    pthread_key_delete(g_recordKey);
    g_started = false;
}

} // namespace platform

void kdSetTLS(void* ptr) {
    if (g_started) pthread_setspecific(g_appKey, ptr);
}

void* kdGetTLS() {
    return g_started ? pthread_getspecific(g_appKey) : nullptr;
}
