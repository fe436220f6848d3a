#pragma once

#include <string>
#include <vector>

#include "platform/ProcessLauncher.h"

// The four update options of the serial update wizard.
struct UpdateOptions {
    bool firmware = true;
    bool readFirmware = true;
    bool project = true;
    bool readProject = true;
};

// Workspace root, separator, "Ser_40917_Update.exe".
std::string updaterProgramPath(const std::string& workspaceRoot);

// Workspace root, separator, "MASTER", separator, "sim40917.sim".
std::string deviceMasterFilePath(const std::string& workspaceRoot);

// What the operator must put right before the device goes into its boot
// loader: one message for a missing or unrunnable updater and one for a
// missing device master file; empty when both are in place.
std::vector<std::string> missingUpdaterFiles(const std::string& workspaceRoot);

// The updater's command line, built from seven pieces: the port's device path,
// the four option tokens ("FW"/"FR"/"PW"/"PR", or "NO"), the device master
// file and the project's bin folder with its trailing separator. As a
// parameter string: the port, a blank, each token and a blank, then the two
// paths in double quotes with a blank between them; nothing is escaped. As
// arguments: the seven pieces themselves, an empty port staying an empty
// first argument.
platform::ProgramArguments updaterCommandLine(const std::string& portText,
                                              const UpdateOptions& options,
                                              const std::string& workspaceRoot,
                                              const std::string& projectFolder);
