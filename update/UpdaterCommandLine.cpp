#include "update/UpdaterCommandLine.h"

#include "platform/FileSystem.h"
#include "platform/SerialNames.h"

std::string updaterProgramPath(const std::string& workspaceRoot) {
    return workspaceRoot + platform::kPathSeparator + "Ser_40917_Update.exe";
}

std::string deviceMasterFilePath(const std::string& workspaceRoot) {
    const char sep = platform::kPathSeparator;
    return workspaceRoot + sep + "MASTER" + sep + "sim40917.sim";
}

std::vector<std::string> missingUpdaterFiles(const std::string& workspaceRoot) {
    std::vector<std::string> messages;
    const std::string updater = updaterProgramPath(workspaceRoot);
    if (!platform::runnableFileExists(updater))
        messages.push_back("The updater " + updater + " is missing or cannot be run.");
    const std::string master = deviceMasterFilePath(workspaceRoot);
    if (!platform::regularFileExists(master))
        messages.push_back("The device master file " + master + " is missing.");
    return messages;
}

platform::ProgramArguments updaterCommandLine(const std::string& portText,
                                              const UpdateOptions& options,
                                              const std::string& workspaceRoot,
                                              const std::string& projectFolder) {
    const std::string sep(1, platform::kPathSeparator);
    const std::string port = platform::updaterPortPath(portText);
    const std::string tokens[] = {options.firmware ? "FW" : "NO",
                                  options.readFirmware ? "FR" : "NO", options.project ? "PW" : "NO",
                                  options.readProject ? "PR" : "NO"};
    const std::string master = deviceMasterFilePath(workspaceRoot);
    const std::string bin = projectFolder + sep + "bin" + sep;

    platform::ProgramArguments command;
    command.parameters = port + " ";
    command.arguments.push_back(port);
    for (const std::string& token : tokens) {
        command.parameters += token + " ";
        command.arguments.push_back(token);
    }
    command.parameters += "\"" + master + "\" \"" + bin + "\"";
    command.arguments.push_back(master);
    command.arguments.push_back(bin);
    return command;
}
