// Internal to the platform library: the objects behind HANDLE values and the table that maps the
// values to them. Not part of the API that other modules see.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "wintypes.h"

namespace qp {

// Anything a HANDLE can stand for. CloseHandle drops the table's reference; the object lives on
// while a waiter or a running thread still holds one.
class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// An object that can be waited on: signalled or not, and either manual-reset (stays signalled
// until reset) or auto-reset (the one waiter that wakes takes the signal with it).
class Waitable : public KernelObject {
public:
    Waitable(bool manualReset, bool initialState) : m_manual(manualReset), m_signaled(initialState) {}

    void Set();
    void Reset();
    // WAIT_OBJECT_0 or WAIT_TIMEOUT.
    DWORD Wait(DWORD milliseconds);

private:
    bool TryTake();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    const bool m_manual;
    bool m_signaled;
};

// What OpenProcessToken hands out: it stands for the calling user and carries nothing else.
class TokenObject : public KernelObject {};

// Puts the object in the table and returns its new handle value. Values are never reused, so a
// stale handle fails instead of reaching another object.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
bool RemoveHandle(HANDLE handle);

}  // namespace qp
