#include "hostsim/script/watchdog.h"

#include <dlfcn.h>
#include <duktape.h>
#include <link.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/log.h"

// The thread sanitizer delivers signals late, at its own points (not where they arrived), so
// the test of where the signal found the thread would not hold there.
#if defined(__SANITIZE_THREAD__)
#define QLO_SCRIPT_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QLO_SCRIPT_TSAN 1
#endif
#endif

namespace qlo::hostsim::script::watchdog {

namespace {

#if defined(QLO_SCRIPT_TSAN)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// Repeats of the timer after the deadline, until the signal finds the engine in its own code.
constexpr long kRetryNanoseconds = 2'000'000;

// The executable segments of the Duktape library.
struct CodeRange {
    std::uintptr_t begin;
    std::uintptr_t end;
};
CodeRange g_ranges[8];
int g_rangeCount = 0;
bool g_available = false;
int g_signal = 0;

thread_local RunState* t_current __attribute__((tls_model("initial-exec"))) = nullptr;

// The timer that signals this thread.
struct ThreadTimer {
    bool created = false;
    timer_t id{};
    ~ThreadTimer() {
        if (created) timer_delete(id);
    }
};
thread_local ThreadTimer t_timer;

double MonotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

#if defined(__x86_64__) || defined(__aarch64__)
constexpr bool kPcReadable = true;
#else
constexpr bool kPcReadable = false;
#endif

std::uintptr_t InterruptedPc(void* context) {
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return 0;
#endif
}

bool InEngineCode(std::uintptr_t pc) {
    for (int i = 0; i < g_rangeCount; ++i) {
        if (pc >= g_ranges[i].begin && pc < g_ranges[i].end) return true;
    }
    return false;
}

void OnTimerSignal(int, siginfo_t*, void* context) {
    const int savedErrno = errno;
    RunState* run = t_current;
    if (run != nullptr && run->guarded != 0 && run->inHostCall == 0 &&
        MonotonicNow() >= run->deadline && InEngineCode(InterruptedPc(context))) {
        run->guarded = 0;
        run->abortReason = kAbortTimedOut;
        siglongjmp(run->jump, 1);
    }
    errno = savedErrno;
}

struct Search {
    std::uintptr_t address;
    bool found;
};

// Finds the loaded object that holds `address` and records its executable segments, when it
// is the Duktape library (never the program itself: its own code must not be cut off).
int CollectRanges(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    bool holds = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
        if (ph.p_type == PT_LOAD && search->address >= begin && search->address < begin + ph.p_memsz) {
            holds = true;
        }
    }
    if (!holds) return 0;
    search->found = true;
    if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, "duktape") == nullptr) return 1;
    for (int i = 0; i < info->dlpi_phnum && g_rangeCount < 8; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || (ph.p_flags & PF_X) == 0) continue;
        const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
        g_ranges[g_rangeCount++] = CodeRange{begin, begin + ph.p_memsz};
    }
    return 1;
}

void Prepare() {
    if (kThreadSanitizer) {
        log::Log("[host] scripts run without a time limit in this build (thread sanitizer)");
        return;
    }
    void* symbol = dlsym(RTLD_DEFAULT, "duk_create_heap");
    Search search{reinterpret_cast<std::uintptr_t>(symbol), false};
    if (symbol != nullptr) dl_iterate_phdr(&CollectRanges, &search);
    if (g_rangeCount == 0 || !kPcReadable) {
        log::Log("[host] scripts run without a time limit: the script engine's code was not found");
        return;
    }
    g_signal = SIGRTMIN + 7;
    struct sigaction action {};
    action.sa_sigaction = &OnTimerSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (sigaction(g_signal, &action, nullptr) != 0) {
        log::Log("[host] scripts run without a time limit: %s", std::strerror(errno));
        return;
    }
    g_available = true;
}

bool EnsureTimer() {
    if (t_timer.created) return true;
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = g_signal;
    event._sigev_un._tid = gettid();
    if (timer_create(CLOCK_MONOTONIC, &event, &t_timer.id) != 0) return false;
    t_timer.created = true;
    return true;
}

void ArmFor(const RunState* run) {
    if (!g_available || !EnsureTimer()) return;
    itimerspec setting{};
    if (run != nullptr && run->guarded != 0) {
        const double whole = static_cast<double>(static_cast<long long>(run->deadline));
        setting.it_value.tv_sec = static_cast<time_t>(whole);
        setting.it_value.tv_nsec = static_cast<long>((run->deadline - whole) * 1e9);
        setting.it_interval.tv_nsec = kRetryNanoseconds;
    }
    timer_settime(t_timer.id, TIMER_ABSTIME, &setting, nullptr);
}

}  // namespace

bool TimeLimitAvailable() {
    static std::once_flag once;
    std::call_once(once, &Prepare);
    return g_available;
}

void Enter(RunState* run, double timeoutSeconds) {
    TimeLimitAvailable();
    run->outer = t_current;
    run->deadline = MonotonicNow() + timeoutSeconds;
    run->abortReason = kNotAborted;
    run->inHostCall = 0;
    t_current = run;
    run->guarded = 1;
    ArmFor(run);
}

void Leave(RunState* run) {
    run->guarded = 0;
    t_current = run->outer;
    ArmFor(t_current);
}

RunState* Current() {
    return t_current;
}

void BeginHostCall() {
    if (RunState* run = t_current) run->inHostCall = run->inHostCall + 1;
}

void EndHostCall() {
    if (RunState* run = t_current) run->inHostCall = run->inHostCall - 1;
}

void OnFatal(void*, const char* message) {
    RunState* run = t_current;
    if (run != nullptr && run->guarded != 0 && run->inHostCall == 0) {
        std::strncpy(run->fatalMessage, message != nullptr ? message : "fatal error",
                     sizeof run->fatalMessage - 1);
        run->guarded = 0;
        run->abortReason = kAbortFatal;
        siglongjmp(run->jump, 1);
    }
    log::Log("[host] script engine fatal error: %s", message != nullptr ? message : "(none)");
    std::abort();
}

}  // namespace qlo::hostsim::script::watchdog
