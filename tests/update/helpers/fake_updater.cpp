// Stands in for the external updater: appends its arguments, one per line and
// then "--end--", to the file named by TARVEL_ARGS_FILE; appends the bank.bin
// of its last argument's folder to TARVEL_IMAGES_FILE; prints
// TARVEL_UPDATER_SAY; sleeps for TARVEL_UPDATER_SLEEP_MS milliseconds, waits
// until the file TARVEL_UPDATER_GATE exists, or its folder is gone (so that a test decides when it
// ends) and ends with TARVEL_UPDATER_EXIT_CODE (3 unless given). TARVEL_UPDATER_EXIT_CODES
// ("0 2 0") gives the code of each run in turn, counted in the arguments file.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace {

int runsBefore(const char* argsFile) {
    std::ifstream in(argsFile);
    int runs = 0;
    for (std::string line; std::getline(in, line);) runs += line == "--end--";
    return runs;
}

}  // namespace

int main(int argc, char** argv) {
    const char* argsFile = std::getenv("TARVEL_ARGS_FILE");
    const int run = argsFile ? runsBefore(argsFile) : 0;
    if (argsFile) {
        std::ofstream out(argsFile, std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
        out << "--end--\n";
    }
    if (const char* images = std::getenv("TARVEL_IMAGES_FILE"); images && argc > 1) {
        std::ifstream image(std::string(argv[argc - 1]) + "bank.bin", std::ios::binary);
        std::ofstream(images, std::ios::app | std::ios::binary)
            << std::string(std::istreambuf_iterator<char>(image), {});
    }
    if (const char* say = std::getenv("TARVEL_UPDATER_SAY"))
        std::cout << say << std::endl;
    if (const char* sleep = std::getenv("TARVEL_UPDATER_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
    // A gate whose folder is gone opens too: its test is over, and a stand-in
    // left waiting would poll for ever.
    if (const char* gate = std::getenv("TARVEL_UPDATER_GATE")) {
        const auto folder = std::filesystem::path(gate).parent_path();
        while (!std::filesystem::exists(gate) && std::filesystem::exists(folder))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (const char* codes = std::getenv("TARVEL_UPDATER_EXIT_CODES")) {
        std::istringstream each(codes);
        int code = 0;
        for (int i = 0; i <= run && each >> code;) ++i;
        return code;
    }
    const char* code = std::getenv("TARVEL_UPDATER_EXIT_CODE");
    return code ? std::atoi(code) : 3;
}
