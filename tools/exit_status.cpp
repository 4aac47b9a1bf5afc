#include "tools/exit_status.h"

#include "archive/run_result.h"

namespace qarn::tools {

int exit_status_for(int32_t run_result) {
    switch (run_result) {
        case kExtractOk: return kExitOk;
        case kExtractNoArchive:
        case kExtractNoWindowMemory: return kExitCannotRead;
        default: return kExitEntriesFailed;
    }
}

}  // namespace qarn::tools
