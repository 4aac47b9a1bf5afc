// The entry loop. Entries are handled strictly in archive order; entries that are not
// written still go through the decoder, without output, so that the window holds every
// earlier entry when a solid one follows.
#include "archive/entry_loop.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "archive/archive_reader.h"
#include "archive/data_channels.h"
#include "system/paths.h"
#include "unpack/lz_decoder.h"

namespace qarn {
namespace {

bool version_in_range(const FileHeader& h) { return h.unp_ver >= 13 && h.unp_ver <= 20; }

bool is_folder(const FileHeader& h) {
    return (h.attr & (kAttrVolumeLabel | kAttrDirectory)) != 0;
}

// Records the entry's first problem; later checks of the same entry do not replace it.
void fail(EntryInfo& e, EntryProblem problem, int32_t result) {
    if (e.result != kExtractOk) return;
    e.problem = problem;
    e.result = result;
}

// Why a written entry's data did not pass, named as helpfully as the facts allow.
EntryProblem data_problem(const ArchiveContext& ctx, bool closed) {
    const FileHeader& h = ctx.file_header;
    if (!closed || ctx.bytes_stored != ctx.bytes_handed) return EntryProblem::kShortWrite;
    if (h.head_flags & kFileFlagEncrypted) return EntryProblem::kEncrypted;
    if (h.method != '0' && h.unp_ver <= 15) return EntryProblem::kOldMethod;
    const uint64_t expected = h.unp_size >= 0 ? static_cast<uint64_t>(h.unp_size) : UINT64_MAX;
    if (ctx.bytes_handed != expected) return EntryProblem::kLength;
    return EntryProblem::kChecksum;
}

class EntryLoop {
public:
    EntryLoop(ArchiveContext& ctx, const RunSetup& setup, ArchiveListener& listener,
              RunSummary& summary)
        : ctx_(ctx), setup_(setup), listener_(listener), summary_(summary) {}

    int32_t run();

private:
    // Handles the entry whose header was just read; false when the walk cannot go on.
    bool handle_entry();
    bool data_step(EntryInfo& e, EntryOutput* output, bool pass_through);
    void record(const EntryInfo& e);

    bool installing() const { return setup_.mode == RunMode::kInstall; }
    bool decoding() const { return setup_.mode != RunMode::kList; }

