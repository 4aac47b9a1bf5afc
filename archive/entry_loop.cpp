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
void fail(EntryInfo& e, EntryProblem problem) {
    if (e.problem == EntryProblem::kNone) e.problem = problem;
}

EntryProblem problem_of(HeaderDamage damage) {
    switch (damage) {
        case HeaderDamage::kNone: return EntryProblem::kNone;
        case HeaderDamage::kCut: return EntryProblem::kHeaderCut;
        case HeaderDamage::kNoDataSize: return EntryProblem::kHeaderNoDataSize;
        case HeaderDamage::kNameOutside: return EntryProblem::kHeaderNameOutside;
        case HeaderDamage::kChecksum: return EntryProblem::kHeaderChecksum;
    }
    return EntryProblem::kHeaderChecksum;
}

// Why a written entry's data did not pass, named as helpfully as the facts allow.
EntryProblem data_problem(const ArchiveContext& ctx) {
    const FileHeader& h = ctx.file_header;
    if (ctx.bytes_stored != ctx.bytes_handed) return EntryProblem::kShortWrite;
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
    // The checks made before anything touches the file system for the entry: false when
    // the walk ends at it.
    bool check_entry(EntryInfo& e);
    // Writes (or passes over) the entry's data and keeps or discards its file; false when
    // the file cannot be positioned after the entry.
    bool write_entry(EntryInfo& e, bool write);
    bool data_step(EntryInfo& e, EntryOutput* output, bool pass_through);
    void record(const EntryInfo& e);
    void finish_summary();

    bool installing() const { return setup_.mode == RunMode::kInstall; }
    bool decoding() const { return setup_.mode != RunMode::kList; }

    ArchiveContext& ctx_;
    const RunSetup& setup_;
    ArchiveListener& listener_;
    RunSummary& summary_;
    int32_t result_ = kExtractOk;  // the first entry's code that stops an installation
    bool first_entry_ = true;
    bool reached_end_ = false;     // the walk went on until no further block could be read
    char target_path_[kPathSize] = {};
};

int32_t EntryLoop::run() {
    summary_ = {};
    if (locate_archive(ctx_) == kNoArchive) {
        summary_.problem = ArchiveProblem::kNoArchive;
        return kExtractNoArchive;
    }
    listener_.on_archive({ctx_.locate_result, ctx_.kind, ctx_.archive_start, &ctx_.main_header});
    summary_.end_mark_promised =
        ctx_.kind == kKindNew && ctx_.main_header.reserved2 == kEndMarkPromise;

    std::unique_ptr<uint8_t[]> window;
    if (decoding()) {
        window.reset(new (std::nothrow) uint8_t[kWindowSize]());
        if (!window) {
            summary_.problem = ArchiveProblem::kOutOfMemory;
            return kExtractNoWindowMemory;
        }
        ctx_.window = window.get();
    }
    const bool positioned = finish_main_header(ctx_);
    summary_.main_header_crc_ok = ctx_.main_header_crc_ok;
    if (!positioned) {
        summary_.problem = ArchiveProblem::kSeekFailed;
        return kExtractNoArchive;
    }
    // The main header carries the volume flag and the end mark's promise: damaged, neither
    // can be believed, so nothing behind it is.
    if (!ctx_.main_header_crc_ok) {
        summary_.problem = ArchiveProblem::kDamagedMainHeader;
        return kExtractNoArchive;
    }
    ctx_.next_volume = 0;

    while (result_ == kExtractOk || !installing()) {
        if (read_next_header(ctx_, kFileHeadType | kRequestWithSubBlocks) == 0) {
            reached_end_ = true;
            break;
        }
        if (ctx_.block_header.head_type == kSubBlockType) {
            if (!seek_checked(ctx_, ctx_.next_block)) break;
            continue;
        }
        if (!handle_entry()) break;
    }
    ctx_.window = nullptr;
    finish_summary();
    // A cut file fails as cut short, whichever entry the cut broke.
    if (summary_.problem == ArchiveProblem::kCutShort) return kExtractNoArchive;
    if (result_ != kExtractOk) return result_;
    return summary_.problem == ArchiveProblem::kNone ? kExtractOk : kExtractNoArchive;
}

