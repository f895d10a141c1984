// The information columns from arbitrary record bytes, texts without
// terminators included: c_kovraSeriesInfo copies every text into an exactly
// sized host buffer of its field's width, terminated within it, and every
// int as the record holds it; the common range runs on whatever the record
// says.
#include "Kovrap.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "tqv_standin.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kRecordBytes = 256;
constexpr int kTextColumns = 8;
// Offset and width of the code and texts 1 to 7 in the record.
constexpr std::size_t kTextOffsets[kTextColumns] = {0, 46, 54, 64, 72, 80, 162, 172};
constexpr std::size_t kTextWidths[kTextColumns] = {
    KOVRAP_CODE_WIDTH,  KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH, KOVRAP_TEXT3_WIDTH,
    KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH, KOVRAP_TEXT6_WIDTH, KOVRAP_TEXT7_WIDTH};
constexpr int kIntColumns = 9;
constexpr int kStatusLists = 7;

int recordInt(const unsigned char *record, std::size_t offset) {
    int v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

template <class T> std::unique_ptr<T[]> exactly(std::size_t n, T fill) {
    std::unique_ptr<T[]> p(new T[n]);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = fill;
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    unsigned char record[kRecordBytes] = {};
    for (unsigned char &b : record)
        b = in.byte();
    const bool direct = (in.byte() & 1) != 0;
    const std::size_t requests = 1 + in.byte() % 3;
    const int computeRange = in.byte() & 1;
    const int merge = in.int32();
    const int requested = in.int32();
    const int start = in.int32();
    const int end = in.int32();

    tqvs_reset();
    tqvs_set_logged_in(1);
    tqvs_add_database("alpha");
    tqvs_add_series("alpha", "S", 40, 200001, 200012, nullptr, 0);
    tqvs_set_record("alpha", "S", record);

    std::vector<const char *> codes(requests, "S");
    std::vector<const char *> dbNames(requests, "alpha");
    const char *databases[] = {"alpha"};

    const auto counts = exactly<int>(kStatusLists, -1);
    std::vector<std::unique_ptr<int[]>> lists;
    for (int l = 0; l < kStatusLists; ++l)
        lists.push_back(exactly<int>(requests, -1));
    std::vector<std::unique_ptr<int[]>> ints;
    for (int c = 0; c < kIntColumns; ++c)
        ints.push_back(exactly<int>(requests, -1));
    std::vector<std::vector<std::unique_ptr<char[]>>> buffers(kTextColumns);
    std::vector<std::unique_ptr<char *[]>> texts;
    for (int t = 0; t < kTextColumns; ++t) {
        texts.push_back(exactly<char *>(requests, nullptr));
        for (std::size_t k = 0; k < requests; ++k) {
            buffers[static_cast<std::size_t>(t)].push_back(exactly<char>(kTextWidths[t], '~'));
            texts.back()[k] = buffers[static_cast<std::size_t>(t)].back().get();
        }
    }
    const auto frequency = exactly<int>(1, requested);
    const auto startField = exactly<int>(1, start);
    const auto endField = exactly<int>(1, end);
    const auto observations = exactly<int>(1, -1);
    const auto exclusionCounts = exactly<int>(3, -1);
    std::vector<std::unique_ptr<int[]>> exclusions;
    for (int l = 0; l < 3; ++l)
        exclusions.push_back(exactly<int>(requests, -1));

    InfoStatusLists status{0,
                           counts.get(),
                           lists[0].get(),
                           lists[1].get(),
                           lists[2].get(),
                           lists[3].get(),
                           lists[4].get(),
                           lists[5].get(),
                           lists[6].get()};
    SeriesInfoColumns columns{texts[0].get(), ints[0].get(),  ints[1].get(),  ints[2].get(),
                              ints[3].get(),  ints[4].get(),  ints[5].get(),  ints[6].get(),
                              ints[7].get(),  ints[8].get(),  texts[1].get(), texts[2].get(),
                              texts[3].get(), texts[4].get(), texts[5].get(), texts[6].get(),
                              texts[7].get()};
    CommonRange range{computeRange, frequency.get(), startField.get(), endField.get(),
                      observations.get()};
    RangeExclusions excluded{0, exclusionCounts.get(), exclusions[0].get(), exclusions[1].get(),
                             exclusions[2].get()};
    c_kovraSeriesInfo(direct ? 1 : 0, &status, &columns, codes.data(), dbNames.data(), databases, 1,
                      static_cast<int>(requests), merge, 0, &range, &excluded);

    // Every request succeeds: no list holds anything.
    for (int l = 0; l < kStatusLists; ++l)
        FUZZ_CHECK(counts[static_cast<std::size_t>(l)] == 0);
    const int recordFrequency = recordInt(record, 22);
    for (std::size_t k = 0; k < requests; ++k) {
        for (int t = 0; t < kTextColumns; ++t) {
            const char *text = texts[static_cast<std::size_t>(t)][k];
            const std::size_t width = kTextWidths[t];
            const void *nul = std::memchr(text, '\0', width);
            FUZZ_CHECK(nul != nullptr);
            const std::size_t length =
                static_cast<std::size_t>(static_cast<const char *>(nul) - text);
            FUZZ_CHECK(std::memcmp(text, record + kTextOffsets[t], length) == 0);
            // The text stops at the record's own terminator or at the width.
            FUZZ_CHECK(length == width - 1 || record[kTextOffsets[t] + length] == '\0');
        }
        FUZZ_CHECK(ints[0][k] == tqvdateToYmd(recordInt(record, 10), recordFrequency));
        FUZZ_CHECK(ints[1][k] == tqvdateToYmd(recordInt(record, 14), recordFrequency));
        FUZZ_CHECK(ints[2][k] == recordInt(record, 18));
        FUZZ_CHECK(ints[3][k] == recordFrequency);
        for (int a = 0; a < 5; ++a)
            FUZZ_CHECK(ints[static_cast<std::size_t>(4 + a)][k] ==
                       recordInt(record, 26 + 4 * static_cast<std::size_t>(a)));
    }
    if (computeRange != 0) {
        // Each request is set aside at most once, into a list of its own index.
        int setAside = 0;
        for (int l = 0; l < 3; ++l) {
            const int n = exclusionCounts[static_cast<std::size_t>(l)];
            FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) <= requests);
            for (int i = 0; i < n; ++i)
                FUZZ_CHECK(exclusions[static_cast<std::size_t>(l)][static_cast<std::size_t>(i)] >=
                               0 &&
                           exclusions[static_cast<std::size_t>(l)][static_cast<std::size_t>(i)] <
                               static_cast<int>(requests));
            setAside += n;
        }
        FUZZ_CHECK(static_cast<std::size_t>(setAside) <= requests);
    } else {
        FUZZ_CHECK(observations[0] == -1 && exclusionCounts[0] == -1);
    }
    tqvs_reset();
    return 0;
}
