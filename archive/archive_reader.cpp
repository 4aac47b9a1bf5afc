#include "archive/archive_reader.h"

#include <cstring>
#include <memory>
#include <new>

namespace qarn {
namespace {

// Reads `count` header bytes into `raw` (zero-filled first: bytes a short read does not
// deliver count as zero) and returns the number read.
uint32_t read_raw(ArchiveContext& ctx, uint8_t* raw, uint32_t count) {
    std::memset(raw, 0, count);
    return static_cast<uint32_t>(read_bytes(ctx.archive_file, raw, count));
}

// Continues a header checksum over the header's bytes still in the file, from the current
// position up to `end`, in small pieces: a header may claim up to 64 KB, and nothing is
// ever sized by what it claims. False when the file ends first.
bool checksum_rest(ArchiveContext& ctx, uint32_t& running, int64_t end) {
    uint8_t piece[64];
    int64_t at = tell_file(ctx.archive_file);
    if (at < 0) return false;
    while (at < end) {
        const int64_t want = end - at < static_cast<int64_t>(sizeof piece) ? end - at
                                                                           : sizeof piece;
        const size_t got = read_bytes(ctx.archive_file, piece, static_cast<size_t>(want));
        running = crc32_update(ctx.crc32_table, running, piece, got);
        if (got == 0) return false;
        at += static_cast<int64_t>(got);
    }
    return true;
}

bool crc_matches(uint32_t running, uint16_t stored) {
    return static_cast<uint16_t>(~running) == stored;
}

// Scans what follows the first 7 bytes for an archive behind an executable image.
int32_t scan_for_archive(ArchiveContext& ctx) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kScanBufferSize]());
    if (!buffer) return kNoArchive;
    const int64_t base = tell_file(ctx.archive_file);
    if (base < 0) return kNoArchive;
    const uint8_t* buf = buffer.get();
    const size_t n = read_bytes(ctx.archive_file, buffer.get(), kScanReadSize);

    // The old kind is recognised only with the self-extractor signature at file offsets
    // 28 to 31.
    bool old_signature = false;
    if (base <= 28 && static_cast<size_t>(31 - base) < n) {
        old_signature = std::memcmp(buf + (28 - base), kOldSfxSignature, 4) == 0;
    }

    for (size_t m = 0; m < n && ctx.locate_result == kNoArchive; ++m) {
        const void* hit = std::memchr(buf + m, kMarker[0], n - m);
        if (hit == nullptr) break;
        m = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buf);

        uint8_t raw[kMainHeaderBytes];
        if (old_signature && m + 3 < n && std::memcmp(buf + m, kOldMarker, 4) == 0) {
            ctx.kind = kKindOld;
            ctx.archive_start = static_cast<uint32_t>(base + static_cast<int64_t>(m));
            if (!seek_checked(ctx, ctx.archive_start)) return kNoArchive;
            read_raw(ctx, raw, kMainHeaderBytes);
            decode_main_header(raw, ctx.main_header);
            ctx.locate_result = kArchiveFoundByScan;
        }
        if (m + 9 < n && std::memcmp(buf + m, kMarker, kMarkerBytes) == 0 &&
            buf[m + 9] == kMainHeadType) {
            ctx.kind = kKindNew;
            ctx.archive_start = static_cast<uint32_t>(base + static_cast<int64_t>(m));
            if (!seek_checked(ctx, ctx.archive_start)) return kNoArchive;
            read_bytes(ctx.archive_file, ctx.marker, sizeof ctx.marker);
            read_raw(ctx, raw, kMainHeaderBytes);
            decode_main_header(raw, ctx.main_header);
            ctx.locate_result = (ctx.main_header.head_flags & kMainFlagVolume) ? kArchiveIsVolume
                                                                               : kArchiveFoundByScan;
        }
    }
    return ctx.locate_result;
}

