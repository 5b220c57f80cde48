// An author's language table completed from the stock English one, so that a text the author's
// table lacks (one added to the stock pages after the table was written) reads in English
// instead of "NOT FOUND".
#pragma once

#include <cstdint>
#include <vector>

#include "ui/language.h"

namespace zq::builder {

// `table` (the file's bytes, which `loaded` was read from) with one line appended for every
// number `stock` has and `loaded` lacks, in the stock table's order; `added` receives those
// numbers. The table's own lines are left as they are.
std::vector<std::uint8_t> CompleteFromStock(const std::vector<std::uint8_t>& table, const TLanguage& loaded,
                                            const TLanguage& stock, std::vector<std::int32_t>* added = nullptr);

}  // namespace zq::builder
