// Calibration dates: an ISO 8601 calendar date YYYY-MM-DD, read strictly,
// and the calendar arithmetic a recalibration interval needs, through the
// C++20 <chrono> calendar types (so the Gregorian rules are the standard
// library's, not ours).
#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Reads `text`, exactly YYYY-MM-DD and nothing around it, into `date`.  On a
// fault `fault` says what is wrong ("'2026-1-05' is not a date YYYY-MM-DD",
// "date 2026-02-30 does not exist") and `date` is left as it was.
bool read_date(std::string_view text, std::chrono::year_month_day& date, std::string& fault);

// "2026-03-01": what read_date() reads back.
std::string date_text(const std::chrono::year_month_day& date);

// Whole days from `from` to `to`, negative when `to` is earlier.
std::chrono::days days_between(const std::chrono::year_month_day& from,
                               const std::chrono::year_month_day& to);

// The same in years of 365.25 days: the time axis of a drift.
inline constexpr double days_per_year = 365.25;
double years_between(const std::chrono::year_month_day& from,
                     const std::chrono::year_month_day& to);

// `date` plus `count` calendar months, the day clamped to the last of the
// month reached: 2024-01-31 + 1 = 2024-02-29, 2025-01-31 + 1 = 2025-02-28.
std::chrono::year_month_day plus_months(const std::chrono::year_month_day& date, int count);
