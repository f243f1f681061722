// Date-time values as the program's data model holds them: days since 30 December 1899, the
// fraction being the time of day (the representation that spreadsheets and the variant share).
#pragma once

#include <cstdint>
#include <optional>

struct TDateTime {
  double Value = 0.0;
  friend bool operator==(TDateTime, TDateTime) = default;
};

struct TDateParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

bool IsValidDate(int year, int month, int day);
// Empty when the calendar date does not exist (31 April, 29 February of a common year, ...).
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond);
TDateParts DecodeDateTime(TDateTime value);
// The local wall-clock time now.
TDateTime Now();
