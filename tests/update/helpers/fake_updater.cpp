// Stands in for the external updater: appends its arguments, one per line and
// then "--end--", to the file named by TARVEL_ARGS_FILE, sleeps for
// TARVEL_UPDATER_SLEEP_MS milliseconds and ends with TARVEL_UPDATER_EXIT_CODE
// (3 unless given).
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    if (const char* file = std::getenv("TARVEL_ARGS_FILE")) {
        std::ofstream out(file, std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
        out << "--end--\n";
    }
    if (const char* sleep = std::getenv("TARVEL_UPDATER_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
    const char* code = std::getenv("TARVEL_UPDATER_EXIT_CODE");
    return code ? std::atoi(code) : 3;
}
