#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A folder of the harness's own, made once per process.
const std::string& fuzzFolder();

// Writes bytes to a file, replacing it.
void writeBytes(const std::string& path, const std::string& bytes);

// Stops the run with the finding described, so that libFuzzer keeps the input.
[[noreturn]] void finding(const std::string& what);

// The input cut into parts at each zero byte.
std::vector<std::string> splitAtZero(const std::uint8_t* data, std::size_t size);
