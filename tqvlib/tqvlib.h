/*
 * tqvlib.h - the operations of the two closed database libraries that Kovrap
 * calls: tqvapi64 (local, TQV*) and tqvdapi64 (direct, TQVD*).
 *
 * Every operation is a plain C function with the platform's calling
 * convention. Status results are 0 for success. The stand-in libraries under
 * standin/ implement exactly these declarations.
 */
#ifndef KOVRAP_TQVLIB_H
#define KOVRAP_TQVLIB_H

#if defined(_WIN32)
#define TQV_EXPORT_ __declspec(dllexport)
#define TQV_IMPORT_ __declspec(dllimport)
#else
#define TQV_EXPORT_ __attribute__((visibility("default")))
#define TQV_IMPORT_ __attribute__((visibility("default")))
#endif

#if defined(TQV_BUILDING_LOCAL)
#define TQV_LOCAL_API TQV_EXPORT_
#else
#define TQV_LOCAL_API TQV_IMPORT_
#endif
#if defined(TQV_BUILDING_DIRECT)
#define TQV_DIRECT_API TQV_EXPORT_
#else
#define TQV_DIRECT_API TQV_IMPORT_
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Size the caller provides for one series information record. */
#define TQV_RECORD_BYTES 256

/** Operation code and three parameters of an advanced count, passed by
 *  address. */
typedef struct TQVAdvancedOperation {
    int operation;
    int first;
    int second;
    int third;
} TQVAdvancedOperation;

/* Local library, tqvapi64. */
TQV_LOCAL_API int TQVEnableRetries(int on);
TQV_LOCAL_API int TQVEnableAnsi(int on);
TQV_LOCAL_API int TQVGetMergeData(void);
TQV_LOCAL_API int TQVSetMergeData(int setting);
TQV_LOCAL_API int TQVOpenDatabase(const char *name);
TQV_LOCAL_API int TQVCloseDatabase(void);
TQV_LOCAL_API int TQVGetNextVar(const char *database, const char *previous, char *record);
TQV_LOCAL_API int TQVGetInfo(int zero, const char *code, char *record);
TQV_LOCAL_API int TQVGetDataCount(const char *database, const char *code, int start, int end,
                                  int frequency, double *output, int *count);
TQV_LOCAL_API int TQVApplyMathCount(int operation, int start, int end, int frequency,
                                    double *values, int *count);
TQV_LOCAL_API int TQVApplyAdvancedCount(const TQVAdvancedOperation *advanced, int start, int end,
                                        int frequency, double *values, int *count);
TQV_LOCAL_API int TQVGetObsNum(int start, int end, int frequency);
TQV_LOCAL_API int TQVGetDate(int start, int observation, int frequency);
TQV_LOCAL_API int TQVGetAggregationMode(void);
TQV_LOCAL_API int TQVSetAggregationMode(int mode);
TQV_LOCAL_API int TQVGetVersion(char *text, int size);

/* Direct library, tqvdapi64. Where a local operation takes one series code
 * the direct twin takes a comma-joined code list on the first call of a chunk
 * and null afterwards, answering for the next code of that list each call. */
TQV_DIRECT_API int TQVDEnableRetries(int on);
TQV_DIRECT_API int TQVDEnableAnsi(int on);
TQV_DIRECT_API int TQVDGetMergeData(void);
TQV_DIRECT_API int TQVDSetMergeData(int setting);
TQV_DIRECT_API int TQVDOpenDatabase(const char *name);
TQV_DIRECT_API int TQVDCloseDatabase(void);
TQV_DIRECT_API int TQVDGetNames(const char *database, char *output);
TQV_DIRECT_API int TQVDGetInfo(int zero, const char *codeList, char *record);
TQV_DIRECT_API int TQVDGetDataCount(const char *database, const char *codeList, int start, int end,
                                    int frequency, double *output, int *count);
TQV_DIRECT_API int TQVDApplyMathCount(int operation, int start, int end, int frequency,
                                      double *values, int *count);
TQV_DIRECT_API int TQVDApplyAdvancedCount(const TQVAdvancedOperation *advanced, int start, int end,
                                          int frequency, double *values, int *count);
TQV_DIRECT_API int TQVDGetObsNum(int start, int end, int frequency);
TQV_DIRECT_API int TQVDGetAggregationMode(void);
TQV_DIRECT_API int TQVDSetAggregationMode(int mode);
TQV_DIRECT_API int TQVDGetVersion(char *text, int size);
TQV_DIRECT_API int TQVDAuthenticate(const char *user, const char *password, int *status,
                                    const char *service);

/** Status with which TQVDGetNames says there are no more names. */
#define TQVD_END_OF_NAMES 1011

#ifdef __cplusplus
}
#endif

#endif /* KOVRAP_TQVLIB_H */
