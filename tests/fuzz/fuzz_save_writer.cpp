// The replacing writer with arbitrary plain file names and contents, in a
// folder of its own: a write that says it succeeded leaves exactly the
// file with exactly the bytes, a failed one leaves nothing, and no partial
// file is ever left behind.
#include <dirent.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "sys/workfiles.h"
#include "fuzz_common.h"

namespace {

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

const std::string& Folder() {
    static const std::string folder = [] {
        std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + std::string("fuzz-save-") +
                           std::to_string(getpid());
        mkdir(path.c_str(), 0700);
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string name = in.ConsumeRandomLengthString(300);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    // Plain names only: the callers keep other names out of here.
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        return -1;
    const std::string path = Folder() + "/" + name;
    std::string error;
    const bool ok = WriteFileReplacing(path, bytes, error);
    const std::vector<std::string> left = Entries(Folder());
    if (ok) {
        FUZZ_CHECK(left.size() == 1 && left[0] == name);
        std::ifstream f(path, std::ios::binary);
        const std::string back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        FUZZ_CHECK(back == bytes);
        unlink(path.c_str());
    } else {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(left.empty());
    }
    return 0;
}
