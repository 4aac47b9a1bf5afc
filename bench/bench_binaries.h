// The binary corpus (bench/binary_corpus_files.txt): what a product maker ships, packed at
// levels 5 and 6 in the order mksetup build chooses, beside liblzma at the settings of
// NSIS's solid LZMA on the files in folder order, and xz -9 over a tar of them.
#pragma once
#include <string>
#include <vector>

#include "bench/bench_corpus.h"

namespace qarn::bench {

void bench_binaries(const std::vector<CorpusFile>& files, const std::string& list);

}  // namespace qarn::bench
