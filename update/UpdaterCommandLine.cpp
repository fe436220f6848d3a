#include "update/UpdaterCommandLine.h"

#include "platform/FileSystem.h"
#include "platform/SerialNames.h"

std::string updaterProgramPath(const std::string& workspaceRoot) {
    return workspaceRoot + platform::kPathSeparator + "Ser_40917_Update.exe";
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
    const std::string master = workspaceRoot + sep + "MASTER" + sep + "sim40917.sim";
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
