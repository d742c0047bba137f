// Standard output and standard error as a console takes them: whole lines of
// UTF-16, in the order they were written. The same on every system, so it is
// tested everywhere; only Windows puts it in front of a console (its
// WriteConsoleW is the one writer that shows every character at any code
// page). Redirected streams never come here: they carry the bytes as they are.
#pragma once

#include <functional>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>

namespace vantor::platform {

// The length of `bytes` without a UTF-8 sequence cut off at its end (a lead
// byte followed by fewer continuation bytes than it announces), which waits
// for the rest of its character.
std::size_t wholeCharacters(std::string_view bytes);

// Both standard streams bound for one console. Each stream holds its bytes
// until a line ends or the stream is flushed, then hands them to the writer
// in one piece, as UTF-16, with every byte that is no UTF-8 shown as U+FFFD;
// a character is never cut in two. Before one stream takes a byte, whatever
// the other holds goes out, so the console shows the two in the order they
// were written. Writes may come from any thread.
class ConsoleLines {
public:
    enum class Stream { Output, Error };
    // Shows text on the console; false when it could not.
    using Writer = std::function<bool(Stream, std::u16string_view)>;

    explicit ConsoleLines(Writer write);
    ~ConsoleLines();  // writes what is still held
    ConsoleLines(const ConsoleLines&) = delete;
    ConsoleLines& operator=(const ConsoleLines&) = delete;

    // The buffer to put behind std::cout or std::cerr.
    std::streambuf& buffer(Stream stream);

    // Writes everything held, a started line too (a cut-off character at the
    // very end shows as U+FFFD): for the end of the process.
    void flush();

private:
    // No put area of its own: every byte reaches take(), under the lock.
    class Buffer final : public std::streambuf {
    public:
        Buffer(ConsoleLines& owner, Stream which) : stream(which), owner_(owner) {}
        const Stream stream;
        std::string held;  // bytes not yet on the console

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;  // writes what is held, up to a cut-off character

    private:
        ConsoleLines& owner_;
    };

    bool take(Buffer& to, std::string_view bytes);
    bool writeHeld(Buffer& from, std::size_t length);
    bool writeWhole(Buffer& from) { return writeHeld(from, wholeCharacters(from.held)); }
    Buffer& other(const Buffer& b) { return &b == &output_ ? error_ : output_; }

    Writer write_;
    std::mutex lock_;
    Buffer output_{*this, Stream::Output};
    Buffer error_{*this, Stream::Error};
};

}  // namespace vantor::platform
