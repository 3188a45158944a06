// Telnet's framing on a board's connection: the commands a caller's client
// sends among its key bytes (IAC sequences) are taken out, and a 255 byte
// the program sends is doubled, so that the client shows it instead of
// taking it for the start of a command.
#pragma once

#include <string>
#include <string_view>

namespace telnet {

constexpr unsigned char kIac = 255;

// Takes the data bytes out of what a telnet client sends, across as many
// reads as its commands are split over. Dropped: option requests (IAC WILL,
// WONT, DO, DONT and their option), subnegotiations (IAC SB ... IAC SE) of
// any length, without keeping them, and the one-byte commands (NOP, AYT,
// GA, ...). IAC IAC is one 255 data byte. A line end (CR LF or CR NUL, the
// forms telnet gives Enter) is one CR.
class InputFilter {
public:
    // Appends the data bytes of In to Out.
    void Take(std::string_view in, std::string& out);

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    State state_ = State::Data;
    bool afterCr_ = false;  // the last data byte was a CR
};

// Out with every 255 byte doubled.
std::string EscapeOutput(std::string_view out);

}  // namespace telnet
