// Counts the heap allocations a process makes once the show runs: an LD_PRELOAD
// library that interposes malloc, calloc, realloc and operator new. Counting
// starts at the first tick (the first glutPostRedisplay: loading is over) and
// stops when exit is called. Each allocation is charged to its immediate caller,
// or, when that lies in libstdc++ or libc (strdup and the like), to the first
// caller outside them (the code the library call works for). The report, written when exit is
// called (every library still loaded) to the file named by K3L_ALLOC_REPORT, has
// "allocations N" and one "caller COUNT OBJECT SYMBOL+OFFSET" line per call site;
// OBJECT is "[show]" for the executable itself.
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
constexpr int STACK_DEPTH = 12;  // frames looked at to get past libstdc++

// An object's address range.
struct Range {
    uintptr_t begin = 0;
    uintptr_t end = 0;
    bool holds(uintptr_t address) const { return address >= begin && address < end; }
};
// libstdc++'s, libc's and this library's loaded segments, and the executable's load address:
// written once at the first tick, before counting starts, read by every allocation and the report.
Range libstdcxx;
Range libc;
Range self;
// Whether this thread is inside note already (the unwinder may allocate): the thread's own.
thread_local bool inNote __attribute__((tls_model("initial-exec"))) = false;
uintptr_t executableBase = 0;
// Whether the report was written: set by the report, at exit or in the destructor.
std::atomic<bool> reported{false};

// Finds the ranges of libstdc++ and of this library, and the executable's load address.
int noteObject(dl_phdr_info* info, size_t, void*)
{
    const bool first = executableBase == 0 && (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0');
    if (first) {
        executableBase = static_cast<uintptr_t>(info->dlpi_addr);
    }
    Range range;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) {
            continue;
        }
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        const uintptr_t end = begin + segment.p_memsz;
        range.begin = range.begin == 0 || begin < range.begin ? begin : range.begin;
        range.end = end > range.end ? end : range.end;
    }
    if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libstdc++") != nullptr) {
        libstdcxx = range;
    }
    if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "/libc.so") != nullptr) {
        libc = range;
    }
    if (range.holds(reinterpret_cast<uintptr_t>(&noteObject))) {
        self = range;
    }
    return 0;
}

// Adds one to the count of a call site (defined below).
void place(uintptr_t key);

// Charges one allocation to the call site at `address`.
void note(void* address)
{
    if (!counting.load(std::memory_order_relaxed) || inNote) {
        return;
    }
    inNote = true;
    allocations.fetch_add(1);
    uintptr_t key = reinterpret_cast<uintptr_t>(address);
    if (libstdcxx.holds(key) || libc.holds(key)) {
        void* frames[STACK_DEPTH];
        const int depth = backtrace(frames, STACK_DEPTH);
        for (int i = 0; i < depth; ++i) {
            const uintptr_t frame = reinterpret_cast<uintptr_t>(frames[i]);
            if (!libstdcxx.holds(frame) && !libc.holds(frame) && !self.holds(frame)) {
                key = frame;
                break;
            }
        }
    }
    place(key);
    inNote = false;
}

// Adds one to the count of the call site `key`.
void place(uintptr_t key)
{
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
void writeReport()
{
    counting.store(false);
    if (reported.exchange(true)) {
        return;
    }
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
        const bool show = info.dli_fbase != nullptr && reinterpret_cast<uintptr_t>(info.dli_fbase) == executableBase;
        dprintf(fd, "caller %lld %s %s+0x%llx\n", static_cast<long long>(callerCount[slot].load()),
                show ? "[show]" : info.dli_fname != nullptr ? info.dli_fname : "?",
                info.dli_sname != nullptr ? info.dli_sname : "?",
                static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(
                    info.dli_saddr != nullptr ? info.dli_saddr : info.dli_fbase)));
    }
    close(fd);
}

// A process that ends without calling exit still leaves its report.
__attribute__((destructor)) void reportAtUnload()
{
    writeReport();
}

}  // namespace

// The C allocation calls, counted, then served by the C library's own.
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
    if (executableBase == 0) {
        void* frames[STACK_DEPTH];
        backtrace(frames, STACK_DEPTH);  // loads the unwinder now, not inside a counted allocation
        dl_iterate_phdr(noteObject, nullptr);
    }
    counting.store(true);
    if (function != nullptr) {
        function();
    }
}

// The process is leaving: what it frees or allocates from here on is not the show running.
extern "C" [[noreturn]] void exit(int status) noexcept
{
    writeReport();
    using Function = void (*)(int);
    static Function real = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "exit"));
    real(status);
    __builtin_unreachable();
}
