#include "platform/Console.h"

#include <io.h>
#include <windows.h>
// after <windows.h>, whose types it uses
#include <shellapi.h>

#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <vector>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

// How much of text ends with a whole character: a sequence cut at the end
// is left for the next write.
std::size_t wholeUtf8Prefix(const std::string& text) {
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(text[size - back]);
        if ((c & 0xC0) == 0x80)  // a continuation byte: look further back
            continue;
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

// Standard output or error as UTF-8: a console is given whole characters
// through WriteConsoleW; a file or a pipe gets the bytes unchanged.
class ConsoleBuffer final : public std::streambuf {
  public:
    explicit ConsoleBuffer(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = GetConsoleMode(handle_, &mode) != 0;
    }
    ~ConsoleBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof())
            pending_.push_back(static_cast<char>(c));
        if (c == '\n' || pending_.size() >= 4096)
            sync();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        sync();
        return count;
    }
    int sync() override {
        // A character cut at the end waits for its other bytes.
        const std::size_t whole = console_ ? wholeUtf8Prefix(pending_) : pending_.size();
        if (whole == 0)
            return 0;
        bool written = false;
        DWORD done = 0;
        if (console_) {
            const std::wstring wide = toWide(std::string_view(pending_).substr(0, whole));
            written = WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &done,
                                    nullptr) != 0;
        } else {
            written =
                WriteFile(handle_, pending_.data(), static_cast<DWORD>(whole), &done, nullptr) != 0;
        }
        pending_.erase(0, whole);
        return written ? 0 : -1;
    }

  private:
    HANDLE handle_;
    bool console_ = false;
    std::string pending_;
};

}  // namespace

std::vector<std::string> programArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) arguments.push_back(fromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void prepareConsoleOutput() {
    static ConsoleBuffer output(STD_OUTPUT_HANDLE);
    static ConsoleBuffer error(STD_ERROR_HANDLE);
    std::cout.rdbuf(&output);
    std::cerr.rdbuf(&error);
    // Colours and a table redrawn in place are escape sequences, which a
    // console takes only when asked to.
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode))
        SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::size_t terminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

// A key pressed down counts; the line is read once Enter ends it.
bool typedLineWaiting() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0, count = 0;
    if (!GetConsoleMode(input, &mode) || !GetNumberOfConsoleInputEvents(input, &count) ||
        count == 0)
        return false;
    std::vector<INPUT_RECORD> events(count);
    DWORD read = 0;
    PeekConsoleInputW(input, events.data(), count, &read);
    for (DWORD i = 0; i < read; ++i)
        if (events[i].EventType == KEY_EVENT && events[i].Event.KeyEvent.bKeyDown &&
            events[i].Event.KeyEvent.uChar.UnicodeChar != 0)
            return true;
    return false;
}

bool inputWaiting() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    switch (GetFileType(input)) {
        case FILE_TYPE_CHAR:
            return typedLineWaiting();
        case FILE_TYPE_PIPE: {
            DWORD available = 0;
            // A pipe whose writer has gone has ended: reading it says so.
            return !PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) || available > 0;
        }
        case FILE_TYPE_DISK:
            return true;
        default:
            return false;
    }
}

void discardTypedAhead() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        FlushConsoleInputBuffer(input);
}

}  // namespace platform
