#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The program's arguments after its name, as UTF-8 (Windows: from its wide
// command line, whatever the ANSI code page).
std::vector<std::string> programArguments(int argc, char** argv);

// Makes std::cout and std::cerr, which carry UTF-8, show as such (Windows: a
// console is written through WriteConsoleW; a file or pipe gets the bytes).
void prepareConsoleOutput();

// True when standard error is a terminal that a progress line may overwrite.
bool standardErrorIsTerminal();

// The columns of standard error's terminal; 0 when it is none or cannot tell.
std::size_t terminalColumns();

// Where standard input is a terminal (or a Windows console), throws away what
// was typed and not yet read, so that a key pressed early answers no prompt.
// Input from a pipe or a file is left alone.
void discardTypedAhead();

// Where standard input is a terminal (or a Windows console), whether
// something typed there waits to be read; false for a pipe or a file.
bool typedLineWaiting();

// Whether standard input, whatever it is, has something to read now (or
// has ended): typed at a terminal, written into a pipe, or a file.
bool inputWaiting();

}  // namespace platform
