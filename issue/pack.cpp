// Packs are read and written with minizip (zlib's zip library) over memory:
// the zip's bytes are a view or a growing string, never a file of its own,
// so the same code serves an executable's tail, a pack file and a test.
#include "issue/pack.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <set>

#include "sys/sys.h"

namespace issue {

namespace {

// --- minizip's file calls over memory ----------------------------------------

// One open "file": the bytes and where the next read or write goes. A
// reader's bytes are a view; a writer's are the string it fills.
struct MemoryStream {
    std::string_view in;
    std::string* out = nullptr;
    std::size_t pos = 0;
    bool failed = false;

    std::size_t Size() const { return out ? out->size() : in.size(); }
};

voidpf ZCALLBACK OpenStream(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buf, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    const std::size_t size_ = s->Size();
    const std::size_t n = s->pos >= size_ ? 0 : std::min<std::size_t>(size, size_ - s->pos);
    const char* data = s->out ? s->out->data() : s->in.data();
    if (n > 0) std::memcpy(buf, data + s->pos, n);
    s->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteStream(voidpf, voidpf stream, const void* buf, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    if (!s->out) {
        s->failed = true;
        return 0;
    }
    if (s->out->size() < s->pos + size) s->out->resize(s->pos + size);
    std::memcpy(s->out->data() + s->pos, buf, size);
    s->pos += size;
    return size;
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->pos; }

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->pos;
    if (origin == ZLIB_FILEFUNC_SEEK_END) base = s->Size();
    if (base + offset > s->Size() && !s->out) return -1;
    s->pos = static_cast<std::size_t>(base + offset);
    return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf) { return 0; }

int ZCALLBACK StreamError(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->failed ? 1 : 0; }

zlib_filefunc64_def MemoryCalls(MemoryStream& stream) {
    zlib_filefunc64_def calls{};
    calls.zopen64_file = OpenStream;
    calls.zread_file = ReadStream;
    calls.zwrite_file = WriteStream;
    calls.ztell64_file = TellStream;
    calls.zseek64_file = SeekStream;
    calls.zclose_file = CloseStream;
    calls.zerror_file = StreamError;
    calls.opaque = &stream;
    return calls;
}

// A reader's file, read a piece at a time: a pack of many issues is never
// read whole.
struct FileStream {
    sys::ReadOnlyFile file;
    std::uint64_t pos = 0;
    bool failed = false;
};

uLong ZCALLBACK ReadFileStream(voidpf, voidpf stream, void* buf, uLong size) {
    auto* s = static_cast<FileStream*>(stream);
    const std::size_t got = s->file.ReadAt(s->pos, static_cast<char*>(buf), size);
    if (got < size && s->pos + got < s->file.Size()) s->failed = true;
    s->pos += got;
    return static_cast<uLong>(got);
}

uLong ZCALLBACK WriteFileStream(voidpf, voidpf stream, const void*, uLong) {
    static_cast<FileStream*>(stream)->failed = true;
    return 0;
}

ZPOS64_T ZCALLBACK TellFileStream(voidpf, voidpf stream) { return static_cast<FileStream*>(stream)->pos; }

long ZCALLBACK SeekFileStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<FileStream*>(stream);
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->pos;
    if (origin == ZLIB_FILEFUNC_SEEK_END) base = s->file.Size();
    if (base + offset > s->file.Size()) return -1;
    s->pos = base + offset;
    return 0;
}

int ZCALLBACK FileStreamError(voidpf, voidpf stream) { return static_cast<FileStream*>(stream)->failed ? 1 : 0; }

zlib_filefunc64_def FileCalls(FileStream& stream) {
    zlib_filefunc64_def calls{};
    calls.zopen64_file = OpenStream;
    calls.zread_file = ReadFileStream;
    calls.zwrite_file = WriteFileStream;
    calls.ztell64_file = TellFileStream;
    calls.zseek64_file = SeekFileStream;
    calls.zclose_file = CloseStream;
    calls.zerror_file = FileStreamError;
    calls.opaque = &stream;
    return calls;
}

struct UnzipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};
using Unzip = std::unique_ptr<void, UnzipCloser>;

// --- Reading ---------------------------------------------------------------------

constexpr uLong kMadeOnUnix = 3 << 8 | 20;  // the permissions in the entries are Unix ones
constexpr uint32_t kEndRecord = 0x06054b50;  // "PK\5\6"
constexpr std::size_t kEndRecordSize = 22;
static_assert(PackEndSearch == kEndRecordSize + 0xFFFF);

