// A stand-in board for the Windows door test: it connects to the caller
// (the test, listening on a loopback port), makes the socket inheritable,
// writes a DOOR32.SYS that names its handle and starts the door with
// --door, as a board on Windows starts a door for its caller. It answers
// the door's exit status.
//
//   door_board PORT FOLDER EMULATION MINUTES PROGRAM [ARGUMENTS...]
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One argument as the C run-time of the door splits its command line.
std::string Quoted(const std::string& arg) {
    std::string out = "\"";
    int slashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(static_cast<std::size_t>(c == '"' ? slashes * 2 + 1 : slashes), '\\');
        slashes = 0;
        out += c;
    }
    out.append(static_cast<std::size_t>(slashes * 2), '\\');
    return out + "\"";
}

int Fail(const char* what) {
    std::fprintf(stderr, "door_board: %s (error %lu)\n", what, GetLastError());
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: door_board PORT FOLDER EMULATION MINUTES PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return Fail("no sockets");
    const SOCKET caller = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (caller == INVALID_SOCKET) return Fail("no socket");
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(std::atoi(argv[1])));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(caller, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return Fail("the caller does not answer");
    if (!SetHandleInformation(reinterpret_cast<HANDLE>(caller), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return Fail("the socket cannot be inherited");

    std::string drop = argv[2];
    drop += "\\DOOR32.SYS";
    FILE* f = std::fopen(drop.c_str(), "wb");
    if (!f) return Fail("the drop file cannot be written");
    std::fprintf(f, "2\r\n%llu\r\n115200\r\nStand-in Board 1.0\r\n7\r\nAnn Reader\r\nsea dog\r\n20\r\n%s\r\n%s\r\n1\r\n",
                 static_cast<unsigned long long>(caller), argv[4], argv[3]);
    std::fclose(f);

    std::string command = Quoted(argv[5]);
    command += " --door ";
    command += Quoted(drop);
    for (int i = 6; i < argc; ++i) {
        command += ' ';
        command += Quoted(argv[i]);
    }
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION door{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &door))
        return Fail("the door does not start");
    WaitForSingleObject(door.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(door.hProcess, &status);
    CloseHandle(door.hThread);
    CloseHandle(door.hProcess);
    std::printf("door ended: %lu\n", status);
    std::fflush(stdout);
    closesocket(caller);
    return static_cast<int>(status);
}
