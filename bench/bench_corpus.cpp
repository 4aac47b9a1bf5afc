#include "bench/bench_corpus.h"

#include <fstream>
#include <iterator>

#include "archive/archive_context.h"
#include "archive/entry_loop.h"

namespace qarn::bench {
namespace {

bool read_all(const std::string& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

class EntryLister final : public ArchiveListener {
public:
    void on_entry(const EntryInfo& e) override {
        entries.push_back({e.name,
                           e.header->head_flags,
                           e.header->method,
                           static_cast<uint32_t>(e.header->unp_size),
                           e.header->file_crc,
                           {}});
        offsets.push_back(uint64_t{e.block_start} + e.header->head_size);
        sizes.push_back(static_cast<uint32_t>(e.header->pack_size));
    }
    std::vector<RealEntry> entries;
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> sizes;
};

}  // namespace

std::vector<CorpusFile> load_corpus(const std::string& list_path, std::vector<std::string>& missing,
                                    std::string& error) {
    std::vector<CorpusFile> files;
    std::ifstream list(list_path);
    if (!list.is_open()) {
        error = list_path + ": cannot read the corpus list";
        return files;
    }
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        CorpusFile f;
        f.path = line;
        if (!read_all(line, f.data)) {
            missing.push_back(line);
            continue;
        }
        f.name = line.substr(line.find_first_not_of('/'));
        for (char& c : f.name) {
            if (c == '/') c = '\\';
        }
        files.push_back(std::move(f));
    }
    return files;
}

std::vector<RealEntry> load_real_entries(const std::string& path, std::string& error) {
    EntryLister lister;
    RunSummary summary{};
    if (list_archive(path.c_str(), lister, summary) != kExtractOk) {
        error = path + ": cannot read the archive";
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    for (size_t i = 0; i < lister.entries.size(); ++i) {
        Bytes& packed = lister.entries[i].packed;
        packed.resize(lister.sizes[i]);
        in.seekg(static_cast<std::streamoff>(lister.offsets[i]));
        in.read(reinterpret_cast<char*>(packed.data()),
                static_cast<std::streamsize>(packed.size()));
        if (!in) {
            error = path + ": cannot read the data of " + lister.entries[i].name;
            return {};
        }
    }
    return lister.entries;
}

}  // namespace qarn::bench
