// kovra - a command-line host for Kovrap.
#include "api.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: kovra [--library PATH] calendar\n");
    return 2;
}

// Conversions and a date sequence, all through the library.
int runCalendar(const kovra::Api &api) {
    struct Example {
        int period;
        int frequency;
        const char *label;
    };
    const Example examples[] = {
        {2023, 10, "annual 2023"},    {20232, 30, "quarterly 2023Q2"},
        {202402, 40, "monthly 2024-02"}, {202302, 40, "monthly 2023-02"},
        {20230115, 61, "business day 2023-01-15"},
    };
    std::printf("%-26s %-10s %s\n", "period", "date", "back");
    for (const Example &e : examples) {
        const int date = api.tqvdateToYmd(e.period, e.frequency);
        std::printf("%-26s %-10d %d\n", e.label, date, api.ymdToTqvdate(date, e.frequency));
    }
    std::printf("\nleap years: 1900 %d, 2000 %d, 2023 %d, 2024 %d\n", api.isLeapYear(1900),
                api.isLeapYear(2000), api.isLeapYear(2023), api.isLeapYear(2024));

    std::vector<int> dates(6);
    api.dateSeq(dates.data(), 202310, static_cast<int>(dates.size()), 40);
    std::printf("\nsix months from 2023-10, month ends:");
    for (int d : dates)
        std::printf(" %d", d);
    std::printf("\nfive business days from 2023-12-29:");
    api.dateSeq(dates.data(), 20231229, 5, 61);
    for (int i = 0; i < 5; ++i)
        std::printf(" %d", dates[static_cast<std::size_t>(i)]);
    std::printf("\ncode list chunk: %d requests\n", *api.chunk);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::string library;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc)
            library = argv[++i];
        else
            args.emplace_back(argv[i]);
    }
    if (args.empty())
        return usage();

    kovra::Api api;
    std::string error;
    if (!kovra::loadApi(library, api, error)) {
        std::fprintf(stderr, "kovra: %s\n", error.c_str());
        return 1;
    }
    if (args[0] == "calendar")
        return runCalendar(api);
    return usage();
}