// The file header just read, as its checksum sees it: the 30 fixed bytes after head_crc and
// the name. A header passes when head_crc matches either the whole header as stored (to
// head_size, the full stored name included even where the name was cut to fit a path) or
// the fixed bytes with the name as read. Headers longer than their name carry their
// checksum over all of them; the narrow form is kept for the cut name's sake.
bool file_header_crc_ok(ArchiveContext& ctx, const uint8_t* raw, uint32_t name_read,
                        uint32_t stored_name_size) {
    uint32_t running = crc32_update(ctx.crc32_table, 0xFFFFFFFFu, raw + block_field::kType,
                                    kFileHeaderFixedBytes - block_field::kType);
    running = crc32_update(ctx.crc32_table, running,
                           reinterpret_cast<const uint8_t*>(ctx.entry_name), name_read);
    const uint16_t stored = ctx.file_header.head_crc;
    if (crc_matches(running, stored)) return true;
    const uint32_t named_end = kFileHeaderFixedBytes + stored_name_size;
    const uint32_t head_end = ctx.file_header.head_size;
    const int64_t end = int64_t{ctx.block_start} + (head_end > named_end ? head_end : named_end);
    return checksum_rest(ctx, running, end) && crc_matches(running, stored);
}

// Whether a file header's layout holds together: its fixed bytes are all there, it says
// how much data follows it, and its name lies inside it. Otherwise the bytes it names as
// its data could be read again, as a header or as another entry's data, which is how a
// few kilobytes could be made to install gigabytes.
HeaderDamage judge_layout(const FileHeader& h, uint32_t fixed_bytes_read) {
    if (fixed_bytes_read < kFileHeaderFixedBytes) return HeaderDamage::kCut;
    if ((h.head_flags & kFlagHasAddSize) == 0) return HeaderDamage::kNoDataSize;
    if (h.head_size < kFileHeaderFixedBytes + uint32_t{h.name_size}) return HeaderDamage::kNameOutside;
    return HeaderDamage::kNone;
}

}  // namespace

bool is_path_separator(char c) { return c == '\\' || c == '/'; }

bool seek_checked(ArchiveContext& ctx, int64_t offset) {
    if (offset >= 0 && seek_file(ctx.archive_file, offset, 0)) return true;
    ctx.seek_failed = true;
    return false;
}

int32_t locate_archive(ArchiveContext& ctx) {
    ctx.locate_result = kNoArchive;
    ctx.archive_start = 0;
    ctx.kind = kKindUnknown;

    if (read_bytes(ctx.archive_file, ctx.marker, sizeof ctx.marker) < sizeof ctx.marker) {
        return kNoArchive;
    }
    if (std::memcmp(ctx.marker, kMarker, kMarkerBytes) == 0) {
        ctx.kind = kKindNew;
        uint8_t raw[kMainHeaderBytes];
        if (read_raw(ctx, raw, kMainHeaderBytes) < kMainHeaderBytes) return kNoArchive;
        decode_main_header(raw, ctx.main_header);
        ctx.locate_result =
            (ctx.main_header.head_flags & kMainFlagVolume) ? kArchiveIsVolume : kArchiveAtStart;
    } else if (scan_for_archive(ctx) == kNoArchive) {
        return kNoArchive;
    }
    ctx.main_bytes_read = kMainHeaderBytes;
    return ctx.locate_result;
}

bool finish_main_header(ArchiveContext& ctx) {
    // The old kind's "main header" is its marker read with the main-header layout; it has
    // no checksum and its own 13 bytes are all there is.
    const int64_t main_at = tell_file(ctx.archive_file) - ctx.main_bytes_read;
    if (main_at < 0) {
        ctx.seek_failed = true;
        return false;
    }
    ctx.last_header_at = main_at;
    const int64_t first_block = main_at + ctx.main_header.head_size;
    if (ctx.kind != kKindNew) {
        ctx.main_header_crc_ok = true;
        return seek_checked(ctx, first_block);
    }
    uint8_t raw[kMainHeaderBytes];
    encode_main_header(ctx.main_header, raw);
    uint32_t running = crc32_update(ctx.crc32_table, 0xFFFFFFFFu, raw + block_field::kType,
                                    kMainHeaderBytes - block_field::kType);
    ctx.main_header_crc_ok = crc_matches(running, ctx.main_header.head_crc);
    if (!ctx.main_header_crc_ok && ctx.main_header.head_size > kMainHeaderBytes) {
        ctx.main_header_crc_ok =
            checksum_rest(ctx, running, first_block) && crc_matches(running, ctx.main_header.head_crc);
    }
    return seek_checked(ctx, first_block);
}

uint32_t read_block_header(ArchiveContext& ctx, uint8_t type) {
    uint8_t raw[kFileHeaderFixedBytes];
    if (type == kMainHeadType) {
        const uint32_t n = read_raw(ctx, raw, kMainHeaderBytes);
        decode_main_header(raw, ctx.main_header);
        return n;
    }
    const uint32_t n = read_raw(ctx, raw, kFileHeaderFixedBytes);
    decode_file_header(raw, ctx.file_header);
    return n;
}

