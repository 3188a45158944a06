// Shared pieces of the fuzz targets: a scratch file for the parts that read
// files, and a check that stops the run loudly when an invariant breaks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzing {

// Stops the run with a message; libFuzzer then keeps the input as a crash.
#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);                        \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// One file per process in shared memory, rewritten for every input: the
// renderer and the viewer read files by name.
class ScratchFile {
public:
    explicit ScratchFile(const char* stem)
        : path_(std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + stem + "-" +
                std::to_string(getpid())) {}
    ~ScratchFile() { unlink(path_.c_str()); }

    void Write(std::string_view bytes) const {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        FUZZ_CHECK(fd >= 0);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            FUZZ_CHECK(n > 0);
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace fuzzing
