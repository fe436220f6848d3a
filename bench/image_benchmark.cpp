// Times one build and write of the device image from a typical pargen.xml;
// prints the median of 1000 runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"
#include "image/ParameterImage.h"
#include "project/ProjectPaths.h"

int main() {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tarvel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const std::string project = pattern;
    const ProjectPaths paths(project);
    fs::create_directory(paths.bin);
    XmlDocument writer;
    writeGeneralParameters(writer, GeneralParameters{}, paths.generalParameters);

    XmlDocument document;
    std::vector<double> micros;
    for (int run = 0; run < 1000; ++run) {
        const auto start = std::chrono::steady_clock::now();
        BuildParameterImage(document, project);
        WriteParameterImage(project);
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("build+write image: median %.1f us, min %.1f us, max %.1f us (1000 runs)\n",
                micros[500], micros.front(), micros.back());
    fs::remove_all(project);
    return 0;
}
