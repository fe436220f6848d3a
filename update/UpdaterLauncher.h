#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The four update options of the serial update wizard.
struct UpdateOptions {
    bool firmware = true;
    bool readFirmware = true;
    bool project = true;
    bool readProject = true;
};

// Workspace root, separator, "Ser_40917_Update.exe".
std::string updaterProgramPath(const std::string& workspaceRoot);

// The updater's parameter string: the port's device path, a blank, the four
// option tokens ("FW "/"FR "/"PW "/"PR ", or "NO "), the quoted device master
// file and the quoted project bin folder (ending in a separator before its
// closing quote). Nothing is escaped.
std::string updaterParameters(const std::string& portText, const UpdateOptions& options,
                              const std::string& workspaceRoot, const std::string& projectFolder);

// How long run-and-wait waits, and the clock it reads.
struct WaitSettings {
    std::uint32_t timeLimitMs = 150000;
    std::function<std::uint32_t()> tickCount;
};

// Starts the program and returns when it has ended or the time limit has
// passed, pausing at most 10 ms at a time on the event "HandleCed". The exit
// code is not looked at; the program is never touched.
void runAndWait(const std::string& program, const std::string& parameters, bool hidden,
                const WaitSettings& settings);
