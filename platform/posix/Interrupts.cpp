#include "platform/Interrupts.h"

#include <signal.h>

#include <atomic>

namespace platform {
namespace {

std::atomic<int> counted{0};

void count(int signal) {
    counted += signal == SIGINT ? 1 : 2;
}

}  // namespace

void watchInterruptions() {
    struct sigaction action {};
    action.sa_handler = count;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for the operator's answer returns.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int interruptions() {
    return counted;
}

}  // namespace platform
