#include "platform/Interrupts.h"

#include <windows.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<int> counted{0};

BOOL WINAPI count(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            ++counted;
            return TRUE;
        case CTRL_CLOSE_EVENT:
            counted += 2;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void watchInterruptions() {
    SetConsoleCtrlHandler(count, TRUE);
}

int interruptions() {
    return counted;
}

}  // namespace platform
