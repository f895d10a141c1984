// The operations of both stand-in libraries, as the engine library exports
// them. tqvapi64 and tqvdapi64 forward each of their operations here with
// their library id, so that one engine holds the state of both and one
// journal records their calls in order.
#ifndef TQVS_ENGINE_H
#define TQVS_ENGINE_H

#include "tqv_standin.h"
#include "tqvlib.h"

#define TQVS_LIB_LOCAL 0
#define TQVS_LIB_DIRECT 1

#ifdef __cplusplus
extern "C" {
#endif

TQVS_API int tqvs_op_enable_retries(int lib, int on);
TQVS_API int tqvs_op_enable_ansi(int lib, int on);
TQVS_API int tqvs_op_get_merge_data(int lib);
TQVS_API int tqvs_op_set_merge_data(int lib, int setting);
TQVS_API int tqvs_op_open_database(int lib, const char *name);
TQVS_API int tqvs_op_close_database(int lib);
TQVS_API int tqvs_op_get_next_var(int lib, const char *database, const char *previous,
                                  char *record);
TQVS_API int tqvs_op_get_names(int lib, const char *database, char *output);
TQVS_API int tqvs_op_get_info(int lib, int zero, const char *code, char *record);
TQVS_API int tqvs_op_get_data_count(int lib, const char *database, const char *code, int start,
                                    int end, int frequency, double *output, int *count);
TQVS_API int tqvs_op_apply_math_count(int lib, int operation, int start, int end, int frequency,
                                      double *values, int *count);
TQVS_API int tqvs_op_apply_advanced_count(int lib, const TQVAdvancedOperation *advanced, int start,
                                          int end, int frequency, double *values, int *count);
TQVS_API int tqvs_op_get_obs_num(int lib, int start, int end, int frequency);
TQVS_API int tqvs_op_get_date(int lib, int start, int observation, int frequency);
TQVS_API int tqvs_op_get_aggregation_mode(int lib);
TQVS_API int tqvs_op_set_aggregation_mode(int lib, int mode);
TQVS_API int tqvs_op_get_version(int lib, char *text, int size);
TQVS_API int tqvs_op_authenticate(int lib, const char *user, const char *password, int *status,
                                  const char *service);

#ifdef __cplusplus
}
#endif

#endif
