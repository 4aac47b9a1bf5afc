#include "archive/archive_reader.h"

#include <cstring>
#include <memory>
#include <new>

namespace qarn {
namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void decode_main_header(MainHeader& h, const uint8_t* b) {
    h.head_crc = le16(b);
    h.head_type = b[2];
    h.head_flags = le16(b + 3);
    h.head_size = le16(b + 5);
    h.reserved1 = le16(b + 7);
    h.reserved2 = le32(b + 9);
}

void decode_file_header(FileHeader& h, const uint8_t* b) {
    h.head_crc = le16(b);
    h.head_type = b[2];
    h.head_flags = le16(b + 3);
    h.head_size = le16(b + 5);
    h.pack_size = static_cast<int32_t>(le32(b + 7));
    h.unp_size = static_cast<int32_t>(le32(b + 11));
    h.host_os = b[15];
    h.file_crc = le32(b + 16);
    h.ftime = le32(b + 20);
    h.unp_ver = b[24];
    h.method = b[25];
    h.name_size = le16(b + 26);
    h.attr = le32(b + 28);
}

// Reads `count` header bytes into `raw` (zero-filled first: bytes a short read does not
// deliver count as zero) and returns the number read.
uint32_t read_raw(ArchiveContext& ctx, uint8_t* raw, uint32_t count) {
    std::memset(raw, 0, count);
    return static_cast<uint32_t>(read_bytes(ctx.archive_file, raw, count));
}

bool header_crc_matches(const ArchiveContext& ctx, uint16_t stored, const uint8_t* fixed,
                        uint32_t fixed_size, const char* name, uint32_t name_size) {
    uint32_t crc = crc32_update(ctx.crc32_table, 0xFFFFFFFFu, fixed, fixed_size);
    crc = crc32_update(ctx.crc32_table, crc, reinterpret_cast<const uint8_t*>(name), name_size);
    return static_cast<uint16_t>(~crc) == stored;
}

void check_main_header_crc(ArchiveContext& ctx, const uint8_t* raw) {
    // The old kind's "header" is its marker read with the main-header layout: it has no
    // checksum to compare.
    if (ctx.kind != kKindNew) {
        ctx.main_header_crc_ok = 1;
        return;
    }
    ctx.main_header_crc_ok =
        header_crc_matches(ctx, ctx.main_header.head_crc, raw + 2, kMainHeaderBytes - 2, "", 0);
    if (!ctx.main_header_crc_ok) ++ctx.header_crc_errors;
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
        const void* hit = std::memchr(buf + m, 0x52, n - m);
        if (hit == nullptr) break;
        m = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buf);

        uint8_t raw[kMainHeaderBytes];
        if (old_signature && m + 3 < n && std::memcmp(buf + m, kOldMarker, 4) == 0) {
            ctx.kind = kKindOld;
            ctx.archive_start = static_cast<uint32_t>(base + static_cast<int64_t>(m));
            seek_file(ctx.archive_file, ctx.archive_start, 0);
            read_raw(ctx, raw, kMainHeaderBytes);
            decode_main_header(ctx.main_header, raw);
            check_main_header_crc(ctx, raw);
            ctx.locate_result = kArchiveFoundByScan;
        }
        if (m + 9 < n && std::memcmp(buf + m, kMarker, 7) == 0 && buf[m + 9] == kMainHeadType) {
            ctx.kind = kKindNew;
            ctx.archive_start = static_cast<uint32_t>(base + static_cast<int64_t>(m));
            seek_file(ctx.archive_file, ctx.archive_start, 0);
            read_bytes(ctx.archive_file, ctx.marker, sizeof ctx.marker);
            read_raw(ctx, raw, kMainHeaderBytes);
            decode_main_header(ctx.main_header, raw);
            check_main_header_crc(ctx, raw);
            ctx.locate_result = (ctx.main_header.head_flags & kMainFlagVolume) ? kArchiveIsVolume
                                                                               : kArchiveFoundByScan;
        }
    }
    return ctx.locate_result;
}

}  // namespace

bool is_path_separator(char c) { return c == '\\' || c == '/'; }

