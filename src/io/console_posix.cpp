#include "io/console.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

void write_all(int descriptor, std::string_view bytes) {
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // a closed pipe or a full device: the text is lost, the run goes on
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
}

ssize_t read_retrying(int descriptor, char* into, std::size_t capacity) {
    for (;;) {
        const ssize_t count = ::read(descriptor, into, capacity);
        if (count >= 0 || errno != EINTR) return count;
    }
}

}  // namespace

void prepare_standard_streams() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            // open() takes the lowest free descriptor: this one.
            const int flags = descriptor == 0 ? O_RDONLY : O_WRONLY;
            if (::open("/dev/null", flags | O_CLOEXEC) != descriptor) ::_exit(70);
        }
    }
    // Cannot fail for SIGPIPE; a write to a closed pipe then reports EPIPE instead.
    static_cast<void>(::signal(SIGPIPE, SIG_IGN));
}

bool standard_input_is_console() { return ::isatty(0) == 1; }
bool standard_output_is_console() { return ::isatty(1) == 1; }

void write_standard_output(std::string_view bytes) { write_all(1, bytes); }
void write_standard_error(std::string_view bytes) { write_all(2, bytes); }

std::size_t read_standard_input(char* into, std::size_t capacity) {
    const ssize_t count = read_retrying(0, into, capacity);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

// The terminal's canonical mode edits and echoes the line, Enter included;
// one read returns one line. A read that ends without a line feed means end
// of input was typed.
ConsoleLine read_console_line(char* into, std::size_t capacity) {
    ConsoleLine line;
    char overflow[512] = {};
    for (;;) {
        const bool keeping = line.length < capacity;
        char* target = keeping ? into + line.length : overflow;
        const std::size_t room = keeping ? capacity - line.length : sizeof overflow;
        const ssize_t count = read_retrying(0, target, room);
        if (count <= 0) return line;
        const auto received = static_cast<std::size_t>(count);
        const bool ends_line = target[received - 1] == '\n';
        const std::size_t text_length = ends_line ? received - 1 : received;
        if (keeping) line.length += text_length;
        if (ends_line) {
            line.ended_with_enter = true;
            return line;
        }
        if (received < room) return line;  // end of input typed after some text
    }
}

void clear_console_window() {
    // Erase the visible display, then cursor home; the scrollback stays.
    write_all(1, "\x1b[2J\x1b[H");
}

std::string_view system_error_text(int error_code) { return std::strerror(error_code); }
