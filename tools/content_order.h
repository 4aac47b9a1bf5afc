// mksetup build's content order: every product file is read once more, before packing, for
// its sketch, and the files are put in the order pack/solid_order.h chooses from those.
#pragma once
#include <string>
#include <vector>

#include "tools/product_folder.h"

namespace qarn::tools {

// Reorders `files` (given in folder order). Returns the problem, naming the file, or an
// empty string; the files keep their order when there is one.
std::string order_by_content(std::vector<ProductFile>& files);

}  // namespace qarn::tools
