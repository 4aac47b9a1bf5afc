#include "archive/archive_walk.h"

#include <memory>
#include <new>
#include <utility>

#include "archive/archive_reader.h"
#include "archive/data_channels.h"
#include "unpack/lz_decoder.h"

namespace qarn {
namespace {

bool version_supported(const FileHeader& h) {
    if (h.unp_ver < 13 || h.unp_ver > 20) return false;
    // Versions 13 to 15 use the older method, which is not decoded.
    return h.method == '0' || h.unp_ver > 15;
}

EntryVerdict judge(const ArchiveContext& ctx) {
    if (entry_data_matches(ctx) && ctx.file_header_crc_ok) return EntryVerdict::kOk;
    const FileHeader& h = ctx.file_header;
    if (h.head_flags & kFileFlagEncrypted) return EntryVerdict::kEncrypted;
    if (!version_supported(h)) return EntryVerdict::kUnsupportedVersion;
    if (!ctx.file_header_crc_ok) return EntryVerdict::kDamagedHeader;
    return EntryVerdict::kChecksum;
}

}  // namespace

const char* verdict_text(EntryVerdict verdict) {
    switch (verdict) {
        case EntryVerdict::kOk: return "OK";
        case EntryVerdict::kFolder: return "folder";
        case EntryVerdict::kChecksum: return "checksum";
        case EntryVerdict::kUnsupportedVersion: return "unsupported version";
        case EntryVerdict::kEncrypted: return "encrypted";
        case EntryVerdict::kDamagedHeader: return "damaged header";
    }
    return "?";
}

WalkStatus walk_archive(const char* path, bool test, ArchiveListener& listener,
                        WalkSummary& summary) {
    summary = {};
    File file = open_shared(path, "rb", 1);
    if (!file) return WalkStatus::kCannotOpen;
    return walk_archive_file(std::move(file), test, listener, summary);
}

WalkStatus walk_archive_file(File file, bool test, ArchiveListener& listener,
                             WalkSummary& summary) {
    summary = {};
    std::unique_ptr<ArchiveContext> ctx(new (std::nothrow) ArchiveContext());
    if (!ctx) return WalkStatus::kOutOfMemory;
    build_crc32_table(ctx->crc32_table);
    ctx->verify_only = 1;
    ctx->archive_file = std::move(file);
    if (!ctx->archive_file) return WalkStatus::kCannotOpen;
    if (locate_archive(*ctx) == kNoArchive) return WalkStatus::kNoArchive;
    listener.on_archive({ctx->locate_result, ctx->kind, ctx->archive_start, &ctx->main_header,
                         ctx->main_header_crc_ok != 0});

    std::unique_ptr<uint8_t[]> window;
    if (test) {
        window.reset(new (std::nothrow) uint8_t[kWindowSize]());
        if (!window) return WalkStatus::kOutOfMemory;
    }

    seek_file(ctx->archive_file,
              int64_t{ctx->main_header.head_size} - int64_t{ctx->main_bytes_read}, 1);
    bool continues = false;
    for (;;) {
        if (read_next_header(*ctx, kFileHeadType | kRequestWithSubBlocks) == 0) break;
        if (ctx->block_header.head_type == kSubBlockType) {
            // The header search left the file at the sub-block; a seek past it that fails
            // would find the same sub-block again and again.
            if (!seek_file(ctx->archive_file, ctx->next_block, 0)) break;
            continue;
        }
        apply_host_attributes(*ctx);
        const FileHeader& h = ctx->file_header;
        continues = (h.head_flags & kFileFlagToNext) != 0;
        ++summary.entries;
        summary.packed_bytes += h.pack_size > 0 ? static_cast<uint32_t>(h.pack_size) : 0;
        summary.unpacked_bytes += h.unp_size > 0 ? static_cast<uint32_t>(h.unp_size) : 0;

        EntryInfo info{&h, ctx->entry_name, ctx->block_start, ctx->file_header_crc_ok != 0,
                       EntryVerdict::kOk, 0};
        const bool folder = (h.attr & (kAttrVolumeLabel | kAttrDirectory)) != 0;
        if (!test || folder) {
            if (folder) info.verdict = EntryVerdict::kFolder;
            listener.on_entry(info);
            // As in the extraction run, the search after a folder goes on where its header's
            // name ends, where a folder's empty data ends.
            if (!folder) seek_file(ctx->archive_file, ctx->next_block, 0);
            continue;
        }

        listener.on_entry_start(info);
        seek_file(ctx->archive_file, int64_t{ctx->next_block} - h.pack_size, 0);
        prepare_data_step(*ctx, nullptr, false);
        if (h.method == '0') {
            if (copy_stored(*ctx) != 0) return WalkStatus::kOutOfMemory;
        } else if (h.unp_ver > 15) {
            decompress(ctx->unpack, window.get(), (h.head_flags & kFileFlagSolid) != 0);
        }
        seek_file(ctx->archive_file, ctx->next_block, 0);

        info.verdict = judge(*ctx);
        info.produced = ctx->bytes_handed;
        if (info.verdict != EntryVerdict::kOk) ++summary.failed;
        listener.on_entry(info);
    }
    summary.header_crc_errors = ctx->header_crc_errors;
    if (summary.entries == 0) return WalkStatus::kNoEntries;
    if (continues) return WalkStatus::kContinues;
    return summary.failed > 0 ? WalkStatus::kEntriesFailed : WalkStatus::kComplete;
}

}  // namespace qarn
