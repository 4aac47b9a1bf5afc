#include "pack/dos_time.h"

namespace qarn {

uint32_t dos_date_time(int year_since_1900, int month0, int day, int hour, int minute, int second) {
    const int year = year_since_1900 + 1900;
    if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (year > 2107) return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    // A leap second (60) is kept in range.
    const uint32_t sec = static_cast<uint32_t>(second > 59 ? 59 : second) / 2;
    const uint32_t date = static_cast<uint32_t>(year - 1980) << 9 |
                          static_cast<uint32_t>(month0 + 1) << 5 | static_cast<uint32_t>(day);
    const uint32_t time =
        static_cast<uint32_t>(hour) << 11 | static_cast<uint32_t>(minute) << 5 | sec;
    return date << 16 | time;
}

}  // namespace qarn
