#include "binding/codelist.h"

#include <cstring>
#include <utility>

namespace kovrap {

void CodeList::grow(std::size_t used, std::size_t needed) {
    std::size_t size = size_ > kCodeListBytes / 2 ? 2 * size_ : kCodeListBytes;
    if (size < needed)
        size = needed;
    std::unique_ptr<char[]> bytes(new char[size]);
    if (used > 0)
        std::memcpy(bytes.get(), bytes_.get(), used);
    bytes_ = std::move(bytes);
    size_ = size;
}

} // namespace kovrap
