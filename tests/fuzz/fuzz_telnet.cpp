// Telnet's input filter. One byte of the input chooses how the rest is
// taken:
// - as a script: each step a data byte, a 255 (sent as IAC IAC), a one-byte
//   command, an option request or a subnegotiation of any bytes (255s
//   doubled inside), encoded as a client sends them; the keys must be
//   exactly the data bytes, with CR LF and CR NUL as one CR, so that no
//   command or part of one is ever taken for keys;
// - as raw bytes, which need not be telnet at all.
// Either way the bytes are fed whole and in pieces split at random: every
// split gives the same keys, and never more key bytes than bytes came.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "console/telnet.h"
#include "fuzz_common.h"

namespace {

constexpr unsigned char kIac = 255, kSb = 250, kSe = 240;

// The client's bytes and the data bytes they carry, from the script.
void Script(FuzzedDataProvider& in, std::string& sent, std::string& data) {
    auto put = [&sent](unsigned char b) { sent.push_back(static_cast<char>(b)); };
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0:
            case 1: {  // a data byte
                const auto b = in.ConsumeIntegralInRange<unsigned char>(0, 254);
                put(b);
                data.push_back(static_cast<char>(b));
                break;
            }
            case 2:  // the data byte 255
                put(kIac);
                put(kIac);
                data.push_back(static_cast<char>(kIac));
                break;
            case 3:  // NOP, DM, BRK, IP, AO, AYT, EC, EL, GA, or an SE alone
                put(kIac);
                put(in.ConsumeIntegralInRange<unsigned char>(kSe, kSb - 1));
                break;
            case 4:  // WILL, WONT, DO, DONT and any option
                put(kIac);
                put(in.ConsumeIntegralInRange<unsigned char>(251, 254));
                put(in.ConsumeIntegral<unsigned char>());
                break;
            default: {  // a subnegotiation
                put(kIac);
                put(kSb);
                for (const unsigned char b : in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange(0, 64))) {
                    put(b);
                    if (b == kIac) put(kIac);
                }
                put(kIac);
                put(kSe);
                break;
            }
        }
    }
}

// Data bytes as keys: a CR followed by LF or NUL is one CR (telnet's line end).
std::string Keys(const std::string& data) {
    std::string keys;
    for (std::size_t i = 0; i < data.size(); ++i) {
        keys.push_back(data[i]);
        if (data[i] == '\r' && i + 1 < data.size() && (data[i + 1] == '\n' || data[i + 1] == '\0')) ++i;
    }
    return keys;
}

std::string Filtered(const std::string& sent, const std::vector<std::size_t>& pieces) {
    telnet::InputFilter filter;
    std::string out;
    std::size_t at = 0;
    for (const std::size_t piece : pieces) {
        if (at >= sent.size()) break;
        filter.Take(std::string_view(sent).substr(at, piece), out);
        at += piece;
    }
    filter.Take(std::string_view(sent).substr(std::min(at, sent.size())), out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool script = in.ConsumeBool();
    std::vector<std::size_t> pieces;
    for (const unsigned char c : in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange(0, 24)))
        pieces.push_back(c % 17);  // pieces of 0 to 16 bytes, the rest in one
    std::string sent;
    std::string carried;
    if (script)
        Script(in, sent, carried);
    else
        sent = in.ConsumeRemainingBytesAsString();

    const std::string whole = Filtered(sent, {});
    FUZZ_CHECK(whole.size() <= sent.size());
    FUZZ_CHECK(Filtered(sent, pieces) == whole);
    std::vector<std::size_t> bytewise(sent.size(), 1);
    FUZZ_CHECK(Filtered(sent, bytewise) == whole);
    if (script) FUZZ_CHECK(whole == Keys(carried));
    return 0;
}
