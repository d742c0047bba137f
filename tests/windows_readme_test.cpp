// The guide that the Windows package opens with keeps up with the program:
// it names every option the usage names, and stays short enough to read
// through (the packaging script checks its line ends).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/options.h"
#include "harness.h"

using namespace vantor::testing;

TEST(WindowsReadme, NamesEveryOptionAndStaysShort) {
    if (kOnWindows) GTEST_SKIP() << "Windows under Wine: the Linux path of the source tree names nothing there";
    const std::string readme = slurp(fs::path(VANTOR_SOURCE_DIR) / "docs" / "README-Windows.txt");
    ASSERT_FALSE(readme.empty());
    std::istringstream usage(vantor::optionsUsage());
    for (std::string word; usage >> word;) {
        if (word.starts_with("--") && word.size() > 2) {
            EXPECT_NE(readme.find(word + " "), std::string::npos) << word;
        }
    }
    for (const std::string word : {"--help", "--explain", "--version"}) {
        EXPECT_NE(readme.find(word), std::string::npos) << word;
    }
    std::size_t lines = 0;
    for (const char c : readme) lines += c == '\n';
    EXPECT_LT(lines, 150u);
    EXPECT_EQ(readme.find('\r'), std::string::npos) << "kept with plain line ends; the package gets CR LF";
}
