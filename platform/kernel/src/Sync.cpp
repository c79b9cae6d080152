#include "kernel/Sync.h"

#include <pthread.h>

#include <new>

#include "kernel/Errors.h"

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::Opaque));
static_assert(alignof(pthread_mutex_t) <= alignof(CRITICAL_SECTION));

namespace {

pthread_mutex_t* LockOf(LPCRITICAL_SECTION section) {
    return reinterpret_cast<pthread_mutex_t*>(section->Opaque);
}

} // namespace

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = kernel::FindHandleAs<kernel::Waitable>(hHandle);
    if (!object)
        return kernel::Fail(ERROR_INVALID_HANDLE, static_cast<DWORD>(WAIT_FAILED));
    return object->Wait(dwMilliseconds);
}

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection)
        return;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (lpCriticalSection->Opaque) pthread_mutex_t, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (lpCriticalSection)
        pthread_mutex_destroy(LockOf(lpCriticalSection));
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (lpCriticalSection)
        pthread_mutex_lock(LockOf(lpCriticalSection));
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (lpCriticalSection)
        pthread_mutex_unlock(LockOf(lpCriticalSection));
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    return lpCriticalSection && pthread_mutex_trylock(LockOf(lpCriticalSection)) == 0 ? TRUE : FALSE;
}
