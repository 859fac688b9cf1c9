// The drive path an item ID list names, as the shell derives it.

#include <gtest/gtest.h>

#include "machine/folder/lnk_id_list.h"
#include "support/lnk_parts.h"
#include "text/codepage.h"

namespace veldan::machine::image::lnk {
namespace {

namespace parts = test::lnk;

// The IDList bytes of `list` (a LinkTargetIDList), without its size.
std::string Items(const std::string& list) {
    return list.substr(2);
}

TEST(LnkIdListTest, DriveFoldersAndFileJoinedWithBackslashes) {
    std::string path;
    ASSERT_TRUE(IdListPath(Items(parts::IdList({parts::MyComputerItem(), parts::DriveItem("C:\\"),
                                                parts::FileItem("WINDOWS", "", true),
                                                parts::FileItem("NOTEPAD.EXE", "", false)})),
                           path));
    EXPECT_EQ(path, "C:\\WINDOWS\\NOTEPAD.EXE");

    ASSERT_TRUE(IdListPath(
        Items(parts::IdList({parts::MyComputerItem(), parts::DriveItem("d:\\")})), path));
    EXPECT_EQ(path, "D:\\");
}

TEST(LnkIdListTest, LongNamesOfEveryExtensionVersionWinOverShortNames) {
    for (int version : {3, 7, 8, 9}) {
        SCOPED_TRACE(version);
        std::string path;
        ASSERT_TRUE(IdListPath(
            Items(parts::IdList({parts::MyComputerItem(), parts::DriveItem("C:\\"),
                                 parts::FileItem("PROGRA~1", "Program Files", true, version),
                                 parts::FileItem("~1.EXE", "광고 도우미.exe", false, version)})),
            path));
        EXPECT_EQ(path, "C:\\Program Files\\광고 도우미.exe");
    }
}

TEST(LnkIdListTest, KoreanShortNamesInCp949) {
    std::string path;
    ASSERT_TRUE(IdListPath(Items(parts::IdList({parts::MyComputerItem(), parts::DriveItem("C:\\"),
                                                parts::FileItem("바탕 화면", "", true),
                                                parts::FileItem("악성.exe", "", false)})),
                           path));
    EXPECT_EQ(path, "C:\\바탕 화면\\악성.exe");
}

TEST(LnkIdListTest, OtherShapesAndDamagedListsNameNoPath) {
    const std::string root = parts::MyComputerItem();
    const std::string drive = parts::DriveItem("C:\\");
    const std::string file = parts::FileItem("A.EXE", "", false);
    // A file item whose primary name runs to the end of the item.
    const std::string unterminated =
        parts::Le16(20) + std::string("\x32\x00", 2) + std::string(10, '\0') + "AAAAAA";
    const std::string lists[] = {
        Items(parts::IdList({})),
        Items(parts::IdList({root})),                             // My Computer alone
        Items(parts::IdList({drive, file})),                      // no root
        Items(parts::IdList({parts::OtherItem(), drive, file})),  // another root
        Items(parts::IdList({root, parts::OtherItem(), file})),
        Items(parts::IdList({root, parts::DriveItem("\\\\srv"), file})),
        Items(parts::IdList({root, drive, parts::OtherItem()})),
        Items(parts::IdList({root, drive, unterminated})),
        Items(parts::IdList({root, drive, file})).substr(0, 40),  // an item runs past the list
        std::string("\x01\x00\x00\x00", 4),                       // an item shorter than its size
        std::string("\xFF\xFF", 2),
    };
    for (const std::string& list : lists) {
        std::string path = "untouched";
        EXPECT_FALSE(IdListPath(list, path));
        EXPECT_EQ(path, "untouched");
    }
}

}  // namespace
}  // namespace veldan::machine::image::lnk
