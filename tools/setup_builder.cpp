#include "tools/setup_builder.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <system_error>

#include "archive/archive_reader.h"
#include "archive/block_format.h"
#include "archive/checksum.h"
#include "archive/planned_destination.h"
#include "pack/archive_writer.h"
#include "tools/content_order.h"
#include "tools/file_streams.h"
#include "tools/product_folder.h"
#include "tools/uninstall_list_entry.h"

namespace qarn::tools {
namespace fs = std::filesystem;
namespace {

class WalkCounter final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo& i) override { info = i; }
    void on_entry(const EntryInfo& e) override {
        if (e.problem != EntryProblem::kNone) {
            failed.push_back(std::string(e.name) + ": " + entry_problem_text(e.problem));
        }
    }
    ArchiveInfo info{};
    std::vector<std::string> failed;
};

std::string offset_text(uint64_t v) { return std::to_string(v); }

// Whether `path` lies somewhere below `folder` (both need not exist yet).
bool inside(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    const fs::path f = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec) return false;
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty()) continue;  // a trailing separator
        if (pi == p.end() || *pi != *fi) return false;
    }
    return pi != p.end();
}

// A name for the file being written, next to the output and not in use.
fs::path temporary_name(const fs::path& output) {
    for (unsigned n = 0;; ++n) {
        fs::path p = output;
        p += ".partial" + std::to_string(n);
        std::error_code ec;
        if (!fs::exists(p, ec)) return p;
    }
}

}  // namespace

std::string check_stub(const std::vector<uint8_t>& stub) {
    const uint64_t size = stub.size();
    if (size == 0) return {};
    if (size < kMinStubSize) {
        return "the stub has " + offset_text(size) +
               " bytes: the installer's scan starts at file "
               "offset 7, so an archive behind fewer than 7 bytes is never found";
    }
    if (size > kMaxStubSize) {
        return "the stub has " + offset_text(size) +
               " bytes: the installer's scan reaches file "
               "offset 250,005 and finds an archive only behind at most 249,996 bytes";
    }
    return {};
}

namespace {

// What a step of the build says when it fails: the message, and whether the fault lies in
// the build's input (the folder, the stub, a name) rather than in writing the output.
struct StepError {
    std::string message;
    bool input_problem = false;
    explicit operator bool() const { return !message.empty(); }
};

StepError input_error(std::string message) { return {std::move(message), true}; }
StepError output_error(std::string message) { return {std::move(message), false}; }

// Whether the installer's scan, run over the file as far as it is written (the stub, the
// marker and the main header), finds the archive where it was appended: a stub with
// marker-like bytes would stop the scan before it.
StepError check_archive_found(const fs::path& temp, const BuildRequest& request,
                              uint64_t stub_size) {
    std::unique_ptr<ArchiveContext> ctx(new (std::nothrow) ArchiveContext());
    if (!ctx) return output_error("out of memory");
    ctx->archive_file = open_shared(temp.string().c_str(), "rb", 2);
    if (!ctx->archive_file) return output_error(temp.string() + ": cannot read the file back");
    const int32_t found = locate_archive(*ctx);
    const int32_t expected = stub_size == 0 ? kArchiveAtStart : kArchiveFoundByScan;
    if (found == expected && ctx->archive_start == stub_size) return {};
    const std::string shown = request.stub ? request.stub->string() : temp.string();
    if (found == kArchiveAtStart) {
        return input_error(shown + ": the stub begins with an archive marker: the installer "
                                   "would read that archive");
    }
    return input_error(shown + ": the stub holds archive-marker bytes at file offset " +
                       offset_text(ctx->archive_start) +
                       ", where the installer's scan would stop before the appended archive");
}

// Reads and checks the stub, when one is asked for.
StepError read_stub(const BuildRequest& request, std::vector<uint8_t>& stub) {
    if (!request.stub) return {};
    const std::string shown = request.stub->string();
    std::ifstream in(*request.stub, std::ios::binary);
    if (!in.is_open()) return input_error(shown + ": cannot read the stub");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) return input_error(shown + ": cannot read the stub");
    // Anything larger is refused at once; reading it all first is not needed.
    if (static_cast<uint64_t>(size) > kMaxStubSize) {
        return input_error(shown + ": the stub has " + offset_text(static_cast<uint64_t>(size)) +
                           " bytes: the installer's scan reaches file offset 250,005 and "
                           "finds an archive only behind at most 249,996 bytes");
    }
    in.seekg(0);
    stub.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (stub.size() != static_cast<uint64_t>(size)) {
        return input_error(shown + ": cannot read the stub");
    }
    const std::string problem = check_stub(stub);
    if (!problem.empty()) return input_error(shown + ": " + problem);
    return {};
}

