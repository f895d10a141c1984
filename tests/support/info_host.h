// What the host owns for one c_kovraSeriesInfo call: the status lists, the
// seventeen columns with their text buffers, the common range and the range
// exclusions, each filled with a marker so that every write, and every write
// that should not happen, shows.
#ifndef KOVRAP_TEST_INFO_HOST_H
#define KOVRAP_TEST_INFO_HOST_H

#include "Kovrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace kovrap_test {

// Columns by their place among SeriesInfoColumns' text columns.
enum TextColumn { kCode, kText1, kText2, kText3, kText4, kText5, kText6, kText7, kTextColumns };
// Host buffer widths of the code column and the seven text columns.
constexpr std::size_t kTextWidth[kTextColumns] = {10, 8, 10, 8, 8, 82, 10, 84};

// One request's columns of c_kovraSeriesInfo, as the host reads them.
struct Info {
    std::string code;
    int firstDate = 0;
    int lastDate = 0;
    int frequency = 0;
    int attributes[6] = {0, 0, 0, 0, 0, 0};
    std::string texts[7];
};

inline bool operator==(const Info &a, const Info &b) {
    return a.code == b.code && a.firstDate == b.firstDate && a.lastDate == b.lastDate &&
           a.frequency == b.frequency && std::equal(a.attributes, a.attributes + 6, b.attributes) &&
           std::equal(a.texts, a.texts + 7, b.texts);
}

inline std::ostream &operator<<(std::ostream &out, const Info &info) {
    out << info.code << " " << info.firstDate << ".." << info.lastDate << " f" << info.frequency
        << " [";
    for (int a : info.attributes)
        out << a << " ";
    out << "]";
    for (const std::string &t : info.texts)
        out << " '" << t << "'";
    return out;
}

// Every list and column holds exactly one entry per request (at least one),
// and every text buffer is a block of its own of exactly its field's width
// plus the slack, so that the sanitizer build catches any access past it.
// The slack bytes, when asked for, hold the fill marker and must keep it.
//
// The records are wired to the arrays on construction: a test changes
// status.classifyOnly, range.computeRange, the range's in-out ints, any
// column entry or the spare argument before query().
class InfoHost {
  public:
    static constexpr int kUntouched = -7; // every int the host owns before a call
    static constexpr char kFill = '#';    // every byte of every text buffer before a call

    explicit InfoHost(int requests, std::size_t slack = 0)
        : capacity_(static_cast<std::size_t>(requests > 0 ? requests : 1)), slack_(slack) {
        for (auto &l : lists)
            l.assign(capacity_, kUntouched);
        for (std::vector<int> *column : intColumns())
            column->assign(capacity_, kUntouched);
        for (int t = 0; t < kTextColumns; ++t) {
            buffers_[t].assign(capacity_, std::vector<char>(kTextWidth[t] + slack_, kFill));
            for (std::vector<char> &b : buffers_[t])
                pointers_[t].push_back(b.data());
        }
        for (auto &l : exclusionLists)
            l.assign(capacity_, kUntouched);

        status = {0,
                  counts.data(),
                  lists[0].data(),
                  lists[1].data(),
                  lists[2].data(),
                  lists[3].data(),
                  lists[4].data(),
                  lists[5].data(),
                  lists[6].data()};
        columns = {pointers_[kCode].data(),  firstDate.data(),         lastDate.data(),
                   attribute1.data(),        frequency.data(),         attribute2.data(),
                   attribute3.data(),        attribute4.data(),        attribute5.data(),
                   attribute6.data(),        pointers_[kText1].data(), pointers_[kText2].data(),
                   pointers_[kText3].data(), pointers_[kText4].data(), pointers_[kText5].data(),
                   pointers_[kText6].data(), pointers_[kText7].data()};
        range = {0, &requestedFrequency, &start, &end, &observationCount};
        exclusions = {kUntouched, exclusionCounts.data(), exclusionLists[0].data(),
                      exclusionLists[1].data(), exclusionLists[2].data()};
    }
    InfoHost(const InfoHost &) = delete;
    InfoHost &operator=(const InfoHost &) = delete;

    void query(int direct, const std::vector<std::string> &codes,
               const std::vector<std::string> &dbNames, const std::vector<std::string> &databases,
               int merge = 0) {
        std::vector<const char *> c, n, d;
        for (const std::string &s : codes)
            c.push_back(s.c_str());
        for (const std::string &s : dbNames)
            n.push_back(s.c_str());
        for (const std::string &s : databases)
            d.push_back(s.c_str());
        c_kovraSeriesInfo(direct, &status, &columns, c.data(), n.data(), d.data(),
                          static_cast<int>(d.size()), static_cast<int>(c.size()), merge, spare,
                          &range, &exclusions);
    }

