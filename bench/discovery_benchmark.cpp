// Times one full COM port discovery over the 256 candidates on this machine
// (or below the device folder given as argument); prints the ports found and
// the median of 100 runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/SerialApi.h"
#include "update/ComPortDiscovery.h"

int main(int argc, char** argv) {
    const auto api =
        argc > 1 ? platform::makeSystemSerialApi(argv[1]) : platform::systemSerialApi();
    std::vector<double> millis;
    std::vector<std::string> ports;
    for (int run = 0; run < 100; ++run) {
        const auto start = std::chrono::steady_clock::now();
        ports = discoverComPorts(*api);
        const auto end = std::chrono::steady_clock::now();
        millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("ports found:");
    for (const auto& port : ports) std::printf(" COM%s", port.c_str());
    std::printf(
        "\ndiscovery of 256 candidates: median %.3f ms, min %.3f ms, max %.3f ms (100 runs)\n",
        millis[50], millis.front(), millis.back());
    return 0;
}
