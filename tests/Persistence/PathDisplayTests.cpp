#include "Model/PathDisplay.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(AbbreviatedHomePath, ShowsTheHomeFolderAsTilde) {
    struct Case {
        const char* path;
        const char* home;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"/Users/a", "/Users/a", "~"},
        {"/Users/a/Music/x.vst3", "/Users/a", "~/Music/x.vst3"},
        {"/Users/ab/x", "/Users/a", "/Users/ab/x"},
        {"/Library/x", "/Users/a", "/Library/x"},
        {"/Users/a/Music/../x", "/Users/a", "~/x"},
        {"/Users/a/./Music//x.vst3/", "/Users/a", "~/Music/x.vst3"},
        {"/Users/a/Music", "/Users/a/", "~/Music"},
        {"/Users/a/", "/Users/a", "~"},
        {"/Users/a/..", "/Users/a", "/Users"},
        {"/Users/A/x", "/Users/a", "/Users/A/x"},
        {"/Users/e\xCC\x81/x", "/Users/\xC3\xA9", "~/x"},
        // The text after "~" keeps the path's own spelling, which may name another file.
        {"/Users/a/Cafe\xCC\x81.vst3", "/Users/a", "~/Cafe\xCC\x81.vst3"},
        {"/Users/\xC3\xA9/Cafe\xCC\x81/../a\xCC\x81", "/Users/e\xCC\x81", "~/a\xCC\x81"},
        {"/", "/", "~"},
        {"/x", "/", "/x"},
        // No home folder: nothing is beneath it.
        {"/Users/a/x", "", "/Users/a/x"},
        {"/", "", "/"},
    };
    for (const Case& testCase : cases)
        EXPECT_EQ(abbreviatedHomePath(QString::fromUtf8(testCase.path), QString::fromUtf8(testCase.home)),
                  QString::fromUtf8(testCase.expected))
            << testCase.path << " with home " << testCase.home;
}

} // namespace
} // namespace quorvane
