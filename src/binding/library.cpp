#include "binding/library.h"

namespace kovrap {

const Library &localLibrary() noexcept {
    static const Library library = {
        false,
        TQVEnableRetries,
        TQVEnableAnsi,
        TQVGetMergeData,
        TQVSetMergeData,
        TQVOpenDatabase,
        TQVCloseDatabase,
        TQVGetInfo,
        TQVGetDataCount,
        TQVApplyMathCount,
        TQVApplyAdvancedCount,
        TQVGetObsNum,
        TQVGetAggregationMode,
        TQVSetAggregationMode,
        TQVGetVersion,
    };
    return library;
}

const Library &directLibrary() noexcept {
    static const Library library = {
        true,
        TQVDEnableRetries,
        TQVDEnableAnsi,
        TQVDGetMergeData,
        TQVDSetMergeData,
        TQVDOpenDatabase,
        TQVDCloseDatabase,
        TQVDGetInfo,
        TQVDGetDataCount,
        TQVDApplyMathCount,
        TQVDApplyAdvancedCount,
        TQVDGetObsNum,
        TQVDGetAggregationMode,
        TQVDSetAggregationMode,
        TQVDGetVersion,
    };
    return library;
}

} // namespace kovrap