uint32_t Le32(std::string_view b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Quoted(std::string_view name) {
    std::string out = "\"";
    for (const unsigned char c : name.substr(0, 60)) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            static const char* const kHex = "0123456789abcdef";
            out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return out + (name.size() > 60 ? "...\"" : "\"");
}

// Reads the entry the zip stands on into Bytes, at most Limit bytes: the
// sizes a zip declares are not trusted, the bytes that come out are counted.
bool ReadEntry(void* zip, const std::string& name, std::size_t limit, std::string& bytes, std::string& error) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        error = "the pack's entry " + Quoted(name) + " cannot be opened (it is damaged, or encrypted)";
        return false;
    }
    std::array<char, 1 << 16> chunk{};
    for (;;) {
        const int n = unzReadCurrentFile(zip, chunk.data(), static_cast<unsigned>(chunk.size()));
        if (n < 0) {
            unzCloseCurrentFile(zip);
            error = "the pack's entry " + Quoted(name) + " is damaged";
            return false;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > limit) {
            unzCloseCurrentFile(zip);
            error = "the pack's entry " + Quoted(name) + " unpacks to more than " +
                    (limit == MaxEntryBytes ? "16 MB, the most one file of an issue may hold"
                                            : "the 64 MB an issue may hold in all");
            return false;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
    if (unzCloseCurrentFile(zip) != UNZ_OK) {  // the check sum did not match
        error = "the pack's entry " + Quoted(name) + " is damaged (its check sum does not match)";
        return false;
    }
    return true;
}

}  // namespace

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    if (name.find("..") != std::string_view::npos) return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return c >= 32 && c < 127 && c != '/' && c != '\\' && c != ':';
    });
}

bool EndsWithPack(std::string_view bytes) {
    // The end record is followed only by its comment, of at most 64 KB.
    if (bytes.size() < kEndRecordSize) return false;
    const std::size_t lowest = bytes.size() > kEndRecordSize + 0xFFFF ? bytes.size() - kEndRecordSize - 0xFFFF : 0;
    for (std::size_t at = bytes.size() - kEndRecordSize + 1; at-- > lowest;) {
        if (Le32(bytes, at) != kEndRecord) continue;
        const std::size_t comment = static_cast<unsigned char>(bytes[at + 20]) |
                                    static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 21])) << 8;
        if (at + kEndRecordSize + comment == bytes.size()) return true;
    }
    return false;
}

bool IsPackEntryName(std::string_view name) {
    const std::size_t slash = name.find('/');
    if (slash == std::string_view::npos) return IsPlainFileName(name);
    return IsPlainFileName(name.substr(0, slash)) && IsPlainFileName(name.substr(slash + 1));
}

namespace {

std::string NotAnEntryName(const std::string& name) {
    return "the pack holds " + Quoted(name) +
           ", which is no plain file name (a folder, a drive, \"..\" or a control character); "
           "pack the issue's files without their folder";
}

}  // namespace

struct PackReader::Source {
    MemoryStream memory;
    FileStream file;
    zlib_filefunc64_def calls{};
    Unzip zip;
};

PackReader::PackReader() = default;
PackReader::~PackReader() = default;
PackReader::PackReader(PackReader&&) noexcept = default;
PackReader& PackReader::operator=(PackReader&&) noexcept = default;

bool PackReader::OpenBytes(std::string_view bytes, std::string& error) {
    source_ = std::make_unique<Source>();
    source_->memory.in = bytes;
    source_->calls = MemoryCalls(source_->memory);
    return Take(error);
}

bool PackReader::OpenFile(const std::string& path, std::string& error) {
    source_ = std::make_unique<Source>();
    if (!source_->file.file.Open(path, error)) return false;
    source_->calls = FileCalls(source_->file);
    return Take(error);
}

