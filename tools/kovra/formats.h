// What people read: periods and dates as labels, numbers, aligned tables and
// CSV fields. What people type is read by the host rules (rules.h).
#ifndef KOVRA_FORMATS_H
#define KOVRA_FORMATS_H

#include "api.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kovra {

// The missing value, or anything that is no number.
bool isMissing(double value);

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
