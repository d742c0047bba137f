// Linux's odd files: a FIFO, a folder, a device (a link to /dev/zero) and a
// socket; a device and a file whose read fails as list files.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "odd_files.h"

namespace vantor::testing {

namespace fs = std::filesystem;

std::vector<OddFile> oddFiles() {
    return {
        {"FIFO", "it is a FIFO", "odd", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0666), 0); }},
        {"folder", "it is a folder", "odd", [](const fs::path& p) { fs::create_directories(p); }},
        {"device", "it is a device", "odd", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        {"socket", "it is a socket", "odd",
         [](const fs::path& p) {
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const std::string name = p.string();
             ASSERT_LT(name.size(), sizeof address.sun_path);
             std::copy(name.begin(), name.end(), address.sun_path);
             ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(s);
         }},
    };
}

std::vector<UnreadableFile> unreadableFiles(const fs::path&) {
    return {
        {"/dev/zero as a list file", "/dev/zero", "it is a device", nullptr, ""},
        {"a list file whose read fails", "/proc/self/mem", "Input/output error", nullptr, ""},
    };
}

}  // namespace vantor::testing
