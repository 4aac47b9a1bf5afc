#include "tools/content_order.h"

#include <fstream>

#include "pack/solid_order.h"

namespace qarn::tools {

std::string order_by_content(std::vector<ProductFile>& files) {
    std::vector<ContentSketch> sketches(files.size());
    std::vector<const ContentSketch*> refs;
    uint64_t total = 0;
    for (const ProductFile& f : files) total += f.size;
    ContentSketcher sketcher(sample_bits_for(total));
    std::vector<char> piece(1u << 16);
    for (size_t i = 0; i < files.size(); ++i) {
        std::ifstream in(files[i].path, std::ios::binary);
        if (!in.is_open()) return files[i].name + ": cannot read the file";
        bool fed = true;
        while (fed && (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) ||
                       in.gcount() > 0)) {
            fed = sketcher.add(reinterpret_cast<const uint8_t*>(piece.data()),
                               static_cast<size_t>(in.gcount()));
        }
        if (in.bad()) return files[i].name + ": cannot read the file";
        // finish() also readies the sketcher for the next file, so it runs either way.
        if (!sketcher.finish(sketches[i]) || !fed) return "out of memory choosing the order";
        refs.push_back(&sketches[i]);
    }
    std::vector<uint32_t> order;
    if (!content_order(refs, order)) return "out of memory choosing the order";
    std::vector<ProductFile> ordered;
    ordered.reserve(files.size());
    for (const uint32_t i : order) ordered.push_back(std::move(files[i]));
    files = std::move(ordered);
    return {};
}

}  // namespace qarn::tools
