#include "builder/szdd_encoder.h"
#include "tools/plpack/commands.h"

namespace plpack {

int command_compress(const std::string& source, const std::string& destination) {
    std::vector<std::uint8_t> content;
    if (!read_whole_file(source, &content)) return 1;
    return write_whole_file(destination, builder::szdd_compress(content)) ? 0 : 1;
}

}  // namespace plpack
