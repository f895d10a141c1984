// A database library whose operations return at once, built twice: as
// tqvapi64 (local operations) and, with TQVNULL_DIRECT, as tqvdapi64 (direct
// operations). Put beside a copy of libKovrap64.so, it lets a benchmark see
// Kovrap's own cost per request with next to nothing behind it.
#include "null_control.h"
#include "tqvlib.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(TQVNULL_DIRECT)
#define NULL_OP(name) TQVD##name
#define NULL_CONTROL(name) tqvnull_direct_##name
#else
#define NULL_OP(name) TQV##name
#define NULL_CONTROL(name) tqvnull_local_##name
#endif

namespace {

enum Operation {
    kEnableRetries = 1,
    kEnableAnsi,
    kGetMergeData,
    kSetMergeData,
    kOpenDatabase,
    kCloseDatabase,
    kGetNextVar,
    kGetNames,
    kGetInfo,
    kGetDataCount,
    kApplyMathCount,
    kApplyAdvancedCount,
    kGetObsNum,
    kGetDate,
    kGetAggregationMode,
    kSetAggregationMode,
    kGetVersion,
    kAuthenticate,
};

// FNV-1a over everything a call passed: strings by content, so that a list
// built by Kovrap and the same list prepared by a benchmark fold alike.
class Recorder {
  public:
    bool on = false;
    std::uint64_t hash = kOffset;
    long long calls = 0;

    void clear() {
        hash = kOffset;
        calls = 0;
    }
    Recorder &op(Operation operation) {
        ++calls;
        return num(operation);
    }
    Recorder &num(long long value) { return bytes(&value, sizeof value); }
    Recorder &str(const char *text) {
        if (text == nullptr)
            return num(-1);
        return bytes(text, std::strlen(text) + 1);
    }
    Recorder &ptr(const void *pointer) {
        const auto address = reinterpret_cast<std::uintptr_t>(pointer);
        return bytes(&address, sizeof address);
    }
    Recorder &ref(const int *value) { return value == nullptr ? num(-2) : num(*value); }

  private:
    static constexpr std::uint64_t kOffset = 14695981039346656037ull;
    static constexpr std::uint64_t kPrime = 1099511628211ull;

    Recorder &bytes(const void *data, std::size_t n) {
        const auto *p = static_cast<const unsigned char *>(data);
        for (std::size_t i = 0; i < n; ++i)
            hash = (hash ^ p[i]) * kPrime;
        return *this;
    }
};

// The information record every GetInfo answers: a monthly series with
// attributes and texts, so that the caller copies real fields.
struct PreparedRecord {
    char bytes[TQV_RECORD_BYTES] = {};

    PreparedRecord() {
        put(0, "C00000000");
        put(10, 199001);
        put(14, 202312);
        put(18, 1);
        put(22, 40);
        const int attributes[5] = {2, 3, 4, 5, 3};
        for (int i = 0; i < 5; ++i)
            put(26 + 4 * i, attributes[i]);
        const int offsets[7] = {46, 54, 64, 72, 80, 162, 172};
        const char *const texts[7] = {"units",
                                      "source",
                                      "scale",
                                      "basis",
                                      "A series description of moderate length",
                                      "region",
                                      "A note on how the series was made"};
        for (int i = 0; i < 7; ++i)
            put(offsets[i], texts[i]);
    }
    void put(int offset, int value) { std::memcpy(bytes + offset, &value, sizeof value); }
    void put(int offset, const char *text) {
        std::memcpy(bytes + offset, text, std::strlen(text) + 1);
    }
};

struct State {
    Recorder recorder;
    int merge = 0;
    int aggregation = 0;
    PreparedRecord record;
    // TQVGetNextVar: series yielded so far, the code of the last one.
    int series = 0;
    int walked = 0;
    char code[10] = "C00000000";
    // TQVDGetNames: the text every call writes, calls answered so far.
    std::string names = "C00000000";
    int nameCalls = 1;
    int named = 0;
};

// The library's own state, as the closed libraries hold theirs.
State &state() {
    static State s;
    return s;
}

[[maybe_unused]] void nextCode(char *code) {
    for (int i = 8; i >= 1; --i) {
        if (code[i] != '9') {
            ++code[i];
            return;
        }
        code[i] = '0';
    }
}

} // namespace

extern "C" {

int NULL_OP(EnableRetries)(int on) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kEnableRetries).num(on);
    return 0;
}