// A walk that cannot go on where the file says the next block is has not read the archive
// whole. An entry that said it continues in a next volume is incomplete, and no further
// volume is ever opened. An archive without a single file entry installs nothing. A file
// that ends inside a block's header, and an archive that promised its end mark and ends
// without it, were cut short (a download broken off) or damaged: what is missing cannot
// be told. Each fails, unless an entry before
// stopped the run already.
void EntryLoop::finish_summary() {
    summary_.end_mark = ctx_.end_mark_seen;
    summary_.continues = ctx_.next_volume != 0;
    summary_.packed_read = ctx_.packed_read;
    if (ctx_.seek_failed) {
        summary_.problem = ArchiveProblem::kSeekFailed;
    } else if (ctx_.ends_inside_block) {
        summary_.problem = ArchiveProblem::kCutShort;
    } else if (summary_.entries == 0) {
        summary_.problem = ArchiveProblem::kNoEntries;
    } else if (summary_.continues) {
        summary_.problem = ArchiveProblem::kContinues;
    } else if (summary_.end_mark_promised && !summary_.end_mark && reached_end_) {
        summary_.problem = ArchiveProblem::kCutShort;
    }
}

bool EntryLoop::handle_entry() {
    apply_host_attributes(ctx_);
    const FileHeader& h = ctx_.file_header;
    EntryInfo e{};
    e.header = &h;
    e.name = ctx_.entry_name;
    e.block_start = ctx_.block_start;
    e.folder = is_folder(h);
    ++summary_.entries;
    summary_.packed_bytes += h.pack_size > 0 ? static_cast<uint32_t>(h.pack_size) : 0;
    summary_.unpacked_bytes += h.unp_size > 0 ? static_cast<uint32_t>(h.unp_size) : 0;
    const auto name_length = static_cast<uint32_t>(std::strlen(ctx_.entry_name));
    if (name_length > summary_.longest_name) summary_.longest_name = name_length;

    if (!check_entry(e)) {
        record(e);
        return false;
    }
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
        fail(e, EntryProblem::kRefusedName);
    } else if (!join_checked(target_path_, sizeof target_path_, setup_.target_folder,
                             ctx_.entry_name)) {
        fail(e, EntryProblem::kPathTooLong);
    }
    if (e.problem != EntryProblem::kNone && installing()) {
        listener_.on_file_error(ctx_.entry_name);
        record(e);
        return false;
    }

    const bool wanted = e.problem == EntryProblem::kNone &&
                        setup_.destination->wanted(ctx_.entry_name, target_path_);
    bool write = wanted && !empty_name;
    // The run ends after this entry, which is passed through without output.
    if (!version_in_range(h)) {
        write = false;
        fail(e, EntryProblem::kUnsupportedVersion);
    }
    if (e.folder) {
        // No folder is made for a folder entry; folders arise as parents of files.
        record(e);
        return true;
    }
    const bool positioned = write_entry(e, write);
    record(e);
    return positioned;
}

bool EntryLoop::check_entry(EntryInfo& e) {
    const FileHeader& h = ctx_.file_header;
    // A damaged header tells nothing that can be trusted, where the next block is included.
    if (ctx_.header_damage != HeaderDamage::kNone) {
        fail(e, problem_of(ctx_.header_damage));
        return false;
    }
    // An archive whose first entry continues another volume is not the start of anything
    // this installer can read.
    if ((h.head_flags & kFileFlagFromPrevious) && first_entry_) {
        fail(e, EntryProblem::kContinuedFromPrevious);
        if (installing()) return false;
    }
    first_entry_ = false;
    ctx_.next_volume = h.head_flags & kFileFlagToNext;
    // The entry's packed data begins where its header ends; a folder's next header search
    // starts there too.
    return seek_checked(ctx_, int64_t{ctx_.next_block} - h.pack_size);
}

bool EntryLoop::write_entry(EntryInfo& e, bool write) {
    EntryDestination& destination = *setup_.destination;
    EntryOutput* output = nullptr;
    if (write) {
        output = destination.create(target_path_);
        if (output == nullptr) {
            if (installing()) listener_.on_file_error(target_path_);
            fail(e, EntryProblem::kCannotCreate);
            write = false;
        }
    }
    e.written = write;
    if (!data_step(e, output, !write)) {
        // The walk cannot go on; a file whose entry was not judged does not stay.
        if (write) destination.discard();
        return false;
    }
    if (!write) return true;

    const FileHeader& h = ctx_.file_header;
    const bool data_ok = entry_data_matches(ctx_);
    // The file gets its time and attributes only when its data passed; a file that cannot
    // be closed whole failed after all.
    if (!data_ok || !destination.keep(h.ftime, h.attr)) {
        fail(e, data_ok ? EntryProblem::kShortWrite : data_problem(ctx_));
        if (installing()) listener_.on_file_error(ctx_.entry_name);
        destination.discard();
    }
    return true;
}

