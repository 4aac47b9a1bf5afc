// The benchmark's inputs: the corpus named by bench/corpus_files.txt (files that the
// project's Debian dependencies install, so every machine set up the same way has it), and
// the entries of the real archives in ../shared/fixtures/real/.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qarn::bench {

using Bytes = std::vector<uint8_t>;

struct CorpusFile {
    std::string path;
    std::string name;  // entry name: the path without its leading '/', '\' between folders
    Bytes data;
};

// Reads every file of the list; the paths of files that are missing or unreadable go to
// `missing`.
std::vector<CorpusFile> load_corpus(const std::string& list_path, std::vector<std::string>& missing,
                                    std::string& error);

struct RealEntry {
    std::string name;
    uint16_t flags;
    uint8_t method;
    uint32_t unp_size;
    uint32_t file_crc;
    Bytes packed;
};

// The file entries of an archive, with their packed data; empty (and `error` set) when the
// archive cannot be read.
std::vector<RealEntry> load_real_entries(const std::string& path, std::string& error);

}  // namespace qarn::bench
