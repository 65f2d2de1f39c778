#include "host/Paths.h"

std::string FileNameOf(std::string_view path)
{
    const size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
