// platform/sys/win32/thread_win32.cpp: detached threads, sleeping and unloading libraries on
// Win32.
#include <windows.h>

#include <atomic>
#include <new>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"

namespace platform::sys {

namespace {

std::atomic<bool> g_failThreads{false};

struct Start {
    ThreadMain entry;
    void* argument;
};

DWORD WINAPI Trampoline(void* p) {
    Start start = *static_cast<Start*>(p);
    delete static_cast<Start*>(p);
    start.entry(start.argument);
    return 0;
}

}  // namespace

bool CreateDetachedThread(ThreadMain entry, void* argument, std::size_t stack_bytes) {
    if (!entry || g_failThreads.load()) return false;
    auto* start = new (std::nothrow) Start{entry, argument};
    if (!start) return false;
    // The size is the stack's reservation, so the whole of it is usable (a commit size would
    // be rounded up to the executable's default reservation, 2 MB with this toolchain, anyway).
    HANDLE thread = ::CreateThread(nullptr, stack_bytes, Trampoline, start,
                                   stack_bytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0,
                                   nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    ::CloseHandle(thread);  // detached: nobody waits for it
    return true;
}

void InjectThreadCreationFailure(bool fail) { g_failThreads.store(fail); }

void SleepMs(std::uint32_t ms) {
    if (ms == 0) {
        ::SwitchToThread();
        return;
    }
    ::Sleep(ms);
}

void FreeDynamicLibrary(void* handle) {
    if (handle) ::FreeLibrary(static_cast<HMODULE>(handle));
}

}  // namespace platform::sys
