// The operating system's services under every layer: paths, reading a file
// whole, exclusive creation and the running executable.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app_fixture.h"
#include "console/con_memory.h"
#include "sys/sys.h"
#include "sys/text.h"
#include "viewer/text_viewer.h"

namespace {

using apptest::ReadFile;
using apptest::TempDir;
using apptest::WriteFile;

TEST(SysPaths, SeparatorAndFolderPart) {
    const std::string sep(1, sys::PathSeparator);
    EXPECT_EQ(sys::WithSeparator("dir"), "dir" + sep);
    EXPECT_EQ(sys::WithSeparator("dir" + sep), "dir" + sep) << "kept, not doubled";
    EXPECT_EQ(sys::WithSeparator(""), sep);
    EXPECT_EQ(sys::FolderOf("/a/b/name.txt"), "/a/b/");
    EXPECT_EQ(sys::FolderOf("C:\\a\\name.txt"), "C:\\a\\") << "either separator ends the folder";
    EXPECT_EQ(sys::FolderOf("name.txt"), "");
    EXPECT_EQ(sys::FolderOf("/name"), "/");
}

TEST(SysText, FoldsOnlyTheLettersAToZ) {
    EXPECT_EQ(FoldCase("Menu_asc-1 z{"), "MENU_ASC-1 Z{");
    EXPECT_EQ(FoldCase("\x81\xE4`@"), "\x81\xE4`@") << "accented code page 437 letters and neighbours of a..z stay";
    EXPECT_EQ(FoldCase(std::string(300, 'q')), std::string(300, 'Q')) << "whole, however long";
    EXPECT_TRUE(SameIgnoringCase("article_HDR", "ARTICLE_hdr"));
    EXPECT_FALSE(SameIgnoringCase("art1", "art10"));
    EXPECT_FALSE(SameIgnoringCase("a{", "A["));
}

TEST(SysFiles, ReadsAFileWholeAcrossManyReads) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>((i * 31) & 0xFF);
    WriteFile(dir / "big.bin", bytes);
    std::string read = "left over";
    std::string error;
    ASSERT_TRUE(sys::ReadWholeFile(dir / "big.bin", read, error)) << error;
    EXPECT_EQ(read, bytes);

    EXPECT_FALSE(sys::ReadWholeFile(dir / "missing", read, error));
    EXPECT_FALSE(error.empty()) << "the system says why";
    EXPECT_TRUE(sys::IsFile(dir / "big.bin"));
    EXPECT_FALSE(sys::IsFile(dir.Path())) << "a folder is no file";
    EXPECT_FALSE(sys::IsFile(dir / "missing"));
}

TEST(SysFiles, ReadsTheTailOfAFile) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += static_cast<char>('a' + i % 23);
    WriteFile(dir / "long.bin", bytes);
    std::string tail;
    std::string error;
    ASSERT_TRUE(sys::ReadFileTail(dir / "long.bin", 1000, tail, error)) << error;
    EXPECT_EQ(tail, bytes.substr(bytes.size() - 1000)) << "the last bytes, in order";
    ASSERT_TRUE(sys::ReadFileTail(dir / "long.bin", 200000, tail, error)) << error;
    EXPECT_EQ(tail, bytes) << "a file shorter than asked for is read whole";
    WriteFile(dir / "empty", "");
    ASSERT_TRUE(sys::ReadFileTail(dir / "empty", 10, tail, error)) << error;
    EXPECT_TRUE(tail.empty());
    tail = "left over";
    EXPECT_FALSE(sys::ReadFileTail(dir / "missing", 10, tail, error));
    EXPECT_TRUE(tail.empty());
    EXPECT_FALSE(error.empty());
}

TEST(SysFiles, NewFilesAreCreatedOnlyWhereNothingIs) {
    TempDir dir;
    WriteFile(dir / "taken", "mine");
    sys::File file;
    bool exists = false;
    std::string error;
    EXPECT_FALSE(sys::CreateNewFile(dir / "taken", sys::Access::Private, file, exists, error));
    EXPECT_TRUE(exists);
    EXPECT_FALSE(file.Valid());
    EXPECT_EQ(ReadFile(dir / "taken"), "mine");

    ASSERT_TRUE(sys::CreateNewFile(dir / "new", sys::Access::Private, file, exists, error)) << error;
    EXPECT_FALSE(exists);
    ASSERT_TRUE(sys::WriteAll(file, "abc", 3, error)) << error;
    EXPECT_TRUE(sys::SyncFile(file, error)) << error;
    EXPECT_TRUE(sys::CloseFile(file, error)) << error;
    EXPECT_FALSE(file.Valid());
    EXPECT_EQ(ReadFile(dir / "new"), "abc");

    EXPECT_TRUE(sys::RenameReplacing(dir / "new", dir / "taken", error)) << error;
    EXPECT_EQ(ReadFile(dir / "taken"), "abc");
    EXPECT_TRUE(sys::RemoveFile(dir / "taken"));
    EXPECT_FALSE(sys::RemoveFile(dir / "taken")) << "nothing left to remove";
}