int32_t locate_archive(ArchiveContext& ctx) {
    ctx.locate_result = kNoArchive;
    ctx.archive_start = 0;
    ctx.kind = kKindUnknown;

    if (read_bytes(ctx.archive_file, ctx.marker, sizeof ctx.marker) < sizeof ctx.marker) {
        return kNoArchive;
    }
    if (std::memcmp(ctx.marker, kMarker, sizeof kMarker) == 0) {
        ctx.kind = kKindNew;
        uint8_t raw[kMainHeaderBytes];
        if (read_raw(ctx, raw, kMainHeaderBytes) < kMainHeaderBytes) return kNoArchive;
        decode_main_header(ctx.main_header, raw);
        check_main_header_crc(ctx, raw);
        ctx.locate_result =
            (ctx.main_header.head_flags & kMainFlagVolume) ? kArchiveIsVolume : kArchiveAtStart;
    } else if (scan_for_archive(ctx) == kNoArchive) {
        return kNoArchive;
    }
    ctx.main_bytes_read = kMainHeaderBytes;
    return ctx.locate_result;
}

uint32_t read_block_header(ArchiveContext& ctx, uint8_t type) {
    uint8_t raw[kFileHeaderFixedBytes];
    if (type == kMainHeadType) {
        const uint32_t n = read_raw(ctx, raw, kMainHeaderBytes);
        decode_main_header(ctx.main_header, raw);
        return n;
    }
    const uint32_t n = read_raw(ctx, raw, kFileHeaderFixedBytes);
    decode_file_header(ctx.file_header, raw);
    return n;
}

uint32_t read_next_header(ArchiveContext& ctx, uint32_t request) {
    const FileHeader saved = ctx.file_header;
    const bool with_subblocks = (request & kRequestWithSubBlocks) != 0;
    const uint32_t wanted = request & 0xFF;

    uint8_t raw[kFileHeaderFixedBytes];
    uint32_t n;
    for (;;) {
        const int64_t pos = tell_file(ctx.archive_file);
        ctx.block_start = static_cast<uint32_t>(pos < 0 ? 0 : pos);
        n = read_raw(ctx, raw, kFileHeaderFixedBytes);
        decode_file_header(ctx.file_header, raw);
        const FileHeader& h = ctx.file_header;
        if (n > 0) {
            if (h.head_size < 7) return 0;
            // 32-bit arithmetic as in the format: a chain that wraps does not move forward.
            ctx.next_block = ctx.block_start + h.head_size;
            if (h.head_flags & kFlagHasAddSize) ctx.next_block += static_cast<uint32_t>(h.pack_size);
            if (ctx.next_block <= ctx.block_start) return 0;
        }
        if (n == 0 || wanted == 0 || h.head_type == wanted ||
            (h.head_type == kSubBlockType && with_subblocks)) {
            break;
        }
        seek_file(ctx.archive_file, ctx.next_block, 0);
    }

    const FileHeader& h = ctx.file_header;
    ctx.block_header = {h.head_crc, h.head_type, h.head_flags, h.head_size,
                        static_cast<uint32_t>(h.pack_size)};
    if (n == 0 || h.head_type != kFileHeadType) {
        ctx.file_header = saved;
        seek_file(ctx.archive_file, ctx.block_start, 0);
        return n;
    }

    // Names longer than a path can hold are cut; the packed data is still found, since it
    // is located from the end of the block.
    uint32_t name_size = ctx.file_header.name_size;
    if (name_size > kPathCapacity - 1) name_size = kPathCapacity - 1;
    ctx.file_header.name_size = static_cast<uint16_t>(name_size);
    const size_t got = read_bytes(ctx.archive_file, ctx.entry_name, name_size);
    // A name cut short by the end of the file ends where the bytes do.
    ctx.entry_name[got] = '\0';
    n += name_size;

    // The checksum covers the name as stored; a cut name cannot match, which is right.
    ctx.file_header_crc_ok = 1;
    if (ctx.kind == kKindNew) {
        ctx.file_header_crc_ok = header_crc_matches(ctx, ctx.file_header.head_crc, raw + 2,
                                                    kFileHeaderFixedBytes - 2, ctx.entry_name,
                                                    static_cast<uint32_t>(got));
    }
    if (!ctx.file_header_crc_ok) ++ctx.header_crc_errors;
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
