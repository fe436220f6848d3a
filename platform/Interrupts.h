#pragma once

namespace platform {

// The operator's interruptions of a console program, counted from the call to
// watchInterruptions on: Ctrl-C counts one, a hang-up (the terminal or the
// console window closed) two. Once watched, Ctrl-C no longer ends the
// program, and a read waiting at the console returns (as an end of input).
void watchInterruptions();
int interruptions();

}  // namespace platform