// The entries to pack: the folder's files, and the uninstall list when one is asked for.
StepError plan_entries(const BuildRequest& request, FolderScan& scan, UninstallListEntry& list,
                       BuildResult& result) {
    // A setup file written into the folder would be packed into the next build's.
    if (inside(request.output, request.folder)) {
        return input_error(request.output.string() +
                           ": the setup file must not be written into the product folder");
    }
    scan = scan_product_folder(request.folder);
    result.warnings = scan.warnings;
    if (!scan.errors.empty()) {
        result.errors = scan.errors;
        return input_error(scan.errors.front());
    }
    if (scan.files.empty()) return input_error(request.folder.string() + ": no files to pack");
    for (const ProductFile& f : scan.files) result.input_bytes += f.size;
    result.entries = scan.files.size();
    // Before the uninstall list is made: it names the entries in archive order.
    if (request.order.value_or(settings_for_level(request.level).order) == SolidOrder::kContent) {
        const std::string problem = order_by_content(scan.files);
        if (!problem.empty()) return input_error(problem);
    }
    if (!request.uninstall_list.empty()) {
        std::string problem;
        list = make_uninstall_list_entry(request.uninstall_list, scan.files, problem);
        if (!problem.empty()) return input_error(problem);
        result.input_bytes += list.text.size();
        ++result.entries;
    }
    return {};
}

// Writes the stub, then the archive of every planned entry, to `temp`; every write, the
// end mark and the closing flush are checked.
StepError write_setup_file(const fs::path& temp, const BuildRequest& request,
                           const std::vector<uint8_t>& stub, const FolderScan& scan,
                           const UninstallListEntry& list, BuildProgress* progress,
                           BuildResult& result) {
    FileArchiveOutput out(temp);
    if (!out.is_open()) return output_error(temp.string() + ": cannot create the file");
    if (!stub.empty() && !out.write(stub.data(), stub.size())) {
        return output_error(temp.string() + ": cannot write (disk full?)");
    }
    auto writer = std::make_unique<ArchiveWriter>();
    const PackStatus begun = writer->begin(out, stub.size(), request.level);
    if (begun != PackStatus::kOk) {
        return output_error(temp.string() + ": cannot start the archive: " +
                            pack_status_text(begun));
    }
    if (!out.flush()) return output_error(temp.string() + ": cannot write (disk full?)");
    if (StepError e = check_archive_found(temp, request, stub.size())) return e;
    if (progress != nullptr) progress->on_start(result.input_bytes, scan.files.size());
    uint64_t done = 0;
    for (const ProductFile& f : scan.files) {
        if (progress != nullptr) progress->on_entry(f.name);
        FileEntryInput input(f.path, [&](uint64_t n) {
            done += n;
            if (progress != nullptr) progress->on_bytes(done);
        });
        if (!input.is_open()) return input_error(f.name + ": cannot read the file");
        EntryOutcome outcome{};
        const EntryDescription d{f.name.c_str(), f.attributes, f.dos_time, f.size};
        const PackStatus status = writer->add_entry(d, input, outcome);
        if (status == PackStatus::kReadError || status == PackStatus::kSizeChanged) {
            return input_error(f.name + ": " + pack_status_text(status));
        }
        if (status != PackStatus::kOk) {
            return output_error(temp.string() + ": " + f.name + ": " + pack_status_text(status));
        }
        if (outcome.method == '0') ++result.stored;
    }
    if (!list.name.empty()) {
        EntryOutcome outcome{};
        const PackStatus status = add_uninstall_list_entry(*writer, list, outcome);
        if (status != PackStatus::kOk) {
            return output_error(temp.string() + ": " + list.name + ": " + pack_status_text(status));
        }
        if (outcome.method == '0') ++result.stored;
    }
    const PackStatus ended = writer->finish();
    if (ended != PackStatus::kOk) return output_error(temp.string() + ": " + pack_status_text(ended));
    if (progress != nullptr) progress->on_finish();
    result.output_bytes = writer->end_offset();
    if (!out.close()) return output_error(temp.string() + ": cannot write (disk full?)");
    return {};
}

