// platform/sys/win32/thread_win32.cpp: detached threads, sleeping and unloading libraries on
// Win32.
#include <windows.h>

#include "platform/sys/sys.h"
#include "platform/sys/sys_testing.h"
#include "platform/sys/thread_start.h"
#include "platform/sys/time_source.h"

namespace platform::sys {

namespace {

DWORD WINAPI Trampoline(void* p) {
    internal::RunThreadStart(p);
    return 0;
}

}  // namespace

bool CreateDetachedThread(ThreadMain entry, void* argument, std::size_t stack_bytes) {
    internal::ThreadStart* start = internal::NewThreadStart(entry, argument);
    if (!start) return false;
    // The size is the stack's reservation: the stack holds at least that much (taken as a
    // commit size it would only say how much is committed up front).
    HANDLE thread = ::CreateThread(nullptr, stack_bytes, Trampoline, start,
                                   stack_bytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0,
                                   nullptr);
    if (!thread) {
        internal::DropThreadStart(start);
        return false;
    }
    ::CloseHandle(thread);  // detached: nobody waits for it
    return true;
}

void InjectThreadCreationFailure(bool fail) { internal::g_failThreads.store(fail); }

void SleepMs(std::uint32_t ms) {
    if (TimeSource* source = internal::ActiveTimeSource()) {
        source->Sleep(ms);
        return;
    }
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
