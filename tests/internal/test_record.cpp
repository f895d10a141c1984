// The series information record: ints at their byte offsets, and text fields
// copied without reading past the field or writing past the host's buffer.
#include "binding/record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

using kovrap::InfoRecord;
using kovrap::TextField;

// A record on the heap, so that a read past its 256 bytes is caught by the
// address sanitizer.
std::unique_ptr<InfoRecord> patternRecord() {
    auto record = std::make_unique<InfoRecord>();
    for (std::size_t i = 0; i < InfoRecord::kBytes; ++i)
        record->data()[i] = static_cast<char>(static_cast<unsigned char>(i * 7 + 3));
    return record;
}

// The little-endian int of the pattern's four bytes at an offset (both
// targets, x86-64 Linux and Windows, are little-endian).
int patternInt(std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t b = 0; b < 4; ++b)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>((offset + b) * 7 + 3))
                 << (8 * b);
    return static_cast<int>(static_cast<std::int32_t>(value));
}

TEST(InfoRecord, ReadsIntsAtTheirOffsets) {
    const auto record = patternRecord();
    const struct {
        const char *field;
        std::size_t offset;
        int read;
    } cases[] = {
        {"first date", 10, record->readInt(InfoRecord::kFirstDate)},
        {"last date", 14, record->readInt(InfoRecord::kLastDate)},
        {"attribute 1", 18, record->attribute(1)},
        {"attribute 1 offset", 18, record->readInt(InfoRecord::kAttribute1)},
        {"frequency", 22, record->readInt(InfoRecord::kFrequency)},
        {"attribute 2", 26, record->attribute(2)},
        {"attribute 3", 30, record->attribute(3)},
        {"attribute 4", 34, record->attribute(4)},
        {"attribute 5", 38, record->attribute(5)},
        {"attribute 6", 42, record->attribute(6)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(patternInt(c.offset), c.read) << c.field;
}

TEST(InfoRecord, ReadsNegativeAndExtremeInts) {
    InfoRecord record;
    const unsigned char bytes[] = {0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x80,
                                   0xff, 0xff, 0xff, 0x7f, 0x1b, 0x86, 0x34, 0x01};
    std::memcpy(record.data() + 10, bytes, sizeof bytes);
    EXPECT_EQ(-1, record.readInt(10));
    EXPECT_EQ(INT32_MIN, record.readInt(14));
    EXPECT_EQ(INT32_MAX, record.readInt(18));
    EXPECT_EQ(20219419, record.readInt(22)); // 0x0134861b
}

const TextField kAllTexts[] = {
    InfoRecord::kCode,     InfoRecord::kTexts[0], InfoRecord::kTexts[1], InfoRecord::kTexts[2],
    InfoRecord::kTexts[3], InfoRecord::kTexts[4], InfoRecord::kTexts[5], InfoRecord::kTexts[6],
};

TEST(InfoRecord, TextFieldsLieWhereTheLayoutSays) {
    const std::size_t expected[][2] = {{0, 10}, {46, 8},  {54, 10},  {64, 8},
                                       {72, 8}, {80, 82}, {162, 10}, {172, 84}};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(expected[i][0], kAllTexts[i].offset) << i;
        EXPECT_EQ(expected[i][1], kAllTexts[i].width) << i;
    }
}

// Every byte non-NUL: each field gives its width - 1 characters and a NUL,
// into a heap buffer of exactly the field's width.
TEST(InfoRecord, TextWithoutTerminatorIsCutToTheFieldWidth) {
    auto record = std::make_unique<InfoRecord>();
    for (std::size_t i = 0; i < InfoRecord::kBytes; ++i)
        record->data()[i] = static_cast<char>('A' + i % 26);
    for (const TextField &field : kAllTexts) {
        std::unique_ptr<char[]> out(new char[field.width]);
        std::memset(out.get(), '#', field.width);
        record->copyText(field, out.get());
        const std::string expected(record->data() + field.offset, field.width - 1);
        EXPECT_EQ(expected, std::string(out.get())) << "field at " << field.offset;
        EXPECT_EQ('\0', out[field.width - 1]) << "field at " << field.offset;
    }
}

TEST(InfoRecord, TextStopsAtItsTerminator) {
    auto record = std::make_unique<InfoRecord>();
    std::memset(record->data(), 'Z', InfoRecord::kBytes);
    const struct {
        TextField field;
        const char *text; // written with its NUL at the field's start
    } cases[] = {
        {InfoRecord::kCode, "GDP"},
        {InfoRecord::kCode, "123456789"}, // NUL in the last byte of the field
        {InfoRecord::kTexts[0], ""},
        {InfoRecord::kTexts[4], "Gross domestic product"},
        {InfoRecord::kTexts[6], "last field"},
    };
    for (const auto &c : cases) {
        std::memcpy(record->data() + c.field.offset, c.text, std::strlen(c.text) + 1);
        std::unique_ptr<char[]> out(new char[c.field.width]);
        std::memset(out.get(), '#', c.field.width);
        record->copyText(c.field, out.get());
        EXPECT_EQ(std::string(c.text), std::string(out.get()));
        // Nothing after the terminator is written.
        for (std::size_t i = std::strlen(c.text) + 1; i < c.field.width; ++i)
            EXPECT_EQ('#', out[i]) << c.text << " byte " << i;
    }
}

// Every text length each field can hold, and one past it (no terminator):
// the host's buffer gets the text and one NUL, and nothing after them, from
// a record whose other bytes are all non-NUL.
TEST(InfoRecord, EveryTextLengthIsCopiedExactly) {
    constexpr std::size_t kSlack = 24;
    for (const TextField &field : kAllTexts) {
        for (std::size_t length = 0; length <= field.width; ++length) {
            auto record = std::make_unique<InfoRecord>();
            std::memset(record->data(), 'r', InfoRecord::kBytes);
            for (std::size_t i = 0; i < length && i < field.width; ++i)
                record->data()[field.offset + i] = static_cast<char>('a' + i % 26);
            if (length < field.width)
                record->data()[field.offset + length] = '\0';
            std::unique_ptr<char[]> out(new char[field.width + kSlack]);
            std::memset(out.get(), '#', field.width + kSlack);
            record->copyText(field, out.get());

            const std::size_t kept = length < field.width ? length : field.width - 1;
            std::string expected;
            for (std::size_t i = 0; i < kept; ++i)
                expected += static_cast<char>('a' + i % 26);
            SCOPED_TRACE("field at " + std::to_string(field.offset) + ", length " +
                         std::to_string(length));
            EXPECT_EQ(expected, std::string(out.get(), kept));
            EXPECT_EQ('\0', out[kept]);
            EXPECT_EQ(std::string(field.width + kSlack - kept - 1, '#'),
                      std::string(out.get() + kept + 1, field.width + kSlack - kept - 1));
        }
    }
}

TEST(InfoRecord, Text7RunsToTheEndOfTheRecord) {
    auto record = std::make_unique<InfoRecord>();
    std::memset(record->data() + 172, 'x', 84); // bytes 172..255, no NUL
    char out[84];
    record->copyText(InfoRecord::kTexts[6], out);
    EXPECT_EQ(std::string(83, 'x'), std::string(out));
}

TEST(InfoRecord, Text5OfEightyTwoCharactersKeepsEightyOne) {
    auto record = std::make_unique<InfoRecord>();
    std::memset(record->data() + 80, 'y', 82);
    record->data()[162] = 'n'; // text 6 follows without a gap
    std::unique_ptr<char[]> out(new char[82]);
    record->copyText(InfoRecord::kTexts[4], out.get());
    EXPECT_EQ(std::string(81, 'y'), std::string(out.get()));
}

} // namespace
