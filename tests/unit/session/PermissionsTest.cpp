// Permission values of the permissions dialog: reading listing attribute
// texts, the octal field, the boxes of a mixed selection and what "Apply"
// changes.
#include "session/Permissions.h"

#include <gtest/gtest.h>

namespace {

using B = TPermissionBox;

TPermissionBoxes boxes(std::initializer_list<B> list)
{
    TPermissionBoxes b;
    std::copy(list.begin(), list.end(), b.begin());
    return b;
}

} // namespace

TEST(Permissions, AttributeTextsAreReadPositionByPositionInEitherCase)
{
    EXPECT_EQ(AttrTextToValue(u"-rwxr-xr-x"), 755);
    EXPECT_EQ(AttrTextToValue(u"drw-r--r--"), 644);
    EXPECT_EQ(AttrTextToValue(u"-RWXR-X---"), 750);
    EXPECT_EQ(AttrTextToValue(u"----------"), 0);
    // Positions past the end add nothing; the first character is the kind.
    EXPECT_EQ(AttrTextToValue(u"-rw"), 600);
    EXPECT_EQ(AttrTextToValue(u"r"), 0);
    EXPECT_EQ(AttrTextToValue(u""), 0);
    // A text that is no Unix attribute (a DOS listing) counts nothing.
    EXPECT_EQ(AttrTextToValue(u"<DIR>"), 0);
}

TEST(Permissions, SetuidSetgidAndStickyInLowerCaseKeepExecute)
{
    // A setuid 4755 file must not lose owner execute when its value is sent.
    EXPECT_EQ(AttrTextToValue(u"-rwsr-xr-x"), 755);
    EXPECT_EQ(AttrTextToValue(u"-rwxr-sr-x"), 755);
    EXPECT_EQ(AttrTextToValue(u"drwxrwxrwt"), 777);
    // Upper case: the special bit without execute.
    EXPECT_EQ(AttrTextToValue(u"-rwSr--r--"), 644);
    EXPECT_EQ(AttrTextToValue(u"-rw-r-Sr--"), 644);
    EXPECT_EQ(AttrTextToValue(u"drwxrwxrwT"), 776);
    // "s" and "t" mean nothing outside the execute positions.
    EXPECT_EQ(AttrTextToValue(u"-s--t-----"), 0);
}

TEST(Permissions, TheOctalFieldTakesOneToThreeOctalDigits)
{
    EXPECT_EQ(PermissionTextToValue("755"), 755);
    EXPECT_EQ(PermissionTextToValue(" 7 "), 7);
    EXPECT_EQ(PermissionTextToValue("044"), 44);
    EXPECT_EQ(PermissionTextToValue("0"), 0);
    for (const char* bad : {"", "  ", "8", "999", "1234", "-1", "+7", "7a", "0x7", "7 5"})
        EXPECT_EQ(PermissionTextToValue(bad), -1) << bad;
}

TEST(Permissions, BoxesFollowTheValueAndTheValueFollowsTheBoxes)
{
    EXPECT_EQ(PermissionBoxesOf(7), boxes({B::Unchecked, B::Unchecked, B::Unchecked, B::Unchecked, B::Unchecked,
                                           B::Unchecked, B::Checked, B::Checked, B::Checked}));
    EXPECT_EQ(PermissionBoxesOf(640), boxes({B::Checked, B::Checked, B::Unchecked, B::Checked, B::Unchecked,
                                             B::Unchecked, B::Unchecked, B::Unchecked, B::Unchecked}));
    for (int v : {0, 7, 44, 421, 640, 755, 777})
        EXPECT_EQ(PermissionValueOf(PermissionBoxesOf(v)), v);
    // A grey box counts as unchecked.
    EXPECT_EQ(PermissionValueOf(boxes({B::Checked, B::Checked, B::Mixed, B::Checked, B::Unchecked, B::Mixed,
                                       B::Checked, B::Unchecked, B::Mixed})),
              644);
}

TEST(Permissions, BoxesOfASelectionAreGreyWhereTheFilesDiffer)
{
    const TPermissionFiles two = {{"a", 755}, {"b", 644}};
    EXPECT_EQ(PermissionBoxesOf(two), boxes({B::Checked, B::Checked, B::Mixed, B::Checked, B::Unchecked, B::Mixed,
                                             B::Checked, B::Unchecked, B::Mixed}));
    // A box that is grey stays grey whatever later files say.
    const TPermissionFiles three = {{"a", 700}, {"b", 600}, {"c", 700}};
    EXPECT_EQ(PermissionBoxesOf(three)[2], B::Mixed);
    // The changed mark and other high bits do not count as permissions.
    EXPECT_EQ(PermissionBoxesOf(TPermissionFiles{{"a", 755 | kPermissionChanged}}), PermissionBoxesOf(755));
    EXPECT_EQ(PermissionBoxesOf(TPermissionFiles{}), PermissionBoxesOf(0));
}

TEST(Permissions, ApplyMarksOnlyTheFilesThatDiffer)
{
    TPermissionFiles files = {{"a", 755}, {"b", 644}, {"c", 0x2000 | 600}};
    ASSERT_TRUE(ChangeAttributes(files, "644", true));
    EXPECT_EQ(files[0].value, 644 | kPermissionChanged);
    EXPECT_EQ(files[1].value, 644);  // already 644: not marked
    EXPECT_EQ(files[2].value, 0x2000 | 644 | kPermissionChanged);  // high bits kept

    // Applying a value every file has already changes nothing.
    TPermissionFiles same = {{"a", 644}, {"b", 644}};
    EXPECT_FALSE(ChangeAttributes(same, "644", true));
    EXPECT_EQ(same[0].value, 644);
}

TEST(Permissions, ApplyWithoutAnEditOrWithABadValueChangesNothing)
{
    // Edit1 shows the first file's 755; a plain Apply must not make the
    // second file 755 too.
    TPermissionFiles files = {{"a", 755}, {"b", 644}};
    EXPECT_FALSE(ChangeAttributes(files, "755", false));
    for (const char* bad : {"999", "8", "", "1234", "7x"})
        EXPECT_FALSE(ChangeAttributes(files, bad, true)) << bad;
    EXPECT_EQ(files[0].value, 755);
    EXPECT_EQ(files[1].value, 644);
}
