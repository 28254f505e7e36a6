// The request for huge pages is added to the C library's settings beside
// those the user gives, and a setting of its own by the user stands.
#include <gtest/gtest.h>

#include "platform/Memory.h"

namespace {

using ridgeforge::platform::TunablesAskingForHugePages;

TEST(HugePages, TheSettingIsAddedBesideTheUsersOwnAndAUsersChoiceStands) {
    EXPECT_EQ(TunablesAskingForHugePages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesAskingForHugePages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesAskingForHugePages("glibc.malloc.arena_max=2"),
              "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesAskingForHugePages("glibc.malloc.arena_max=2:glibc.malloc.tcache_count=0"),
              "glibc.malloc.arena_max=2:glibc.malloc.tcache_count=0:glibc.malloc.hugetlb=1");
    // Given already, first, last or between others, with any value: the
    // program does not start again (and so cannot start again for ever).
    EXPECT_FALSE(TunablesAskingForHugePages("glibc.malloc.hugetlb=1"));
    EXPECT_FALSE(TunablesAskingForHugePages("glibc.malloc.hugetlb=0"));
    EXPECT_FALSE(TunablesAskingForHugePages("glibc.malloc.hugetlb=0:glibc.malloc.arena_max=2"));
    EXPECT_FALSE(TunablesAskingForHugePages("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2"));
    EXPECT_FALSE(TunablesAskingForHugePages("a=1:glibc.malloc.hugetlb=0:b=2"));
    // A name that only begins or ends like it is another setting.
    EXPECT_EQ(TunablesAskingForHugePages("glibc.malloc.hugetlbx=1"), "glibc.malloc.hugetlbx=1:glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesAskingForHugePages("xglibc.malloc.hugetlb=1"), "xglibc.malloc.hugetlb=1:glibc.malloc.hugetlb=1");
}

}  // namespace