int NULL_OP(EnableAnsi)(int on) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kEnableAnsi).num(on);
    return 0;
}

int NULL_OP(GetMergeData)(void) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kGetMergeData);
    return s.merge;
}

int NULL_OP(SetMergeData)(int setting) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kSetMergeData).num(setting);
    s.merge = setting;
    return 0;
}

int NULL_OP(OpenDatabase)(const char *name) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kOpenDatabase).str(name);
    return 0;
}

int NULL_OP(CloseDatabase)(void) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kCloseDatabase);
    return 0;
}

int NULL_OP(GetInfo)(int zero, const char *code, char *record) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kGetInfo).num(zero).str(code);
    std::memcpy(record, s.record.bytes, sizeof s.record.bytes);
    return 0;
}

int NULL_OP(GetDataCount)(const char *database, const char *code, int start, int end, int frequency,
                          double *output, int *count) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kGetDataCount)
            .str(database)
            .str(code)
            .num(start)
            .num(end)
            .num(frequency)
            .ptr(output)
            .ref(count);
    return 0;
}

int NULL_OP(ApplyMathCount)(int operation, int start, int end, int frequency, double *values,
                            int *count) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kApplyMathCount)
            .num(operation)
            .num(start)
            .num(end)
            .num(frequency)
            .ptr(values)
            .ref(count);
    return 0;
}

int NULL_OP(ApplyAdvancedCount)(const TQVAdvancedOperation *advanced, int start, int end,
                                int frequency, double *values, int *count) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kApplyAdvancedCount)
            .num(advanced->operation)
            .num(advanced->first)
            .num(advanced->second)
            .num(advanced->third)
            .num(start)
            .num(end)
            .num(frequency)
            .ptr(values)
            .ref(count);
    return 0;
}

int NULL_OP(GetObsNum)(int start, int end, int frequency) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kGetObsNum).num(start).num(end).num(frequency);
    return static_cast<int>(static_cast<long long>(end) - start + 1);
}

int NULL_OP(GetAggregationMode)(void) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kGetAggregationMode);
    return s.aggregation;
}

int NULL_OP(SetAggregationMode)(int mode) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kSetAggregationMode).num(mode);
    s.aggregation = mode;
    return 0;
}

int NULL_OP(GetVersion)(char *text, int size) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kGetVersion).num(size);
    if (text != nullptr && size > 0) {
        const char version[] = "null";
        const std::size_t n = size > 4 ? 4 : static_cast<std::size_t>(size - 1);
        std::memcpy(text, version, n);
        text[n] = '\0';
    }
    return 0;
}

#if !defined(TQVNULL_DIRECT)

int TQVGetNextVar(const char *database, const char *previous, char *record) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kGetNextVar).str(database).str(previous);
    if (database != nullptr) {
        s.walked = 0;
        std::memcpy(s.code, "C00000000", sizeof s.code);
    }
    if (s.walked >= s.series)
        return 1;
    if (s.walked > 0)
        nextCode(s.code);
    ++s.walked;
    std::memcpy(record, s.code, sizeof s.code);
    return 0;
}

int TQVGetDate(int start, int observation, int frequency) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kGetDate).num(start).num(observation).num(frequency);
    return start;
}

TQVNULL_API void tqvnull_local_set_series(int count) {
    state().series = count;
}

#else

int TQVDGetNames(const char *database, char *output) {
    State &s = state();
    if (s.recorder.on)
        s.recorder.op(kGetNames).str(database);
    if (database != nullptr)
        s.named = 0;
    if (s.named >= s.nameCalls)
        return TQVD_END_OF_NAMES;
    ++s.named;
    std::memcpy(output, s.names.c_str(), s.names.size() + 1);
    return 0;
}

int TQVDAuthenticate(const char *user, const char *password, int *status, const char *service) {
    Recorder &r = state().recorder;
    if (r.on)
        r.op(kAuthenticate).str(user).str(password).str(service);
    if (status != nullptr)
        *status = 0;
    return 0;
}

TQVNULL_API void tqvnull_direct_set_names(const char *text, int calls) {
    State &s = state();
    s.names = text;
    s.nameCalls = calls;
}

#endif

TQVNULL_API void NULL_CONTROL(record)(int on) {
    Recorder &r = state().recorder;
    r.clear();
    r.on = on != 0;
}

TQVNULL_API TqvNullDigest NULL_CONTROL(digest)(void) {
    const Recorder &r = state().recorder;
    return TqvNullDigest{r.hash, r.calls};
}

} // extern "C"
