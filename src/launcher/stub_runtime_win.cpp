// The C++ runtime's failure paths and support routines, made small for the
// launcher stubs (linked into launcher-gui.exe and launcher-console.exe only).
//
// The launcher throws and catches nothing and is compiled without exception
// support. The C++ library is not: its string code names the exception
// runtime, its containers report a broken precondition (a size past the
// maximum, substr past the end) by throwing, and an exception nobody catches
// ends in std::terminate, whose default handler demangles the exception's
// type name before it aborts. Linked as it is, that runtime (unwinder,
// exception allocator, per-thread exception state and with it a POSIX
// threads library, the demangler, the exception classes with their own
// string type) is well over a third of a stub. Here:
// - every library failure that would throw ends the process the way the
//   uncaught exception did: one line on standard error, then abort();
// - operator new, which would throw std::bad_alloc, does the same when
//   memory runs out (the launcher installs no new-handler);
// - so no C++ exception is ever in flight, and the handful of exception
//   routines that the library's code names are never reached; the
//   personality routine, which Windows may still call for a structured
//   exception (an access violation) passing a library frame, declines it,
//   so such a fault goes on to the system as it would from the launcher's
//   own code;
// - function-local statics are guarded by a critical section instead of the
//   library's POSIX threads primitives.
//
// These definitions are objects of the stubs, linked ahead of the C++
// library, so the library's members that define the same names are not
// pulled in. Should a library member still be needed for a name that is
// missing here, the link fails with a duplicate definition instead of
// growing silently, and the stub size test guards the rest.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void failHard(const char* what) {
    std::fputs("terminate called: ", stderr);
    std::fputs(what ? what : "", stderr);
    std::fputc('\n', stderr);
    std::abort();
}

}  // namespace

// ---- Library failures that would throw.

namespace __gnu_cxx {
// The handler std::terminate calls unless the program sets another.
void __verbose_terminate_handler() { failHard("unhandled C++ exception"); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { failHard("out of memory"); }
void __throw_bad_array_new_length() { failHard("bad array new length"); }
void __throw_bad_cast() { failHard("bad cast"); }
void __throw_bad_typeid() { failHard("bad typeid"); }
void __throw_bad_exception() { failHard("bad exception"); }
void __throw_logic_error(const char* what) { failHard(what); }
void __throw_domain_error(const char* what) { failHard(what); }
void __throw_invalid_argument(const char* what) { failHard(what); }
void __throw_length_error(const char* what) { failHard(what); }
void __throw_out_of_range(const char* what) { failHard(what); }
// The format's arguments are not expanded: the message names the operation.
void __throw_out_of_range_fmt(const char* format, ...) { failHard(format); }
void __throw_runtime_error(const char* what) { failHard(what); }
void __throw_range_error(const char* what) { failHard(what); }
void __throw_overflow_error(const char* what) { failHard(what); }
void __throw_underflow_error(const char* what) { failHard(what); }
}  // namespace std

// ---- Allocation.

void* operator new(std::size_t size) {
    void* memory = std::malloc(size ? size : 1);
    if (!memory) failHard("out of memory");
    return memory;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

// ---- The exception routines the library's code names.

extern "C" {

// Called by Windows for a frame of the library's code while an exception is
// dispatched: no C++ exception exists, so nothing here handles it.
EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT, PDISPATCHER_CONTEXT) {
    return ExceptionContinueSearch;
}

// Reached only from handlers that the routine above never selects.
[[noreturn]] void _Unwind_Resume(void*) { failHard("unwinding without exceptions"); }
void* __cxa_begin_catch(void*) { failHard("catch without exceptions"); }
void __cxa_end_catch() { failHard("catch without exceptions"); }
[[noreturn]] void __cxa_rethrow() { failHard("rethrow without exceptions"); }

}  // extern "C"

// ---- Function-local statics.
//
// The compiler tests the guard's first byte itself (acquire) and calls in
// only while it is 0; the initialiser runs between acquire (returned 1) and
// release. One recursive lock serves every guard: an initialiser may start
// another static's initialisation on its own thread, and other threads wait
// for it without polling. The launcher's initialisers are small allocations,
// so sharing the lock costs nothing.
namespace {
CRITICAL_SECTION gGuardLock;
INIT_ONCE gGuardLockOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK initGuardLock(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&gGuardLock);
    return TRUE;
}

bool guardDone(const long long* guard) {
    return __atomic_load_n(reinterpret_cast<const char*>(guard), __ATOMIC_ACQUIRE) != 0;
}
}  // namespace

extern "C" int __cxa_guard_acquire(long long* guard) {
    if (guardDone(guard)) return 0;
    InitOnceExecuteOnce(&gGuardLockOnce, initGuardLock, nullptr, nullptr);
    EnterCriticalSection(&gGuardLock);
    if (!guardDone(guard)) return 1;  // the caller initialises, then releases
    LeaveCriticalSection(&gGuardLock);
    return 0;
}

extern "C" void __cxa_guard_release(long long* guard) {
    __atomic_store_n(reinterpret_cast<char*>(guard), 1, __ATOMIC_RELEASE);
    LeaveCriticalSection(&gGuardLock);
}

// Only reached when an initialiser throws, which nothing in the launcher does.
extern "C" void __cxa_guard_abort(long long*) { LeaveCriticalSection(&gGuardLock); }
