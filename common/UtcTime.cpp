#include "common/UtcTime.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr std::int64_t kDayMs = 86400000;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's algorithms), free of the C library's time zone.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

}  // namespace

std::int64_t utcNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string isoUtc(std::int64_t ms) {
    const std::int64_t days = (ms >= 0 ? ms : ms - kDayMs + 1) / kDayMs;
    const std::int64_t inDay = ms - days * kDayMs;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<long long>(year), month, day, static_cast<int>(inDay / 3600000),
                  static_cast<int>(inDay / 60000 % 60), static_cast<int>(inDay / 1000 % 60),
                  static_cast<int>(inDay % 1000));
    return text;
}

std::optional<std::int64_t> parseIsoUtc(const std::string& text) {
    int year = 0;
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    char zone = 0;
    int length = 0;
    if (text.size() != 24 ||
        std::sscanf(text.c_str(), "%4d-%2u-%2uT%2u:%2u:%2u.%3u%c%n", &year, &month, &day, &hour,
                    &minute, &second, &ms, &zone, &length) != 8 ||
        length != 24 || zone != 'Z' || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    return daysFromCivil(year, month, day) * kDayMs + hour * 3600000LL + minute * 60000LL +
           second * 1000LL + ms;
}
