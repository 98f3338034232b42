// Types keys and clicks into a Wayland compositor through its VNC server
// (wayvnc), for the end-to-end tests on a headless compositor: there is no
// keyboard or pointer there otherwise, and wayvnc's virtual devices send keys
// as the codes of their places on a real keyboard, which is what the show
// reads.
//
//   vimbora_e2e_vnc SOCKET ACTION...
//
// ACTION is key:NAMES (X keysym names joined by +, pressed in order and let
// go in reverse, e.g. key:Escape or key:Alt_L+F4), click:X,Y,BUTTON (screen
// pixels; button 1 left, 2 middle, 3 right) or move:X,Y (the pointer only). SOCKET is the server's
// UNIX socket (wayvnc -u). Exits 1 with a message when the server cannot be reached or refuses.
#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

int server = -1;

bool ReadAll(void* data, size_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        const ssize_t got = read(server, bytes, size);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(const std::vector<uint8_t>& bytes) {
    return write(server, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

uint32_t Big32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
}

// RFB 3.8 up to the server's init, without authentication: wayvnc run
// without a configuration offers only that.
bool Connect(const std::string& path) {
    server = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "vnc: socket path too long: %s\n", path.c_str());
        return false;
    }
    path.copy(address.sun_path, path.size());
    if (server < 0 || connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "vnc: no server at %s\n", path.c_str());
        return false;
    }
    char version[12];
    uint8_t count = 0;
    if (!ReadAll(version, sizeof version) ||
        !WriteAll({'R', 'F', 'B', ' ', '0', '0', '3', '.', '0', '0', '8', '\n'}) ||
        !ReadAll(&count, 1) || count == 0) {
        std::fprintf(stderr, "vnc: the server refused the connection\n");
        return false;
    }
    std::vector<uint8_t> types(count);
    bool none = false;
    if (!ReadAll(types.data(), types.size())) {
        return false;
    }
    for (uint8_t type : types) {
        none = none || type == 1;
    }
    uint8_t result[4];
    if (!none || !WriteAll({1}) || !ReadAll(result, 4) || Big32(result) != 0) {
        std::fprintf(stderr, "vnc: the server wants authentication\n");
        return false;
    }
    // Shared, then the server's init: size, pixel format, name.
    uint8_t init[24];
    if (!WriteAll({1}) || !ReadAll(init, sizeof init)) {
        return false;
    }
    std::string name(Big32(init + 20), '\0');
    return ReadAll(name.data(), name.size());
}

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

bool Key(uint32_t keysym, bool down) {
    return WriteAll({4, static_cast<uint8_t>(down ? 1 : 0), 0, 0,
                     static_cast<uint8_t>(keysym >> 24), static_cast<uint8_t>(keysym >> 16),
                     static_cast<uint8_t>(keysym >> 8), static_cast<uint8_t>(keysym)});
}

bool Pointer(int x, int y, uint8_t buttons) {
    return WriteAll({5, buttons, static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x),
                     static_cast<uint8_t>(y >> 8), static_cast<uint8_t>(y)});
}

bool Keys(const std::string& names) {
    std::vector<uint32_t> keysyms;
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find('+', start);
        end = end == std::string::npos ? names.size() : end;
        const std::string name = names.substr(start, end - start);
        const KeySym keysym = XStringToKeysym(name.c_str());
        if (keysym == NoSymbol) {
            std::fprintf(stderr, "vnc: no key named %s\n", name.c_str());
            return false;
        }
        keysyms.push_back(static_cast<uint32_t>(keysym));
        start = end + 1;
    }
    for (uint32_t keysym : keysyms) {
        if (!Key(keysym, true)) {
            return false;
        }
        Pause();
    }
    for (size_t i = keysyms.size(); i-- > 0;) {
        if (!Key(keysyms[i], false)) {
            return false;
        }
        Pause();
    }
    return true;
}

bool Move(const std::string& where) {
    int x = 0;
    int y = 0;
    if (std::sscanf(where.c_str(), "%d,%d", &x, &y) != 2) {
        std::fprintf(stderr, "vnc: a move is X,Y, not %s\n", where.c_str());
        return false;
    }
    const bool sent = Pointer(x, y, 0);
    Pause();
    return sent;
}

bool Click(const std::string& where) {
    int x = 0;
    int y = 0;
    int button = 0;
    if (std::sscanf(where.c_str(), "%d,%d,%d", &x, &y, &button) != 3 || button < 1 || button > 8) {
        std::fprintf(stderr, "vnc: a click is X,Y,BUTTON, not %s\n", where.c_str());
        return false;
    }
    // The pointer comes to the place first, so that the window under it
    // has the pointer's focus when the button goes down.
    const auto mask = static_cast<uint8_t>(1u << (button - 1));
    bool sent = Pointer(x, y, 0);
    Pause();
    sent = sent && Pointer(x, y, mask);
    Pause();
    sent = sent && Pointer(x, y, 0);
    Pause();
    return sent;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOCKET key:NAMES|click:X,Y,BUTTON|move:X,Y...\n", argv[0]);
        return 2;
    }
    if (!Connect(argv[1])) {
        return 1;
    }
    for (int i = 2; i < argc; i++) {
        const std::string action = argv[i];
        bool done = false;
        if (action.rfind("key:", 0) == 0) {
            done = Keys(action.substr(4));
        } else if (action.rfind("click:", 0) == 0) {
            done = Click(action.substr(6));
        } else if (action.rfind("move:", 0) == 0) {
            done = Move(action.substr(5));
        } else {
            std::fprintf(stderr, "vnc: unknown action %s\n", action.c_str());
        }
        if (!done) {
            return 1;
        }
    }
    // The server reads what was sent before the connection closes.
    Pause();
    close(server);
    return 0;
}
