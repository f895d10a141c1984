// The local stand-in library: every operation forwards to the engine.
#include "engine.h"
#include "tqvlib.h"

namespace {
constexpr int kLib = TQVS_LIB_LOCAL;
}

int TQVEnableRetries(int on) {
    return tqvs_op_enable_retries(kLib, on);
}
int TQVEnableAnsi(int on) {
    return tqvs_op_enable_ansi(kLib, on);
}
int TQVGetMergeData(void) {
    return tqvs_op_get_merge_data(kLib);
}
int TQVSetMergeData(int setting) {
    return tqvs_op_set_merge_data(kLib, setting);
}
int TQVOpenDatabase(const char *name) {
    return tqvs_op_open_database(kLib, name);
}
int TQVCloseDatabase(void) {
    return tqvs_op_close_database(kLib);
}
int TQVGetNextVar(const char *database, const char *previous, char *record) {
    return tqvs_op_get_next_var(kLib, database, previous, record);
}
int TQVGetInfo(int zero, const char *code, char *record) {
    return tqvs_op_get_info(kLib, zero, code, record);
}
int TQVGetDataCount(const char *database, const char *code, int start, int end, int frequency,
                    double *output, int *count) {
    return tqvs_op_get_data_count(kLib, database, code, start, end, frequency, output, count);
}
int TQVApplyMathCount(int operation, int start, int end, int frequency, double *values,
                      int *count) {
    return tqvs_op_apply_math_count(kLib, operation, start, end, frequency, values, count);
}
int TQVApplyAdvancedCount(const TQVAdvancedOperation *advanced, int start, int end, int frequency,
                          double *values, int *count) {
    return tqvs_op_apply_advanced_count(kLib, advanced, start, end, frequency, values, count);
}
int TQVGetObsNum(int start, int end, int frequency) {
    return tqvs_op_get_obs_num(kLib, start, end, frequency);
}
int TQVGetDate(int start, int observation, int frequency) {
    return tqvs_op_get_date(kLib, start, observation, frequency);
}
int TQVGetAggregationMode(void) {
    return tqvs_op_get_aggregation_mode(kLib);
}
int TQVSetAggregationMode(int mode) {
    return tqvs_op_set_aggregation_mode(kLib, mode);
}
int TQVGetVersion(char *text, int size) {
    return tqvs_op_get_version(kLib, text, size);
}