uint32_t read_next_header(ArchiveContext& ctx, uint32_t request) {
    const FileHeader saved = ctx.file_header;
    const bool with_subblocks = (request & kRequestWithSubBlocks) != 0;
    const uint32_t wanted = request & 0xFF;

    uint32_t n;
    uint8_t passed_type = 0;  // the type of the block passed over last
    for (;;) {
        const int64_t pos = tell_file(ctx.archive_file);
        // A walk only ever moves forward: a header at or before the last one read would
        // start a loop, however the file came to be positioned there.
        if (pos < 0 || pos <= ctx.last_header_at) return 0;
        ctx.last_header_at = pos;
        ctx.block_start = static_cast<uint32_t>(pos);
        n = read_block_header(ctx, kFileHeadType);
        const FileHeader& h = ctx.file_header;
        // Fewer bytes than any block's header: the file ends inside one.
        if (n > 0 && n < kBlockHeaderBytes) {
            ctx.ends_inside_block = true;
            return 0;
        }
        if (n > 0) {
            if (h.head_size < kBlockHeaderBytes) {
                if (passed_type == kEndHeadType) ctx.end_mark_seen = true;
                return 0;
            }
            // 32-bit arithmetic as in the format: a chain that wraps does not move forward.
            ctx.next_block = ctx.block_start + h.head_size;
            if (h.head_flags & kFlagHasAddSize) ctx.next_block += static_cast<uint32_t>(h.pack_size);
            if (ctx.next_block <= ctx.block_start) return 0;
        }
        if (n == 0 || wanted == 0 || h.head_type == wanted ||
            (h.head_type == kSubBlockType && with_subblocks)) {
            break;
        }
        passed_type = h.head_type;
        if (!seek_checked(ctx, ctx.next_block)) return 0;
    }

    const FileHeader& h = ctx.file_header;
    ctx.block_header = {h.head_crc, h.head_type, h.head_flags, h.head_size,
                        static_cast<uint32_t>(h.pack_size)};
    if (n == 0 || h.head_type != kFileHeadType) {
        ctx.file_header = saved;
        if (!seek_checked(ctx, ctx.block_start)) return 0;
        return n;
    }

    ctx.header_damage = judge_layout(ctx.file_header, n);

    // The fixed bytes as read, for the header checksum (decoding is lossless).
    uint8_t raw[kFileHeaderFixedBytes];
    encode_file_header(ctx.file_header, raw);

    // Names longer than a path can hold are cut; the packed data is still found, since it
    // is located from the end of the block.
    const uint32_t stored_name_size = ctx.file_header.name_size;
    uint32_t name_size = stored_name_size;
    if (name_size > kPathCapacity - 1) name_size = kPathCapacity - 1;
    ctx.file_header.name_size = static_cast<uint16_t>(name_size);
    const size_t got = read_bytes(ctx.archive_file, ctx.entry_name, name_size);
    ctx.entry_name[got] = '\0';
    n += name_size;
    if (got < name_size && ctx.header_damage == HeaderDamage::kNone) {
        ctx.header_damage = HeaderDamage::kCut;
    }
    // Only a header whose layout holds together is worth its checksum.
    if (ctx.kind == kKindNew && ctx.header_damage == HeaderDamage::kNone &&
        !file_header_crc_ok(ctx, raw, static_cast<uint32_t>(got), stored_name_size)) {
        ctx.header_damage = HeaderDamage::kChecksum;
    }
    normalise_file_header(ctx);
    return n;
}

void normalise_file_header(ArchiveContext& ctx) {
    FileHeader& h = ctx.file_header;
    if (h.host_os > 3) {
        h.host_os = 0;
        h.attr = (h.head_flags & kFileFlagDirectoryMask) == kFileFlagDirectoryMask ? kAttrDirectory
                                                                                 : kAttrArchive;
    }
    for (char* p = ctx.entry_name; *p != '\0'; ++p) {
        if (is_path_separator(*p)) *p = '\\';
    }
}

void apply_host_attributes(ArchiveContext& ctx) {
    FileHeader& h = ctx.file_header;
    if (h.host_os <= 2) return;
    h.attr = (h.head_flags & kFileFlagDirectoryMask) == kFileFlagDirectoryMask ? kAttrDirectory
                                                                             : kAttrArchive;
}

}  // namespace qarn
