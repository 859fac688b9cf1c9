// The shortcut commands as the dispatcher runs them from script lines.

#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "platform/folders.h"
#include "support/platform_rig.h"

namespace veldan::commands {
namespace {

using platform::Context;

const std::string kFav = "C:\\Documents and Settings\\Owner\\Favorites";
const std::string kCmnFav = "C:\\Documents and Settings\\All Users\\Favorites";

TEST(ShortcutCommands, FavDirScansAndCuresTheNamedFavouritesSubFolder) {
    test::PlatformRig rig;
    rig.image.File(kFav + "\\Sponsored Links\\a.url",
                   "[InternetShortcut]\r\nURL=http://ads.example/\r\n");
    rig.image.File(kCmnFav + "\\Sponsored Links\\b.url",
                   "[InternetShortcut]\r\nURL=http://ADS.example/\r\n");
    rig.image.File(kFav + "\\c.url", "[InternetShortcut]\r\nURL=http://ads.example/\r\n");
    Context& ctx = rig.Load();
    platform::InitFolderTable(ctx);
    ASSERT_TRUE(engine::HasHandler("FavDir"));

    const std::string line = "FavDir \"Sponsored Links\" ads.example ";
    EXPECT_EQ(engine::RunScriptLine(ctx, line, Mode::Scan), 1);
    ASSERT_EQ(ctx.report().found().Count(), 2);
    EXPECT_EQ(ctx.report().found().At(0).text, kFav + "\\Sponsored Links\\a.url");
    EXPECT_EQ(ctx.report().found().At(1).text, kCmnFav + "\\Sponsored Links\\b.url");
    EXPECT_EQ(engine::ExecFunc(ctx, "FavDir", {"Sponsored Links", "other.example"}, Mode::Scan), 0);

    EXPECT_EQ(engine::RunScriptLine(ctx, line, Mode::Cure), 1);
    std::uint32_t attributes = 0;
    EXPECT_EQ(ctx.files().GetAttributes(kFav + "\\Sponsored Links", attributes),
              machine::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ctx.files().GetAttributes(kCmnFav + "\\Sponsored Links", attributes),
              machine::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ctx.files().GetAttributes(kFav + "\\c.url", attributes), machine::ERROR_SUCCESS);
    EXPECT_EQ(ctx.report().failed().Count(), 0);
    EXPECT_EQ(rig.debug.Text(), "");
}

}  // namespace
}  // namespace veldan::commands