TEST(SysFolders, PrivateFolderIsMadeOnceAndRemovedWithItsContents) {
    TempDir dir;
    const std::string folder = dir / "private";
    bool exists = false;
    std::string error;
    ASSERT_TRUE(sys::MakePrivateFolder(folder, exists, error)) << error;
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
#endif
    EXPECT_FALSE(sys::MakePrivateFolder(folder, exists, error));
    EXPECT_TRUE(exists) << "a folder of that name is there already";
    WriteFile(folder + "/inside", "x");
    std::filesystem::create_directory(folder + "/sub");
    sys::RemoveFolderTree(folder);
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(SysExecutable, KnowsItself) {
    const std::string self = sys::ExecutablePath(nullptr);
    EXPECT_TRUE(sys::IsFile(self)) << self;
    EXPECT_TRUE(sys::IsRunningExecutable(self));
    TempDir dir;
    WriteFile(dir / "other", "x");
    EXPECT_FALSE(sys::IsRunningExecutable(dir / "other"));
    EXPECT_EQ(sys::LibraryFileName("soundlib").rfind("soundlib.", 0), 0u);
}

// --- Save names in the system's character set ----------------------------------------

#ifndef _WIN32  // the reader's locale decides on POSIX
// Sets LC_ALL for the lifetime of the object, as the reader's environment.
class ReaderLocale {
public:
    explicit ReaderLocale(const char* name) {
        if (const char* old = std::getenv("LC_ALL")) old_ = old;
        ::setenv("LC_ALL", name, 1);
    }
    ~ReaderLocale() {
        if (old_)
            ::setenv("LC_ALL", old_->c_str(), 1);
        else
            ::unsetenv("LC_ALL");
    }
    ReaderLocale(const ReaderLocale&) = delete;
    ReaderLocale& operator=(const ReaderLocale&) = delete;

private:
    std::optional<std::string> old_;
};

class SaveNames : public ConsoleTest {
protected:
    // Saves a short text from the viewer under Typed, a name typed in code
    // page 437, and answers the question that follows with yes.
    static void SaveFromTheViewer(const std::string& typed) {
        memcon::PressCtrl('s');
        memcon::TypeText(typed);
        memcon::PressEnter();
        memcon::TypeText("y");
        EXPECT_THROW(ViewText("a line\n", 1, 1, 80, 24), memcon::InputExhausted);
    }
    static std::string ProgramLocale() { return std::setlocale(LC_CTYPE, nullptr); }

    TempDir dir_;
};

// "\x82" is e acute in code page 437, "\xCE" the double-lined cross.
TEST_F(SaveNames, ATypedNameIsWrittenInUtf8UnderAUtf8Locale) {
    const ReaderLocale utf8("C.UTF-8");
    const std::string before = ProgramLocale();
    SaveFromTheViewer(dir_ / "\x82t\x82.txt");
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"\xC3\xA9t\xC3\xA9.txt"}) << "\"été.txt\" in UTF-8";
    EXPECT_EQ(ReadFile(dir_ / "\xC3\xA9t\xC3\xA9.txt"), "a line\r\n");
    EXPECT_EQ(ProgramLocale(), before) << "the program's own locale is given back";

    SaveFromTheViewer(dir_ / "\xCE\xB0.txt");  // box drawing and a shade are characters too
    EXPECT_TRUE(std::filesystem::exists(dir_ / "\xE2\x95\xAC\xE2\x96\x91.txt"));
}

TEST_F(SaveNames, ThePlainCLocaleAndAnUnknownOneGiveUtf8Too) {
    for (const char* locale : {"C", "POSIX", "xx_XX"}) {
        SCOPED_TRACE(locale);
        const ReaderLocale plain(locale);
        SaveFromTheViewer(dir_ / "\x82.txt");
        EXPECT_EQ(dir_.Files(), std::vector<std::string>{"\xC3\xA9.txt"});
        std::filesystem::remove(dir_ / "\xC3\xA9.txt");
    }
}

TEST_F(SaveNames, AnEightBitLocaleGetsItsOwnBytesOrARefusal) {
    // Not installed here: judged by its name, converted by the system.
    const ReaderLocale latin("fr_FR.ISO-8859-1");
    SaveFromTheViewer(dir_ / "\x82t\x82.txt");
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"\xE9t\xE9.txt"}) << "\"été.txt\" in ISO-8859-1";

    SaveFromTheViewer(dir_ / "\xCE.txt");  // ISO-8859-1 has no box drawing
    EXPECT_NE(memcon::RowText(12).find("not saved: ISO-8859-1 cannot hold that name"), std::string::npos)
        << memcon::RowText(12);
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"\xE9t\xE9.txt"}) << "nothing else is written";
}
#endif

}  // namespace
