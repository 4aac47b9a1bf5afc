#include "archive/data_channels.h"

#include <memory>
#include <new>

namespace qarn {

int32_t ArchiveContext::read_packed(uint8_t* dst, int32_t count) {
    int32_t total = 0;
    if (packed_left <= 0 || source_file == nullptr || !*source_file) return 0;
    while (count > 0) {
        const int32_t chunk = count < packed_left ? count : packed_left;
        const auto got = static_cast<int32_t>(read_bytes(*source_file, dst + total,
                                                         static_cast<size_t>(chunk)));
        total += got;
        count -= got;
        packed_left -= got;
        packed_read += static_cast<uint32_t>(got);
        if (packed_left <= 0 || got == 0) break;
    }
    return total;
}

int32_t ArchiveContext::write_unpacked(const uint8_t* src, int32_t count) {
    if (count <= 0) return 0;
    const size_t written =
        output_file != nullptr ? output_file->write(src, static_cast<size_t>(count)) : 0;
    if (skip_output == 0) {
        // The checksum covers the bytes that reached the file, so a write that stored fewer
        // (a full disk) fails the entry; the counts say so plainly too.
        bytes_handed += static_cast<uint32_t>(count);
        bytes_stored += written;
        data_checksum = update_checksum(crc32_table, data_checksum, src, written, kind);
    }
    return static_cast<int32_t>(written);
}

void prepare_data_step(ArchiveContext& ctx, EntryOutput* output, bool pass_through) {
    ctx.data_checksum = ctx.kind == kKindOld ? 0 : 0xFFFFFFFFu;
    ctx.packed_left = ctx.file_header.pack_size;
    ctx.unpack.remaining_size = ctx.file_header.unp_size;
    ctx.unpack.packed_size =
        ctx.file_header.pack_size > 0 ? static_cast<uint32_t>(ctx.file_header.pack_size) : 0;
    ctx.unpack.reader = &ctx;
    ctx.unpack.writer = &ctx;
    ctx.source_file = &ctx.archive_file;
    ctx.output_file = output;
    ctx.skip_output = pass_through ? 1 : 0;
    ctx.bytes_handed = 0;
    ctx.bytes_stored = 0;
}

ExtractResult copy_stored(ArchiveContext& ctx) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kStoredCopyBuffer]());
    if (!buffer) return kExtractNoCopyMemory;
    int32_t& remaining = ctx.unpack.remaining_size;
    for (;;) {
        const int32_t n = ctx.read_packed(buffer.get(), kStoredCopyBuffer);
        if (n == 0) break;
        // Packed bytes beyond the unpacked size are read and dropped.
        const int32_t m = n < remaining ? n : remaining;
        if (m > 0) ctx.write_unpacked(buffer.get(), m);
        if (remaining >= 0) remaining -= m > 0 ? m : 0;
    }
    return kExtractOk;
}

bool entry_data_matches(const ArchiveContext& ctx) {
    const FileHeader& h = ctx.file_header;
    const bool crc_ok = ctx.kind == kKindOld ? ctx.data_checksum == h.file_crc
                                             : ctx.data_checksum == ~h.file_crc;
    const uint64_t expected = h.unp_size >= 0 ? static_cast<uint64_t>(h.unp_size) : UINT64_MAX;
    return crc_ok && ctx.bytes_handed == expected && ctx.bytes_stored == ctx.bytes_handed;
}

}  // namespace qarn