    // The entries of status list n that its count covers; {-1} for a count
    // outside the list.
    std::vector<int> list(int n) const {
        return covered(counts[static_cast<std::size_t>(n)], lists[static_cast<std::size_t>(n)]);
    }
    // The entries of exclusion list n that its count covers; {-1} for a
    // count outside the list.
    std::vector<int> excluded(int n) const {
        return covered(exclusionCounts[static_cast<std::size_t>(n)],
                       exclusionLists[static_cast<std::size_t>(n)]);
    }

    // Element k of a text column up to its terminator within the field's width.
    std::string text(int column, int k) const {
        const std::vector<char> &b = buffer(column, k);
        const auto pastField = b.begin() + static_cast<std::ptrdiff_t>(kTextWidth[column]);
        const auto nul = std::find(b.begin(), pastField, '\0');
        if (nul == pastField)
            return "<unterminated>";
        return std::string(b.begin(), nul);
    }
    // Nothing written into the slack past the field's width. Only a host
    // made with slack has any to check.
    bool slackIntact(int column, int k) const {
        EXPECT_GT(slack_, 0u) << "this host has no slack past its text buffers";
        const std::vector<char> &b = buffer(column, k);
        return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(kTextWidth[column]), b.end(),
                           [](char ch) { return ch == kFill; });
    }
    // Element k of every column still as the host left it.
    bool columnsUntouched(int k) const {
        for (const std::vector<int> *column : intColumns())
            if ((*column)[static_cast<std::size_t>(k)] != kUntouched)
                return false;
        for (int t = 0; t < kTextColumns; ++t) {
            const std::vector<char> &b = buffer(t, k);
            if (!std::all_of(b.begin(), b.end(), [](char ch) { return ch == kFill; }))
                return false;
        }
        return true;
    }
    // Every entry of every status list still as the host left it.
    bool listsUntouched() const {
        for (const auto &l : lists)
            for (int v : l)
                if (v != kUntouched)
                    return false;
        return true;
    }
    // The range's in-out ints still hold what the host gave them, and the
    // observation count and every exclusion count and list entry their marker.
    bool rangeUntouched(int requested, int requestedStart = kUntouched,
                        int requestedEnd = kUntouched) const {
        if (requestedFrequency != requested || start != requestedStart || end != requestedEnd ||
            observationCount != kUntouched || exclusionCounts != std::vector<int>(3, kUntouched))
            return false;
        for (const auto &l : exclusionLists)
            for (int v : l)
                if (v != kUntouched)
                    return false;
        return true;
    }

    // Request k's columns.
    Info info(int k) const {
        const auto j = static_cast<std::size_t>(k);
        Info i;
        i.code = text(kCode, k);
        i.firstDate = firstDate[j];
        i.lastDate = lastDate[j];
        i.frequency = frequency[j];
        const std::vector<int> *attributes[6] = {&attribute1, &attribute2, &attribute3,
                                                 &attribute4, &attribute5, &attribute6};
        for (int a = 0; a < 6; ++a)
            i.attributes[a] = (*attributes[a])[j];
        for (int t = 0; t < 7; ++t)
            i.texts[t] = text(kText1 + t, k);
        return i;
    }

    InfoStatusLists status{};
    SeriesInfoColumns columns{};
    CommonRange range{};
    RangeExclusions exclusions{};
    int spare = 0; // the argument between merge and the range

    std::vector<int> counts = std::vector<int>(7, kUntouched);
    std::vector<int> lists[7];
    std::vector<int> firstDate, lastDate, attribute1, frequency, attribute2, attribute3, attribute4,
        attribute5, attribute6;
    int requestedFrequency = kUntouched;
    int start = kUntouched;
    int end = kUntouched;
    int observationCount = kUntouched;
    std::vector<int> exclusionCounts = std::vector<int>(3, kUntouched);
    std::vector<int> exclusionLists[3];

  private:
    static std::vector<int> covered(int count, const std::vector<int> &l) {
        EXPECT_GE(count, 0);
        EXPECT_LE(static_cast<std::size_t>(count), l.size());
        if (count < 0 || static_cast<std::size_t>(count) > l.size())
            return {-1};
        return std::vector<int>(l.begin(), l.begin() + count);
    }

    std::vector<std::vector<int> *> intColumns() {
        return {&firstDate,  &lastDate,   &attribute1, &frequency, &attribute2,
                &attribute3, &attribute4, &attribute5, &attribute6};
    }
    std::vector<const std::vector<int> *> intColumns() const {
        return {&firstDate,  &lastDate,   &attribute1, &frequency, &attribute2,
                &attribute3, &attribute4, &attribute5, &attribute6};
    }
    const std::vector<char> &buffer(int column, int k) const {
        return buffers_[column][static_cast<std::size_t>(k)];
    }

    std::size_t capacity_;
    std::size_t slack_;
    std::vector<std::vector<char>> buffers_[kTextColumns];
    std::vector<char *> pointers_[kTextColumns];
};

} // namespace kovrap_test

#endif
