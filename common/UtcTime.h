#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Milliseconds since 1970-01-01 UTC, now.
std::int64_t utcNowMs();

// "2026-12-10T01:02:03.456Z".
std::string isoUtc(std::int64_t ms);

// The milliseconds of such a text; nothing for any other text.
std::optional<std::int64_t> parseIsoUtc(const std::string& text);
