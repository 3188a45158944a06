#include "console/telnet.h"

namespace telnet {

namespace {

constexpr unsigned char kSe = 240;  // end of a subnegotiation
constexpr unsigned char kSb = 250;  // start of one
constexpr unsigned char kWill = 251;
constexpr unsigned char kDont = 254;

}  // namespace

void InputFilter::Take(std::string_view in, std::string& out) {
    for (const char c : in) {
        const auto b = static_cast<unsigned char>(c);
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Command;
                    break;
                }
                // The LF or NUL that telnet puts after a CR is part of the
                // line end, not a key of its own.
                if (afterCr_ && (b == '\n' || b == 0)) {
                    afterCr_ = false;
                    break;
                }
                afterCr_ = b == '\r';
                out.push_back(c);
                break;
            case State::Command:
                if (b == kIac) {
                    afterCr_ = false;
                    out.push_back(c);
                    state_ = State::Data;
                } else if (b == kSb) {
                    state_ = State::Sub;
                } else if (b >= kWill && b <= kDont) {
                    state_ = State::Option;
                } else {
                    state_ = State::Data;
                }
                break;
            case State::Option:
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac) state_ = State::SubCommand;
                break;
            case State::SubCommand:
                // IAC SE ends it; IAC IAC is a 255 inside it; anything else
                // is a client's slip, and the subnegotiation goes on.
                state_ = b == kSe ? State::Data : State::Sub;
                break;
        }
    }
}

std::string EscapeOutput(std::string_view out) {
    std::string escaped;
    escaped.reserve(out.size() + 8);
    for (const char c : out) {
        escaped.push_back(c);
        if (static_cast<unsigned char>(c) == kIac) escaped.push_back(c);
    }
    return escaped;
}

}  // namespace telnet
