#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"
#include "support/FakeSerialApi.h"

// What one run of tarvel-cli gave.
struct CliResult {
    int status;
    std::string out;
    std::string err;
};

// Standard error that tells a watcher what has been written so far after
// each write, so that a test acts on what the program said, when it said it.
class WatchedText : public std::stringbuf {
  public:
    explicit WatchedText(std::function<void(const std::string&)> watcher)
        : watcher_(std::move(watcher)) {}

  protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::streamsize written = std::stringbuf::xsputn(text, count);
        watcher_(str());
        return written;
    }
    int_type overflow(int_type c) override {
        const int_type result = std::stringbuf::overflow(c);
        watcher_(str());
        return result;
    }

  private:
    std::function<void(const std::string&)> watcher_;
};

// Runs tarvel-cli in the process itself, with a fake serial layer unless the
// environment names another; errWatcher sees standard error as it grows.
inline CliResult runCli(const std::vector<std::string>& arguments, CliEnvironment environment = {},
                        std::function<void(const std::string&)> errWatcher = {}) {
    if (!environment.serial)
        environment.serial = std::make_shared<FakeSerialApi>();
    std::ostringstream out;
    WatchedText errText(errWatcher ? std::move(errWatcher) : [](const std::string&) {});
    std::ostream err(&errText);
    const int status = runCommandLine(arguments, out, err, environment);
    return {status, out.str(), errText.str()};
}
