#include "platform/interrupt.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vandrel {

namespace {

// The one value a signal handler may set: it is all the handler does, and
// what the readings of the inputs poll.
volatile std::sig_atomic_t interrupted = 0;

#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    // A second event falls through to the default handler, which ends the
    // process.
    if (interrupted != 0) return FALSE;
    interrupted = 1;
    return TRUE;
}
#else
extern "C" void on_signal(int sig) {
    if (interrupted != 0) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    interrupted = 1;
}
#endif

}  // namespace

void catch_interrupts() {
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    for (int sig : {SIGINT, SIGTERM}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;  // a write cut short would be taken for a failed one
        sigaction(sig, &sa, nullptr);
    }
#endif
}

bool interrupt_requested() { return interrupted != 0; }

}  // namespace vandrel