    ArchiveContext& ctx_;
    const RunSetup& setup_;
    ArchiveListener& listener_;
    RunSummary& summary_;
    int32_t result_ = kExtractOk;  // the first entry's code that stops an installation
    bool first_entry_ = true;
    char target_path_[kPathSize] = {};
};

int32_t EntryLoop::run() {
    summary_ = {};
    if (locate_archive(ctx_) == kNoArchive) {
        summary_.problem = ArchiveProblem::kNoArchive;
        return kExtractNoArchive;
    }
    listener_.on_archive({ctx_.locate_result, ctx_.kind, ctx_.archive_start, &ctx_.main_header});

    std::unique_ptr<uint8_t[]> window;
    if (decoding()) {
        window.reset(new (std::nothrow) uint8_t[kWindowSize]());
        if (!window) {
            summary_.problem = ArchiveProblem::kOutOfMemory;
            return kExtractNoWindow;
        }
        ctx_.window = window.get();
    }
    const bool positioned = finish_main_header(ctx_);
    summary_.main_header_crc_ok = ctx_.main_header_crc_ok != 0;
    if (!positioned) {
        summary_.problem = ArchiveProblem::kSeekFailed;
        return kExtractNoArchive;
    }
    ctx_.next_volume = 0;

    while (result_ == kExtractOk || !installing()) {
        if (read_next_header(ctx_, kFileHeadType | kRequestWithSubBlocks) == 0) break;
        if (ctx_.block_header.head_type == kSubBlockType) {
            if (!seek_checked(ctx_, ctx_.next_block)) break;
            continue;
        }
        if (!handle_entry()) break;
    }
    summary_.header_crc_errors = ctx_.header_crc_errors;
    summary_.end_mark = ctx_.end_mark_seen != 0;
    summary_.continues = ctx_.next_volume != 0;
    ctx_.window = nullptr;

    // A walk that cannot go on where the file says the next block is has not read the
    // archive whole. An entry that said it continues in a next volume is incomplete, and no
    // further volume is ever opened. An archive without a single file entry installs
    // nothing. Each fails, unless an entry before stopped the run already.
    if (ctx_.seek_failed) {
        summary_.problem = ArchiveProblem::kSeekFailed;
    } else if (summary_.entries == 0) {
        summary_.problem = ArchiveProblem::kNoEntries;
    } else if (summary_.continues) {
        summary_.problem = ArchiveProblem::kContinues;
    }
    if (result_ != kExtractOk) return result_;
    return summary_.problem == ArchiveProblem::kNone ? kExtractOk : kExtractNoArchive;
}

bool EntryLoop::handle_entry() {
    apply_host_attributes(ctx_);
    const FileHeader& h = ctx_.file_header;
    EntryInfo e{};
    e.header = &h;
    e.name = ctx_.entry_name;
    e.block_start = ctx_.block_start;
    e.header_crc_ok = ctx_.file_header_crc_ok != 0;
    e.folder = is_folder(h);
    ++summary_.entries;
    summary_.packed_bytes += h.pack_size > 0 ? static_cast<uint32_t>(h.pack_size) : 0;
    summary_.unpacked_bytes += h.unp_size > 0 ? static_cast<uint32_t>(h.unp_size) : 0;
    const auto name_length = static_cast<uint32_t>(std::strlen(ctx_.entry_name));
    if (name_length > summary_.longest_name) summary_.longest_name = name_length;

    // An archive whose first entry continues another volume is not the start of anything
    // this installer can read.
    if ((h.head_flags & kFileFlagFromPrevious) && first_entry_) {
        fail(e, EntryProblem::kContinuedFromPrevious, kExtractNoArchive);
        if (installing()) {
            record(e);
            return false;
        }
    }
    first_entry_ = false;
    ctx_.next_volume = h.head_flags & kFileFlagToNext;
    // The entry's packed data begins where its header ends; a folder's next header search
    // starts there too.
    if (!seek_checked(ctx_, int64_t{ctx_.next_block} - h.pack_size)) return false;

    if (!decoding()) {
        // A listing passes over the data, where the data step would have read it.
        if (!e.folder && !seek_checked(ctx_, ctx_.next_block)) return false;
        record(e);
        return true;
    }

    // A name that leads outside the target folder, or a path that would not fit, is
    // refused before anything touches the file system for it. An empty name is passed
    // through: it names the target folder itself, which is never written.
    const bool empty_name = ctx_.entry_name[0] == '\0';
    e.refusal = empty_name ? NameRefusal::kNone : check_entry_name(ctx_.entry_name);
    if (e.refusal != NameRefusal::kNone) {
        fail(e, EntryProblem::kRefusedName, kExtractEntryFailed);
    } else if (!join_checked(target_path_, sizeof target_path_, setup_.target_folder,
                             ctx_.entry_name)) {
        fail(e, EntryProblem::kPathTooLong, kExtractEntryFailed);
    }
    if (e.result != kExtractOk && installing()) {
        listener_.on_file_error(ctx_.entry_name);
        record(e);
        return false;
    }

    EntryDestination& destination = *setup_.destination;
    const bool wanted = e.result == kExtractOk && destination.wanted(ctx_.entry_name, target_path_);
    bool write = wanted;
    // The run ends after this entry, which is passed through without output.
    if (!version_in_range(h)) {
        write = false;
        fail(e, EntryProblem::kUnsupportedVersion, kExtractEntryFailed);
    }
    if (e.folder) {
        // No folder is made for a folder entry; folders arise as parents of files.
        record(e);
        return true;
    }

    EntryOutput* output = nullptr;
    bool not_created = false;
    if (write) {
        output = destination.create(target_path_);
        if (output == nullptr) {
            if (installing()) listener_.on_file_error(target_path_);
            fail(e, EntryProblem::kCannotCreate, kExtractEntryFailed);
            write = false;
            not_created = true;
        }
    }
    e.written = write;
    if (!data_step(e, output, !write)) {
        // The walk cannot go on; a file whose entry was not judged does not stay.
        if (write) {
            destination.close();
            destination.discard(target_path_);
        }
        record(e);
        return false;
    }

    bool failed = false;
    if (write) {
        const bool closed = destination.close();
        if (!closed || !entry_data_matches(ctx_)) {
            fail(e, data_problem(ctx_, closed), kExtractChecksum);
            failed = true;
        }
    }
    if (failed) {
        if (installing()) listener_.on_file_error(ctx_.entry_name);
        destination.discard(target_path_);
    } else if (!empty_name && !not_created) {
        // Whatever stands where a file could not be created (a folder, say) is not ours to
        // change, and the target folder itself never takes an entry's time or attributes.
        destination.settle(target_path_, h.ftime, h.attr);
    }
    record(e);
    return true;
}

// The stored copy, the decoder, or nothing for the method of versions 1.3 to 1.5. False
// when the file cannot be positioned after the entry.
bool EntryLoop::data_step(EntryInfo& e, EntryOutput* output, bool pass_through) {
    const FileHeader& h = ctx_.file_header;
    prepare_data_step(ctx_, output, pass_through);
    listener_.on_entry_start(e);
    if (h.method == '0') {
        const ExtractResult status = copy_stored(ctx_);
        if (status != kExtractOk) fail(e, EntryProblem::kNoCopyBuffer, status);
    } else if (h.unp_ver > 15) {
        decompress(ctx_.unpack, ctx_.window, (h.head_flags & kFileFlagSolid) != 0);
    }
    e.produced = ctx_.bytes_handed;
    return seek_checked(ctx_, ctx_.next_block);
}

void EntryLoop::record(const EntryInfo& e) {
    if (e.result != kExtractOk) {
        ++summary_.failed;
        if (result_ == kExtractOk) result_ = e.result;
    }
    listener_.on_entry(e);
}

}  // namespace

const char* entry_problem_text(EntryProblem problem) {
    switch (problem) {
        case EntryProblem::kNone: return "OK";
        case EntryProblem::kContinuedFromPrevious:
            return "continued from a previous volume, which is not supported";
        case EntryProblem::kRefusedName: return "refused name";
        case EntryProblem::kPathTooLong: return "the path is longer than 259 characters";
        case EntryProblem::kUnsupportedVersion: return "unsupported version (needs 1.3 to 2.0)";
        case EntryProblem::kCannotCreate: return "its file cannot be created";
        case EntryProblem::kNoCopyBuffer: return "out of memory";
        case EntryProblem::kEncrypted: return "encrypted";
        case EntryProblem::kOldMethod:
            return "checksum: packed with the method of versions 1.3 to 1.5, not decoded";
        case EntryProblem::kLength: return "length differs from the header";
        case EntryProblem::kChecksum: return "checksum";
        case EntryProblem::kShortWrite: return "not every byte reached the file (disk full?)";
    }
    return "failed";
}

const char* archive_problem_text(ArchiveProblem problem) {
    switch (problem) {
        case ArchiveProblem::kNone: return "read whole";
        case ArchiveProblem::kCannotOpen: return "cannot open the file";
        case ArchiveProblem::kNoArchive:
            return "no archive found (neither at the start nor within the first 250,005 bytes)";
        case ArchiveProblem::kOutOfMemory: return "out of memory";
        case ArchiveProblem::kSeekFailed:
            return "the file cannot be positioned where a block says the next one is";
        case ArchiveProblem::kNoEntries: return "the archive holds no file entry";
        case ArchiveProblem::kContinues:
            return "the last entry continues in a next volume, which is not supported";
    }
    return "unreadable";
}

int32_t run_entries(ArchiveContext& ctx, const RunSetup& setup, ArchiveListener& listener,
                    RunSummary& summary) {
    return EntryLoop(ctx, setup, listener, summary).run();
}

int32_t run_archive_file(File file, const RunSetup& setup, ArchiveListener& listener,
                         RunSummary& summary) {
    summary = {};
    std::unique_ptr<ArchiveContext> ctx(new (std::nothrow) ArchiveContext());
    if (!ctx) {
        summary.problem = ArchiveProblem::kOutOfMemory;
        return kExtractEntryFailed;
    }
    build_crc32_table(ctx->crc32_table);
    ctx->target_folder = setup.target_folder;
    ctx->archive_file = std::move(file);
    if (!ctx->archive_file) {
        summary.problem = ArchiveProblem::kCannotOpen;
        return kExtractNoArchive;
    }
    return run_entries(*ctx, setup, listener, summary);
}

int32_t run_archive(const char* path, const RunSetup& setup, ArchiveListener& listener,
                    RunSummary& summary) {
    summary = {};
    // Read access; other programs may read the file meanwhile, but not change it.
    return run_archive_file(open_shared(path, "rb", 1), setup, listener, summary);
}

int32_t list_archive(const char* path, ArchiveListener& listener, RunSummary& summary) {
    const RunSetup setup{RunMode::kList, nullptr, ""};
    return run_archive(path, setup, listener, summary);
}

}  // namespace qarn