// The stored copy, the decoder, or nothing for the method of versions 1.3 to 1.5. False
// when the file cannot be positioned after the entry.
bool EntryLoop::data_step(EntryInfo& e, EntryOutput* output, bool pass_through) {
    const FileHeader& h = ctx_.file_header;
    prepare_data_step(ctx_, output, pass_through);
    listener_.on_entry_start(e);
    if (h.method == '0') {
        if (copy_stored(ctx_) != kExtractOk) fail(e, EntryProblem::kNoCopyBuffer);
    } else if (h.unp_ver > 15) {
        decompress(ctx_.unpack, ctx_.window, (h.head_flags & kFileFlagSolid) != 0);
    }
    e.produced = ctx_.bytes_handed;
    return seek_checked(ctx_, ctx_.next_block);
}

void EntryLoop::record(const EntryInfo& e) {
    if (e.written) {
        ++summary_.files_written;
        summary_.bytes_written += e.header->unp_size > 0 ? static_cast<uint32_t>(e.header->unp_size) : 0;
    }
    if (e.problem != EntryProblem::kNone) {
        if (summary_.failed++ == 0) summary_.first_problem = e.problem;
        if (result_ == kExtractOk) result_ = extract_result_of(e.problem);
    }
    listener_.on_entry(e);
}

}  // namespace

const char* entry_problem_text(EntryProblem problem) {
    switch (problem) {
        case EntryProblem::kNone: return "OK";
        case EntryProblem::kHeaderCut: return "damaged header: the file ends inside it (cut short)";
        case EntryProblem::kHeaderNoDataSize:
            return "damaged header: it does not say how much data follows it";
        case EntryProblem::kHeaderNameOutside: return "damaged header: its name runs past its end";
        case EntryProblem::kHeaderChecksum: return "damaged header: its checksum differs";
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

int32_t extract_result_of(EntryProblem problem) {
    switch (problem) {
        case EntryProblem::kNone: return kExtractOk;
        case EntryProblem::kHeaderCut:
        case EntryProblem::kContinuedFromPrevious: return kExtractNoArchive;
        case EntryProblem::kNoCopyBuffer: return kExtractNoCopyMemory;
        case EntryProblem::kEncrypted:
        case EntryProblem::kOldMethod:
        case EntryProblem::kLength:
        case EntryProblem::kChecksum:
        case EntryProblem::kShortWrite: return kExtractChecksum;
        default: return kExtractEntryFailed;
    }
}

bool is_header_problem(EntryProblem problem) {
    return problem == EntryProblem::kHeaderCut || problem == EntryProblem::kHeaderNoDataSize ||
           problem == EntryProblem::kHeaderNameOutside || problem == EntryProblem::kHeaderChecksum;
}

const char* archive_problem_text(ArchiveProblem problem) {
    switch (problem) {
        case ArchiveProblem::kNone: return "read whole";
        case ArchiveProblem::kCannotOpen: return "cannot open the file";
        case ArchiveProblem::kNoArchive:
            return "no archive found (neither at the start nor within the first 250,005 bytes)";
        case ArchiveProblem::kOutOfMemory: return "out of memory";
        case ArchiveProblem::kDamagedMainHeader: return "the archive's main header is damaged";
        case ArchiveProblem::kSeekFailed:
            return "the file cannot be positioned where a block says the next one is";
        case ArchiveProblem::kNoEntries: return "the archive holds no file entry";
        case ArchiveProblem::kContinues:
            return "the last entry continues in a next volume, which is not supported";
        case ArchiveProblem::kCutShort:
            return "the file was cut short: it ends inside a block, or before the end mark "
                   "its archive promises";
    }
    return "unreadable";
}

int32_t run_entries(ArchiveContext& ctx, const RunSetup& setup, ArchiveListener& listener,
                    RunSummary& summary) {
    return EntryLoop(ctx, setup, listener, summary).run();
}

int32_t run_archive_kept(File& file, const RunSetup& setup, ArchiveListener& listener,
                         RunSummary& summary) {
    summary = {};
    if (!file || !seek_file(file, 0, 0)) {
        summary.problem = ArchiveProblem::kCannotOpen;
        return kExtractNoArchive;
    }
    std::unique_ptr<ArchiveContext> ctx(new (std::nothrow) ArchiveContext());
    if (!ctx) {
        summary.problem = ArchiveProblem::kOutOfMemory;
        return kExtractEntryFailed;
    }
    build_crc32_table(ctx->crc32_table);
    ctx->archive_file = std::move(file);
    const int32_t result = run_entries(*ctx, setup, listener, summary);
    file = std::move(ctx->archive_file);
    return result;
}

int32_t run_archive_file(File file, const RunSetup& setup, ArchiveListener& listener,
                         RunSummary& summary) {
    return run_archive_kept(file, setup, listener, summary);
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
