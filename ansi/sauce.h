// Reads the SAUCE record that scene art carries after its end-of-file byte
// 26: the piece's title, author, group and date, and how it is meant to be
// shown (width, lines, iCE colours, letter spacing, aspect, font), with the
// comment lines that may stand before the record.
//
// Nothing in a record is trusted: every field that is out of range, not a
// date, or not text is left out or cut at its first bad byte, and each such
// fault is named in plain words, one line each, for the content checker.
// Pure: no console, no files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The pixel shape the art was drawn for.
enum class SauceAspect {
    None,    // not said
    Legacy,  // stretched in height, as on the old 4:3 displays
    Square,  // square pixels
};

struct Sauce {
    bool Present = false;  // a record of version 00 ends the file
    // Text fields without their trailing spaces and NULs, as code page 437
    // bytes (the screen's own encoding).
    std::string Title, Author, Group;
    std::string Date;  // CCYYMMDD, only when it is a real date
    // The art's size as the record gives it. Not a fault when it differs:
    // art touched up after it was saved keeps the size it had.
    std::uint32_t FileSize = 0;
    std::uint8_t DataType = 0, FileType = 0;
    int Width = 0;       // columns; 0 when not given or out of range
    int GivenWidth = 0;  // the columns the record gives, whatever they are
    int Lines = 0;  // rows; 0 when not given
    bool IceColours = false;
    int LetterSpacing = 0;  // 0 when not said, else 8 or 9 pixels
    SauceAspect Aspect = SauceAspect::None;
    std::string Font;  // such as "IBM VGA"
    std::vector<std::string> Comments;
    // How many bytes at the start of the file are art: up to the byte 26
    // before the comment block or the record, or up to the block or the
    // record where no byte 26 stands before it; the whole file without one.
    std::size_t ArtEnd = 0;
    // Where the comment block or the record begins (the whole file's size
    // without one): the end of a binary format's data, which may itself end
    // in a byte 26.
    std::size_t DataEnd = 0;
    // What is wrong with the record, one plain sentence each.
    std::vector<std::string> Faults;
};

// The record of File, which is the whole file's bytes.
Sauce ReadSauce(std::string_view File);

// The size of a record and of one comment line.
inline constexpr std::size_t SauceRecordSize = 128;
inline constexpr std::size_t SauceCommentSize = 64;
// A width above this is no width of character art.
inline constexpr int SauceMaxWidth = 1000;
