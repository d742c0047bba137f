// The one pair of path helpers: UTF-8 names reach the file system as the
// names the user sees, and nothing the helpers are given makes them throw.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "platform/paths.h"

using namespace vantor;
using vantor::testing::TempDir;

TEST(PlatformPaths, NonAsciiNamesRoundTripThroughTheFileSystem) {
    TempDir dir;
    const std::string folder = platform::utf8Path(dir.path());
    for (const std::string name : {"plain.txt", "Bj\xC3\xB6rk.txt", "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE.txt",
                                   "\xE5\x9D\x82\xE6\x9C\xAC.txt", "\xF0\x9F\x8E\xB5 music.txt"}) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = platform::nativePath(folder + "/" + name);
        std::ofstream(path, std::ios::binary) << "x";
        ASSERT_TRUE(std::filesystem::exists(path));
        // The system lists the file under the very name it was given.
        bool listed = false;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            listed = listed || platform::utf8Path(entry.path().filename()) == name;
        }
        EXPECT_TRUE(listed);
        EXPECT_EQ(platform::utf8Path(path), folder + "/" + name);
        std::filesystem::remove(path);
    }
}

TEST(PlatformPaths, TextThatIsNoUtf8DoesNotThrow) {
    for (const std::string& text : {std::string(""), std::string("\xFF\xFE"), std::string("a\xC3"),
                                   std::string("\xED\xA0\x80"), std::string("a\0b", 3)}) {
        const std::filesystem::path path = platform::nativePath(text);
        const std::string back = platform::utf8Path(path);
        if (text.empty()) {
            EXPECT_TRUE(path.empty());
        }
        // Linux keeps the bytes; Windows has no name for them and writes U+FFFD.
        EXPECT_TRUE(back == text || back.find("\xEF\xBF\xBD") != std::string::npos) << back;
    }
}
