// What people type and read: frequency names, dates in several forms, numbers,
// aligned tables and CSV fields. Conversions between period dates and
// calendar dates go through the library's calendar exports.
#ifndef KOVRA_FORMATS_H
#define KOVRA_FORMATS_H

#include "api.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kovra {

constexpr int kLowestFrequency = 1000; // the common range takes the lowest code
constexpr int kWeeklyGroup = 57;       // the common range reads 57 as any week

// The missing value, or anything that is no number.
bool isMissing(double value);

// `annual`, `quarterly`, `monthly`, `weekly`, `weekly-mon` .. `weekly-sun`,
// `daily`, `business`, `lowest` in any case, or a code the library knows.
// Throws a usage Failure for anything else.
int parseFrequency(const Api &api, const std::string &text);

// `annual` ... `business`, or `code N` for a code without a name.
std::string frequencyName(int code);

// Whether a code is one of the weekly codes 51 (weeks ending Monday) to 57
// (Sunday), and the day its weeks end on: "Friday".
bool isWeekly(int code);
std::string weekdayOf(int code);

// The calendar dates of the first and the last day of what a date names: a
// year, a quarter, a month or a day.
struct DaySpan {
    int first;
    int last;
};

// `2001`, `2001Q3`, `2001-07`, `2001-07-15`, or a period date (`20013`,
// `200107`, `20010715`). Years 0001 to 9999. Throws a usage Failure.
DaySpan parseDate(const Api &api, const std::string &text);

// A calendar date as its period reads at a frequency: `1960`, `1960Q1`,
// `1960-01`, `1960-01-31`, years with four digits (`0001`); `-` for a date
// that is not one.
std::string periodLabel(int calendarDate, int frequency);

// YYYY-MM-DD; `-` for a date that is not one.
std::string isoDate(int calendarDate);

// Fixed decimals (0 to 9), or the shortest text that reads back the same double.
std::string fixedNumber(double value, int decimals);
std::string shortestNumber(double value);

// A field for a CSV line: quoted when it holds a comma, a quote or a line end.
std::string csvField(const std::string &text);

// A table of text cells laid out in columns two blanks apart; right-aligned
// columns for numbers.
class Table {
  public:
    Table(std::vector<std::string> header, std::vector<bool> rightAligned);
    void add(std::vector<std::string> row);
    std::string render() const;

  private:
    std::vector<std::string> header_;
    std::vector<bool> right_;
    std::vector<std::vector<std::string>> rows_;
};

} // namespace kovra

#endif
