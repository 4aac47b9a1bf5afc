// The two data channels of an entry: the bounded reader of its packed data and the writer
// of its unpacked bytes, which keeps the entry's data checksum. The stored copy and the
// decoder use nothing else.
#pragma once
#include <cstdint>

#include "archive/archive_context.h"
#include "archive/run_result.h"

namespace qarn {

inline constexpr int32_t kStoredCopyBuffer = 32768;

// Sets the channel fields for the next entry's data step: checksum start by archive kind,
// packed and unpacked sizes from the current file header, output or none. `pass_through`
// runs the data step without output and without a checksum.
void prepare_data_step(ArchiveContext& ctx, EntryOutput* output, bool pass_through);

// Copies a stored entry through the channels: kExtractOk, or kExtractNoCopyMemory.
ExtractResult copy_stored(ArchiveContext& ctx);

// Whether the entry's data as handed to the output matches its header: the data checksum,
// and the length, so that data cut short cannot pass.
bool entry_data_matches(const ArchiveContext& ctx);

}  // namespace qarn
