// The parts of sys.h that are the same on every platform.
#include "sys/sys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace sys {

std::string WithSeparator(const std::string& path) {
    if (!path.empty() && path.back() == PathSeparator) return path;
    return path + PathSeparator;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool ListFiles(const std::string& folder, std::vector<FolderFile>& files, std::string& error) {
    files.clear();
    if (const int fault = InjectedFault(FileOp::OpenFolder)) {
        error = std::strerror(fault);
        return false;
    }
    std::error_code code;
    for (std::filesystem::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        files.push_back({it->path().filename().string(), it->file_size(ignored)});
    }
    if (code) {
        error = code.message();
        return false;
    }
    std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.Name < b.Name; });
    return true;
}

bool ReadFileTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& error) {
    bytes.clear();
    // Paths are UTF-8 on every platform; the u8 form keeps them so on Windows.
    const std::filesystem::path where(std::u8string(path.begin(), path.end()));
    std::ifstream file(where, std::ios::binary | std::ios::ate);
    if (!file || InjectedFault(FileOp::Open) != 0) {
        error = "cannot be opened";
        return false;
    }
    const std::streamoff size = file.tellg();
    const std::streamoff take = std::clamp<std::streamoff>(size, 0, static_cast<std::streamoff>(maxBytes));
    bytes.resize(static_cast<std::size_t>(take));
    if (size < 0 || !file.seekg(size - take) || !file.read(bytes.data(), take)) {
        bytes.clear();
        error = "cannot be read";
        return false;
    }
    return true;
}

struct ReadOnlyFile::Stream {
    std::ifstream in;
};

ReadOnlyFile::ReadOnlyFile() = default;
ReadOnlyFile::~ReadOnlyFile() = default;
ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&&) noexcept = default;
ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&&) noexcept = default;

bool ReadOnlyFile::Open(const std::string& path, std::string& error) {
    // Paths are UTF-8 on every platform; the u8 form keeps them so on Windows.
    const std::filesystem::path where(std::u8string(path.begin(), path.end()));
    auto stream = std::make_unique<Stream>();
    stream->in.open(where, std::ios::binary | std::ios::ate);
    if (!stream->in || InjectedFault(FileOp::Open) != 0) {
        error = "cannot be opened";
        return false;
    }
    const std::streamoff size = stream->in.tellg();
    if (size < 0) {
        error = "cannot be read";
        return false;
    }
    size_ = static_cast<std::uint64_t>(size);
    stream_ = std::move(stream);
    return true;
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, char* to, std::size_t count) {
    if (!stream_ || offset >= size_ || InjectedFault(FileOp::Read) != 0) return 0;
    std::ifstream& in = stream_->in;
    in.clear();
    if (!in.seekg(static_cast<std::streamoff>(offset))) return 0;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
    in.read(to, static_cast<std::streamsize>(want));
    return static_cast<std::size_t>(in.gcount());
}

bool ListFolders(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    names.clear();
    if (const int fault = InjectedFault(FileOp::OpenFolder)) {
        error = std::strerror(fault);
        return false;
    }
    std::error_code code;
    const std::filesystem::path where(std::u8string(folder.begin(), folder.end()));
    for (std::filesystem::directory_iterator it(where, code), end; !code && it != end; it.increment(code)) {
        std::error_code ignored;
        if (!it->is_directory(ignored)) continue;
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    if (code) {
        error = code.message();
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
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

#ifndef _WIN32
// The local time as the log writes it; Windows asks its own clock.
std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

#endif

}  // namespace sys
