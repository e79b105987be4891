// The package finder on any bytes: it must never read outside them, and
// what it finds must lie inside them.
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "tools/plpack/embedded_package.h"

namespace {

bool inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> image) {
    if (part.empty()) return true;
    return part.data() >= image.data() && part.size() <= image.size() &&
           part.data() - image.data() <= static_cast<std::ptrdiff_t>(image.size() - part.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> image(data, size);
    plpack::embedded_package found;
    std::string problem;
    if (plpack::find_embedded_package(image, &found, &problem)) {
        fuzz::require(inside(found.status, image) && inside(found.manifest, image) && inside(found.payload, image),
                      "a resource found lies outside the image");
    } else {
        fuzz::require(!problem.empty(), "a refused image has no reason");
    }
    return 0;
}
