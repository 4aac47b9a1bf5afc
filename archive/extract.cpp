// The extraction run. Entries are handled strictly in archive order; entries that are not
// written still go through the decoder, without output, so that the window holds every
// earlier entry when a solid one follows.
#include "archive/extract.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/archive_reader.h"
#include "archive/data_channels.h"
#include "archive/entry_name_check.h"
#include "archive/language_filter.h"
#include "languages/language_table.h"
#include "platform/platform.h"
#include "system/paths.h"
#include "unpack/lz_decoder.h"

namespace qarn {
namespace {

// Creates the folders above a file's path; failures show later, when the file is created.
void create_parent_folders(const char* target_path) {
    const uint16_t k = file_name_offset(target_path);
    if (k <= 1 || target_path[k - 1] != '\\') return;
    char folder[kPathSize];
    std::memcpy(folder, target_path, k - 1u);
    folder[k - 1] = '\0';
    create_folder_path(folder);
}

// Removes an existing file and creates the entry's file anew. Null when it cannot be made
// (a folder standing there, a read-only file, no access).
File create_output_file(const char* target_path) {
    create_parent_folders(target_path);
    if (check_exists(target_path) == kExists) platform::remove_file(target_path);
    // A folder at the path is never opened as a file, also where the runtime would allow it.
    if (platform::is_directory(target_path)) return File();
    return open_shared(target_path, "w+b", 2);
}

bool version_in_range(const FileHeader& h) { return h.unp_ver >= 13 && h.unp_ver <= 20; }

int32_t extract_entries(ExtractionUser& user, ArchiveContext& ctx) {
    int32_t result = kExtractOk;
    bool first_entry = true;

    ctx.archive_file = open_shared(ctx.setup_path, "rb", 1);
    if (!ctx.archive_file) return kExtractNoArchive;
    if (locate_archive(ctx) == kNoArchive) return kExtractNoArchive;

    std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[kWindowSize]());
    if (!window) return kExtractNoWindow;
    ctx.window = window.get();

    seek_file(ctx.archive_file, int64_t{ctx.main_header.head_size} - int64_t{ctx.main_bytes_read}, 1);
    ctx.next_volume = 0;

    char target_path[kPathSize];
    uint32_t entries_seen = 0;
    while (result == kExtractOk) {
        if (read_next_header(ctx, kFileHeadType | kRequestWithSubBlocks) == 0) {
            // The archive ends here. An entry that said it continues in a next volume is
            // incomplete, and no further volume is ever opened: the archive cannot be read
            // whole. An archive without a single file entry installs nothing: a failure too.
            if (ctx.next_volume != 0 || entries_seen == 0) result = kExtractNoArchive;
            break;
        }
        if (ctx.block_header.head_type == kSubBlockType) {
            // The header search left the file at the sub-block; a seek past it that fails
            // would find the same sub-block again and again.
            if (!seek_file(ctx.archive_file, ctx.next_block, 0)) break;
            continue;
        }
        ++entries_seen;
        apply_host_attributes(ctx);
        const FileHeader& h = ctx.file_header;
        if ((h.head_flags & kFileFlagFromPrevious) && first_entry) return kExtractNoArchive;
        first_entry = false;
        ctx.next_volume = h.head_flags & kFileFlagToNext;
        seek_file(ctx.archive_file, int64_t{ctx.next_block} - h.pack_size, 0);

        // A name that leads outside the target folder, or a path that would not fit, is
        // refused before anything touches the file system for it.
        const bool empty_name = ctx.entry_name[0] == '\0';
        const NameRefusal refusal = check_entry_name(ctx.entry_name);
        if ((refusal != NameRefusal::kNone && !empty_name) ||
            !join_checked(target_path, sizeof target_path, ctx.target_folder, ctx.entry_name)) {
            user.show_file_error(ctx.entry_name);
            result = kExtractEntryFailed;
            break;
        }

        const int wanted = language_filter(ctx.entry_name, target_path, g_language_table,
                                           kProductPrefix);
        bool skip = wanted == 0;
        bool write = !skip;
        if (!version_in_range(h)) {
            write = false;
            result = kExtractEntryFailed;  // the run ends after this entry
        }
        if (h.attr & (kAttrVolumeLabel | kAttrDirectory)) {
            // No folder is made for a folder entry; folders arise as parents of files. The
            // next header search goes on where this header's name ended.
            continue;
        }

        File output;
        bool not_created = false;
        if (write && wanted) {
            output = create_output_file(target_path);
            if (!output) {
                user.show_file_error(target_path);
                result += 1;
                write = false;
                not_created = true;
            }
        }
        if (!write) skip = true;

        prepare_data_step(ctx, output ? &output : nullptr, skip);
        user.show_entry_name(ctx.entry_name);
        if (h.method == '0') {
            const int32_t status = copy_stored(ctx);
            if (status != 0) result = status;
        } else if (h.unp_ver > 15) {
            decompress(ctx.unpack, ctx.window, (h.head_flags & kFileFlagSolid) != 0);
        }
        seek_file(ctx.archive_file, ctx.next_block, 0);

        const bool failed = !skip && !entry_data_matches(ctx);
        if (failed) result = kExtractChecksum;
        output.close();
        if (failed) {
            user.show_file_error(ctx.entry_name);
            platform::remove_file(target_path);
            continue;
        }
        // Whatever stands where a file could not be created (a folder, say) is not ours to
        // change, and the target folder itself never takes an entry's time or attributes.
        if (!empty_name && !not_created) {
            platform::set_file_dos_time(target_path, h.ftime);
            platform::set_file_attributes(target_path, h.attr);
        }
    }
    return result;
}

}  // namespace

int32_t extract_archive(ExtractionUser& user, const char* setup_path, char* target_folder,
                        size_t capacity) {
    std::unique_ptr<ArchiveContext> ctx(new (std::nothrow) ArchiveContext());
    if (!ctx) return kExtractEntryFailed;
    if (!append_backslash(target_folder, capacity)) {
        // No room even for the separator: no entry's path could fit.
        user.show_file_error(target_folder);
        return kExtractEntryFailed;
    }
    ctx->setup_path = setup_path;
    ctx->target_folder = target_folder;
    build_crc32_table(ctx->crc32_table);
    return extract_entries(user, *ctx);
}

}  // namespace qarn
