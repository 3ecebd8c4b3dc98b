#include <gtest/gtest.h>

#include "ParticipantLabels.h"
#include "TrialTable.h"

// Ids name plot files and CSV rows: two folders' s01.txt must not overwrite each other's plots,
// and no participant may take the group's file names.
TEST(ParticipantLabels, DefaultIdsAreUniqueAndSafeAndClashesAreNoted) {
    const ParticipantLabels labels = LabelParticipants(
        {"a/s01.txt", "b/s01.txt", "group.txt", "x/my file,1.txt", "s01", ".txt", "c/s01.txt"},
        std::nullopt);
    const std::vector<std::string> expected = {"s01",   "s01_2", "group_2", "my_file_1",
                                               "s01_3", ".txt",  "s01_4"};
    EXPECT_EQ(labels.ids, expected);
    ASSERT_EQ(labels.notes.size(), 3u);
    EXPECT_EQ(labels.notes[0], "b/s01.txt is participant s01_2, not the same as a/s01.txt (s01)");
}

// The first group of the first match in the name without its folder; equal labels pool.
TEST(ParticipantLabels, PatternPicksTheFirstGroupOfTheFirstMatch) {
    const ParticipantLabels labels =
        LabelParticipants({"s07/sub7_run1.txt", "x/sub12_sub3.txt", "sub7_run2.txt", "notes.txt",
                           "sub_.txt", "subgroup.txt"},
                          std::string("sub(group|[0-9]+)"));
    const std::vector<std::string> expected = {"7", "12", "7", "", "", "group_2"};
    EXPECT_EQ(labels.ids, expected);
    EXPECT_TRUE(labels.notes.empty());
}

TEST(TrialTable, AsctimeToIsoWithoutTheLocale) {
    const std::pair<const char*, const char*> cases[] = {
        {"Sun Dec  6 22:17:43 2026", "2026-12-06T22:17:43"},
        {"Mon Jun 12 10:02:11 2000\r", "2000-06-12T10:02:11"},
        {"Mon Jun 12 10:02:11", ""},
        {"Mon Foo 12 10:02:11 2000", ""},
        {"Mon Jun 32 10:02:11 2000", ""},
        {"Mon Jun 12 10:02:11 2000 extra", ""},
    };
    for (const auto& [text, iso] : cases) EXPECT_EQ(IsoFromAsctime(text), iso) << text;
}

TEST(TrialTable, InvalidUtf8BytesBecomeReplacementCharacters) {
    EXPECT_EQ(ValidUtf8("s\xC3\xA9/\xE8\xA9\xA6.txt"), "s\xC3\xA9/\xE8\xA9\xA6.txt");
    // A Shift_JIS name, a lone continuation byte, an overlong slash and a surrogate.
    EXPECT_EQ(ValidUtf8("\x8E\x8E-\x80-\xC0\xAF-\xED\xA0\x80"),
              "\xEF\xBF\xBD\xEF\xBF\xBD-\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD-"
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}
