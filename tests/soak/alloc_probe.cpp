// Counts the heap allocations a process makes once the show runs: an LD_PRELOAD
// library that interposes malloc, calloc, realloc and operator new. Counting
// starts at the first tick (the first glutPostRedisplay: loading is over) and
// stops when exit is called. Each allocation is charged to its immediate caller;
// the report, written as the process ends to the file named by K3L_ALLOC_REPORT,
// has "allocations N" and one "caller COUNT OBJECT SYMBOL" line per call site.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {

constexpr int CALLER_SLOTS = 4096;  // distinct call sites remembered; a power of two

// Whether allocations count now: set by the first tick, cleared by exit.
std::atomic<bool> counting{false};
// Allocations counted: written by every thread's allocations, read by the report.
std::atomic<int64_t> allocations{0};
// Call sites and their counts, open addressing on the address: written by allocations, read by the report.
std::atomic<uintptr_t> callerAddress[CALLER_SLOTS];
std::atomic<int64_t> callerCount[CALLER_SLOTS];
// Allocations whose call site found no free slot: written by allocations, read by the report.
std::atomic<int64_t> unplaced{0};

// Charges one allocation to the call site at `address`.
void note(void* address)
{
    if (!counting.load(std::memory_order_relaxed)) {
        return;
    }
    allocations.fetch_add(1);
    const uintptr_t key = reinterpret_cast<uintptr_t>(address);
    for (int probe = 0; probe < CALLER_SLOTS; ++probe) {
        const int slot = static_cast<int>((key >> 4) + static_cast<uintptr_t>(probe)) & (CALLER_SLOTS - 1);
        uintptr_t expected = 0;
        if (callerAddress[slot].load() == key ||
            callerAddress[slot].compare_exchange_strong(expected, key) || expected == key) {
            callerCount[slot].fetch_add(1);
            return;
        }
    }
    unplaced.fetch_add(1);
}

// Writes the report, once counting has stopped.
__attribute__((destructor)) void writeReport()
{
    counting.store(false);
    const char* path = std::getenv("K3L_ALLOC_REPORT");
    if (path == nullptr) {
        return;
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return;
    }
    dprintf(fd, "allocations %lld\nunplaced %lld\n", static_cast<long long>(allocations.load()),
            static_cast<long long>(unplaced.load()));
    for (int slot = 0; slot < CALLER_SLOTS; ++slot) {
        const uintptr_t address = callerAddress[slot].load();
        if (address == 0) {
            continue;
        }
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(address), &info);
        dprintf(fd, "caller %lld %s %s+0x%llx\n", static_cast<long long>(callerCount[slot].load()),
                info.dli_fname != nullptr ? info.dli_fname : "?", info.dli_sname != nullptr ? info.dli_sname : "?",
                static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(
                    info.dli_saddr != nullptr ? info.dli_saddr : info.dli_fbase)));
    }
    close(fd);
}

}  // namespace

extern "C" void* malloc(size_t size) noexcept
{
    note(__builtin_return_address(0));
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) noexcept
{
    note(__builtin_return_address(0));
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size) noexcept
{
    note(__builtin_return_address(0));
    return __libc_realloc(block, size);
}

// operator new in its plain forms: charged to the code that says `new`.
void* operator new(size_t size)
{
    note(__builtin_return_address(0));
    void* block = __libc_malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](size_t size)
{
    note(__builtin_return_address(0));
    void* block = __libc_malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    note(__builtin_return_address(0));
    return __libc_malloc(size == 0 ? 1 : size);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    note(__builtin_return_address(0));
    return __libc_malloc(size == 0 ? 1 : size);
}

// The first tick: loading is over, counting starts.
extern "C" void glutPostRedisplay()
{
    using Function = void (*)();
    static std::atomic<Function> real{nullptr};
    Function function = real.load();
    if (function == nullptr) {
        function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "glutPostRedisplay"));
        real.store(function);
    }
    counting.store(true);
    if (function != nullptr) {
        function();
    }
}

// The process is leaving: what it frees or allocates from here on is not the show running.
extern "C" [[noreturn]] void exit(int status) noexcept
{
    counting.store(false);
    using Function = void (*)(int);
    static Function real = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "exit"));
    real(status);
    __builtin_unreachable();
}
