// The handle table, events, threads, waits, sleeps and process tokens.
#include "sync.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "kobject.h"
#include "module_internal.h"

namespace qp {

namespace {

// The pseudo handle of Windows for the calling process.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x1000;  // multiples of 4, as on Windows
};

// Never destroyed: handles may still be closed by destructors of other modules at exit.
HandleTable& Table() {
    static HandleTable* table = new HandleTable();
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    const uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released;  // dropped after the table's lock
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) return false;
    released = std::move(it->second);
    table.objects.erase(it);
    return true;
}

void Waitable::Set() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signaled = true;
    if (m_manual)
        m_cond.notify_all();
    else
        m_cond.notify_one();
}

void Waitable::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signaled = false;
}

bool Waitable::TryTake() {
    if (!m_signaled) return false;
    if (!m_manual) m_signaled = false;
    return true;
}

DWORD Waitable::Wait(DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (TryTake()) return WAIT_OBJECT_0;
    if (milliseconds == 0) return WAIT_TIMEOUT;
    auto taken = [&] { return TryTake(); };
    bool woke = true;
    if (milliseconds == INFINITE)
        m_cond.wait(lock, taken);
    else
        woke = m_cond.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds), taken);
    return woke ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

namespace {

class EventObject : public Waitable {
public:
    using Waitable::Waitable;
};

// Named events live as long as a handle to them is open.
struct NamedEvents {
    std::mutex mutex;
    std::unordered_map<std::string, std::weak_ptr<EventObject>> byName;
};

NamedEvents& Names() {
    static NamedEvents* names = new NamedEvents();
    return *names;
}

// Signalled (manual-reset) when the thread's routine has returned.
class ThreadObject : public Waitable {
public:
    ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD suspendCount)
        : Waitable(true, false), start(start), parameter(parameter), suspendCount(suspendCount) {}

    const LPTHREAD_START_ROUTINE start;
    const LPVOID parameter;

    std::mutex mutex;
    std::condition_variable cond;
    DWORD suspendCount;
    bool started = false;
    DWORD threadId = 0;
    // A reference on the module whose code the thread runs, dropped when the routine has returned,
    // so that freeing that module while the thread still runs in it cannot unmap its code.
    void* modulePin = nullptr;
};

void* PinModuleOf(const void* code) {
    Dl_info info;
    if (!dladdr(code, &info) || !info.dli_fname || !*info.dli_fname) return nullptr;
    return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
}

void* ThreadMain(void* arg) {
    std::shared_ptr<ThreadObject> self = std::move(*static_cast<std::shared_ptr<ThreadObject>*>(arg));
    delete static_cast<std::shared_ptr<ThreadObject>*>(arg);
    {
        std::unique_lock<std::mutex> lock(self->mutex);
        self->threadId = GetCurrentThreadId();
        self->started = true;
        self->cond.notify_all();
        self->cond.wait(lock, [&] { return self->suspendCount == 0; });
    }
    self->start(self->parameter);
    if (self->modulePin) CloseModuleHandle(self->modulePin);
    self->Set();
    return nullptr;
}

bool ValidPriority(int priority) {
    return (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
           priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL;
}

// A pseudo handle never becomes signalled while the caller can wait on it.
DWORD WaitForever(DWORD milliseconds) {
    if (milliseconds == INFINITE)
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return WAIT_TIMEOUT;
}

}  // namespace
}  // namespace qp

using qp::EventObject;
using qp::ThreadObject;

extern "C" HANDLE GetCurrentProcess(void) { return qp::kCurrentProcess; }

extern "C" DWORD GetCurrentThreadId(void) {
    thread_local DWORD id = static_cast<DWORD>(gettid());
    return id;
}

extern "C" HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_SUCCESS);
        return qp::InsertHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
    }
    qp::NamedEvents& names = qp::Names();
    std::lock_guard<std::mutex> lock(names.mutex);
    for (auto it = names.byName.begin(); it != names.byName.end();) {
        if (it->second.expired())
            it = names.byName.erase(it);
        else
            ++it;
    }
    if (auto existing = names.byName[name].lock()) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return qp::InsertHandle(existing);
    }
    auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
    names.byName[name] = event;
    SetLastError(ERROR_SUCCESS);
    return qp::InsertHandle(event);
}

namespace {
std::shared_ptr<EventObject> EventOf(HANDLE handle) {
    auto event = qp::LookupHandleAs<EventObject>(handle);
    if (!event) SetLastError(ERROR_INVALID_HANDLE);
    return event;
}
std::shared_ptr<ThreadObject> ThreadOf(HANDLE handle) {
    auto thread = qp::LookupHandleAs<ThreadObject>(handle);
    if (!thread) SetLastError(ERROR_INVALID_HANDLE);
    return thread;
}
}  // namespace

extern "C" BOOL SetEvent(HANDLE event) {
    auto object = EventOf(event);
    if (!object) return FALSE;
    object->Set();
    return TRUE;
}

extern "C" BOOL ResetEvent(HANDLE event) {
    auto object = EventOf(event);
    if (!object) return FALSE;
    object->Reset();
    return TRUE;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (handle == qp::kCurrentProcess) return qp::WaitForever(milliseconds);
    auto object = qp::LookupHandleAs<qp::Waitable>(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->Wait(milliseconds);
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    if (handle == qp::kCurrentProcess) return TRUE;
    if (qp::RemoveHandle(handle)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

extern "C" HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                               DWORD flags, LPDWORD threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>(start, parameter, (flags & CREATE_SUSPENDED) ? 1u : 0u);
    thread->modulePin = qp::PinModuleOf(reinterpret_cast<const void*>(start));

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stackSize > 0) {
        // Windows rounds to its 64 KiB allocation granularity; do likewise, which also keeps
        // the size above PTHREAD_STACK_MIN and a multiple of the page size.
        const SIZE_T granularity = 64 * 1024;
        SIZE_T size = (stackSize + granularity - 1) / granularity * granularity;
        if (size < static_cast<SIZE_T>(PTHREAD_STACK_MIN)) size = PTHREAD_STACK_MIN;
        pthread_attr_setstacksize(&attr, size);
    }
    auto* arg = new std::shared_ptr<ThreadObject>(thread);
    pthread_t id;
    const int rc = pthread_create(&id, &attr, qp::ThreadMain, arg);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete arg;
        if (thread->modulePin) qp::CloseModuleHandle(thread->modulePin);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD tid;
    {
        std::unique_lock<std::mutex> lock(thread->mutex);
        thread->cond.wait(lock, [&] { return thread->started; });
        tid = thread->threadId;
    }
    if (threadId) *threadId = tid;
    return qp::InsertHandle(thread);
}

extern "C" DWORD ResumeThread(HANDLE handle) {
    auto thread = ThreadOf(handle);
    if (!thread) return static_cast<DWORD>(-1);
    std::lock_guard<std::mutex> lock(thread->mutex);
    const DWORD previous = thread->suspendCount;
    if (previous > 0 && --thread->suspendCount == 0) thread->cond.notify_all();
    return previous;
}

extern "C" BOOL SetThreadPriority(HANDLE handle, int priority) {
    if (!qp::ValidPriority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ThreadOf(handle) ? TRUE : FALSE;
}

extern "C" void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    qp::WaitForever(milliseconds);
}

extern "C" BOOL OpenProcessToken(HANDLE process, DWORD, PHANDLE token) {
    if (process != qp::kCurrentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!token) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *token = qp::InsertHandle(std::make_shared<qp::TokenObject>());
    return TRUE;
}
