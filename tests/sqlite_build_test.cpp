// The SQLite the program is linked with behaves as Debian's library: on
// Linux it is that library; the Windows build compiles the amalgamation from
// Debian's source package with the options of its debian/rules, and this
// shows that it got them all.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <sstream>
#include <string>

namespace {

// The compiler's name and the mutex kind (pthreads, Win32) belong to the platform.
bool platformBound(const std::string& option) {
    return option.starts_with("COMPILER=") || option.starts_with("MUTEX_");
}

std::set<std::string> withoutPlatformBound(std::set<std::string> options) {
    std::erase_if(options, platformBound);
    return options;
}

}  // namespace

TEST(SqliteBuild, CompileOptionsAreDebiansLibrarys) {
    std::set<std::string> linked;
    for (int i = 0; const char* option = sqlite3_compileoption_get(i); ++i) linked.insert(option);
    std::set<std::string> debian;
    std::istringstream list(VANTOR_DEBIAN_SQLITE_OPTIONS);
    for (std::string option; std::getline(list, option, ',');) debian.insert(option);

    ASSERT_GT(debian.size(), 20u) << "the reference list is missing: " << VANTOR_DEBIAN_SQLITE_OPTIONS;
    EXPECT_EQ(withoutPlatformBound(linked), withoutPlatformBound(debian));
    EXPECT_STREQ(sqlite3_libversion(), VANTOR_DEBIAN_SQLITE_VERSION);
}
