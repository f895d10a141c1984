// The direct stand-in library: every operation forwards to the engine.
#include "engine.h"
#include "tqvlib.h"

namespace {
constexpr int kLib = TQVS_LIB_DIRECT;
}

int TQVDEnableRetries(int on) {
    return tqvs_op_enable_retries(kLib, on);
}
int TQVDEnableAnsi(int on) {
    return tqvs_op_enable_ansi(kLib, on);
}
int TQVDGetMergeData(void) {
    return tqvs_op_get_merge_data(kLib);
}
int TQVDSetMergeData(int setting) {
    return tqvs_op_set_merge_data(kLib, setting);
}
int TQVDOpenDatabase(const char *name) {
    return tqvs_op_open_database(kLib, name);
}
int TQVDCloseDatabase(void) {
    return tqvs_op_close_database(kLib);
}
int TQVDGetNames(const char *database, char *output) {
    return tqvs_op_get_names(kLib, database, output);
}
int TQVDGetInfo(int zero, const char *codeList, char *record) {
    return tqvs_op_get_info(kLib, zero, codeList, record);
}
int TQVDGetDataCount(const char *database, const char *codeList, int start, int end, int frequency,
                     double *output, int *count) {
    return tqvs_op_get_data_count(kLib, database, codeList, start, end, frequency, output, count);
}
int TQVDApplyMathCount(int operation, int start, int end, int frequency, double *values,
                       int *count) {
    return tqvs_op_apply_math_count(kLib, operation, start, end, frequency, values, count);
}
int TQVDApplyAdvancedCount(const TQVAdvancedOperation *advanced, int start, int end, int frequency,
                           double *values, int *count) {
    return tqvs_op_apply_advanced_count(kLib, advanced, start, end, frequency, values, count);
}
int TQVDGetObsNum(int start, int end, int frequency) {
    return tqvs_op_get_obs_num(kLib, start, end, frequency);
}
int TQVDGetAggregationMode(void) {
    return tqvs_op_get_aggregation_mode(kLib);
}
int TQVDSetAggregationMode(int mode) {
    return tqvs_op_set_aggregation_mode(kLib, mode);
}
int TQVDGetVersion(char *text, int size) {
    return tqvs_op_get_version(kLib, text, size);
}
int TQVDAuthenticate(const char *user, const char *password, int *status, const char *service) {
    return tqvs_op_authenticate(kLib, user, password, status, service);
}
