// MS-DOS date and time as the file headers carry them: date in the high 16 bits, time in
// the low 16, local time, two-second steps, years 1980 to 2107.
#pragma once
#include <cstdint>

namespace qarn {

// Fields as struct tm counts them: year since 1900, month 0..11. Times before 1980 become
// 1980-01-01 00:00:00 and times after 2107 become 2107-12-31 23:59:58, the format's ends.
uint32_t dos_date_time(int year_since_1900, int month0, int day, int hour, int minute, int second);

}  // namespace qarn
