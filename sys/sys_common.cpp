// The parts of sys.h that are the same on every platform.
#include "sys/sys.h"

namespace sys {

std::string WithSeparator(const std::string& path) {
    if (!path.empty() && path.back() == PathSeparator) return path;
    return path + PathSeparator;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        std::string ignored;
        CloseFile(*this, ignored);
        handle_ = other.Release();
    }
    return *this;
}

File::~File() {
    std::string ignored;
    CloseFile(*this, ignored);
}

}  // namespace sys