// Reads the table of contents: every name checked, nothing unpacked.
bool PackReader::Take(std::string& error) {
    names_.clear();
    source_->zip.reset(unzOpen2_64("pack", &source_->calls));
    void* zip = source_->zip.get();
    unz_global_info64 info{};
    if (!zip || unzGetGlobalInfo64(zip, &info) != UNZ_OK) {
        error = "the pack is no zip, or its table of contents is damaged";
        return false;
    }
    if (info.number_entry > MaxMagazineEntries) {
        error = "the pack holds " + std::to_string(info.number_entry) + " entries; a magazine has at most " +
                std::to_string(MaxMagazineEntries);
        return false;
    }
    std::set<std::string> seen;
    for (int step = unzGoToFirstFile(zip); step != UNZ_END_OF_LIST_OF_FILE; step = unzGoToNextFile(zip)) {
        if (step != UNZ_OK || names_.size() >= MaxMagazineEntries) {
            error = "the pack's table of contents is damaged";
            return false;
        }
        unz_file_info64 entry{};
        std::array<char, 512> nameBuffer{};
        if (unzGetCurrentFileInfo64(zip, &entry, nameBuffer.data(), nameBuffer.size() - 1, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            entry.size_filename >= nameBuffer.size()) {
            error = "the pack's table of contents is damaged";
            return false;
        }
        // A NUL inside the stored name makes the C string shorter than it.
        const std::string name(nameBuffer.data(), entry.size_filename);
        if (!IsPackEntryName(name) || std::strlen(nameBuffer.data()) != entry.size_filename) {
            error = NotAnEntryName(name);
            return false;
        }
        if (!seen.insert(Lower(name)).second) {
            error = "the pack holds " + Quoted(name) + " twice";
            return false;
        }
        names_.push_back(name);
    }
    return true;
}

bool PackReader::Unpack(const std::vector<std::string>& names, PackFiles& files, std::string& error) {
    files.clear();
    if (names.size() > MaxPackEntries) {
        error = "the pack holds " + std::to_string(names.size()) + " entries for one issue; an issue has at most " +
                std::to_string(MaxPackEntries);
        return false;
    }
    const std::set<std::string> wanted(names.begin(), names.end());
    void* zip = source_ ? source_->zip.get() : nullptr;
    std::size_t total = 0;
    // One walk over the table of contents, taking the entries asked for.
    for (int step = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; step != UNZ_END_OF_LIST_OF_FILE;
         step = unzGoToNextFile(zip)) {
        unz_file_info64 entry{};
        std::array<char, 512> nameBuffer{};
        if (step != UNZ_OK || unzGetCurrentFileInfo64(zip, &entry, nameBuffer.data(), nameBuffer.size() - 1, nullptr,
                                                      0, nullptr, 0) != UNZ_OK) {
            files.clear();
            error = "the pack's table of contents is damaged";
            return false;
        }
        const std::string name(nameBuffer.data(), std::min<std::size_t>(entry.size_filename, nameBuffer.size() - 1));
        if (!wanted.count(name)) continue;
        if (entry.uncompressed_size > MaxEntryBytes) {
            files.clear();
            error = "the pack's entry " + Quoted(name) + " unpacks to more than 16 MB, the most one file of an issue "
                    "may hold";
            return false;
        }
        PackFile file{name.substr(name.find('/') + 1), {}};
        if (!ReadEntry(zip, name, std::min(MaxEntryBytes, MaxPackBytes - total), file.Bytes, error)) {
            files.clear();  // an issue is taken whole or not at all
            return false;
        }
        total += file.Bytes.size();
        files.push_back(std::move(file));
    }
    if (files.size() != wanted.size()) {
        files.clear();
        error = "the pack lacks an entry it was asked for";
        return false;
    }
    return true;
}

bool ReadPack(std::string_view bytes, PackFiles& files, std::string& error) {
    files.clear();
    PackReader reader;
    if (!reader.OpenBytes(bytes, error)) return false;
    for (const std::string& name : reader.Names())
        if (!IsPlainFileName(name)) {
            error = NotAnEntryName(name);
            return false;
        }
    if (reader.Names().size() > MaxPackEntries) {
        error = "the pack holds " + std::to_string(reader.Names().size()) + " entries; an issue has at most " +
                std::to_string(MaxPackEntries);
        return false;
    }
    return reader.Unpack(reader.Names(), files, error);
}

bool WritePack(std::string_view prefix, const PackFiles& files, std::string& out, std::string& error) {
    out.assign(prefix);
    MemoryStream stream{{}, &out, out.size()};
    zlib_filefunc64_def calls = MemoryCalls(stream);
    // "Create after": the zip begins where the prefix ends, and its offsets
    // count from the start of the prefix, as a self-extracting file's do.
    zipFile zip = zipOpen2_64("pack", out.empty() ? APPEND_STATUS_CREATE : APPEND_STATUS_CREATEAFTER, nullptr, &calls);
    if (!zip) {
        error = "cannot start the pack";
        return false;
    }
    bool ok = true;
    for (const PackFile& file : files) {
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 12, 1, 11, 2026};  // noon, 1 December 2026: the same pack from the same files
        info.external_fa = 0100644u << 16;          // a plain file anyone may read, as unzip sets it
        ok = zipOpenNewFileInZip4_64(zip, file.Name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                     Z_BEST_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
                                     0, kMadeOnUnix, 0, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, file.Bytes.data(), static_cast<unsigned>(file.Bytes.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
        if (!ok) break;
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok && !stream.failed;
    if (!ok) error = "cannot write the pack";
    return ok;
}

}  // namespace issue
