// The line buffers in front of a console. The conversion is the system's own
// (platform/encoding.h); what is decided here is only where a piece ends.
#include "platform/console_lines.h"

#include "platform/encoding.h"

namespace vantor::platform {
namespace {

// A line longer than this goes out in pieces (cut between characters), so
// what a stream holds never grows without bound.
constexpr std::size_t kLongestHeld = 16 * 1024;

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// How many bytes the sequence that `lead` starts has; 0 for a byte that
// starts none (ASCII, a continuation, or a byte UTF-8 never uses).
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::size_t wholeCharacters(std::string_view bytes) {
    std::size_t start = bytes.size();
    for (int back = 0; back < 3 && start > 0 && isContinuation(bytes[start - 1]); ++back) --start;
    if (start == 0) return bytes.size();
    const std::size_t lead = start - 1;
    const bool cutOff = sequenceLength(static_cast<unsigned char>(bytes[lead])) > bytes.size() - lead;
    return cutOff ? lead : bytes.size();
}

ConsoleLines::ConsoleLines(Writer write) : write_(std::move(write)) {}

ConsoleLines::~ConsoleLines() { flush(); }

std::streambuf& ConsoleLines::buffer(Stream stream) { return stream == Stream::Output ? output_ : error_; }

void ConsoleLines::flush() {
    const std::lock_guard guard(lock_);
    for (Buffer* b : {&output_, &error_}) writeHeld(*b, b->held.size());
}

bool ConsoleLines::take(Buffer& to, std::string_view bytes) {
    const std::lock_guard guard(lock_);
    bool written = writeWhole(other(to));
    to.held.append(bytes);
    if (const std::size_t newline = bytes.rfind('\n'); newline != std::string_view::npos) {
        written = writeHeld(to, to.held.size() - bytes.size() + newline + 1) && written;
    } else if (to.held.size() >= kLongestHeld) {
        written = writeWhole(to) && written;
    }
    return written;
}

bool ConsoleLines::writeHeld(Buffer& from, std::size_t length) {
    if (length == 0) return true;
    const std::u16string text = utf16Replacing(std::string_view(from.held).substr(0, length));
    from.held.erase(0, length);
    return write_(from.stream, text);
}

ConsoleLines::Buffer::int_type ConsoleLines::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return owner_.take(*this, std::string_view(&byte, 1)) ? c : traits_type::eof();
}

std::streamsize ConsoleLines::Buffer::xsputn(const char* s, std::streamsize n) {
    return owner_.take(*this, std::string_view(s, static_cast<std::size_t>(n))) ? n : 0;
}

int ConsoleLines::Buffer::sync() {
    const std::lock_guard guard(owner_.lock_);
    return owner_.writeWhole(*this) ? 0 : -1;
}

}  // namespace vantor::platform