// The test `mksetup test` makes, and the scan's verdict on where the archive is.
StepError test_setup_file(const fs::path& temp, size_t stub_size, const BuildResult& result) {
    WalkCounter counter;
    RunSummary summary{};
    const int32_t tested = test_archive(temp.string().c_str(), counter, summary);
    if (tested != kExtractOk || !counter.failed.empty() || summary.entries != result.entries ||
        !summary.end_mark) {
        std::string why = temp.string() + ": the setup file failed its test";
        if (summary.problem != ArchiveProblem::kNone) {
            why += std::string(": ") + archive_problem_text(summary.problem);
        }
        if (!summary.end_mark) why += "; the end mark is not where the archive ends";
        for (const std::string& f : counter.failed) why += "; " + f;
        return output_error(why);
    }
    const int32_t expected_locate = stub_size == 0 ? kArchiveAtStart : kArchiveFoundByScan;
    if (counter.info.locate_result != expected_locate || counter.info.archive_start != stub_size) {
        return output_error(
            "the installer would not find the archive where it was appended (found at offset " +
            offset_text(counter.info.archive_start) + ")");
    }
    return {};
}

StepError put_in_place(const fs::path& temp, const fs::path& output) {
    std::error_code ec;
    fs::rename(temp, output, ec);
    if (!ec) return {};
    // Some systems do not replace an existing file by renaming.
    std::error_code removed;
    fs::remove(output, removed);
    ec.clear();
    fs::rename(temp, output, ec);
    if (!ec) return {};
    return output_error(output.string() + ": cannot put the file in place (" + ec.message() + ")");
}

}  // namespace

bool build_setup(const BuildRequest& request, BuildProgress* progress, BuildResult& result) {
    result = BuildResult{};
    const auto started = std::chrono::steady_clock::now();
    auto failed = [&](const StepError& error) {
        if (result.errors.empty() || !error.input_problem) result.errors.push_back(error.message);
        result.input_problem = error.input_problem;
        return false;
    };
    if (request.level < kMinLevel || request.level > kMaxLevel) {
        return failed(input_error("the level must be " + std::to_string(kMinLevel) + " to " +
                                  std::to_string(kMaxLevel)));
    }

    std::vector<uint8_t> stub;
    FolderScan scan;
    UninstallListEntry list;
    if (StepError e = read_stub(request, stub)) return failed(e);
    if (StepError e = plan_entries(request, scan, list, result)) return failed(e);
    result.stub_bytes = stub.size();

    // Written under a temporary name beside the output, and put in place only once it has
    // passed its test: an existing file is replaced by a good one or not at all.
    const fs::path temp = temporary_name(request.output);
    StepError e = write_setup_file(temp, request, stub, scan, list, progress, result);
    if (!e) e = test_setup_file(temp, stub.size(), result);
    if (!e) e = put_in_place(temp, request.output);
    if (e) {
        std::error_code ec;
        fs::remove(temp, ec);
        return failed(e);
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

}  // namespace qarn::tools
