#include "host/c_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace veldan::host {
namespace {

struct Thing {
    int id = 0;
};

std::vector<int> freed;

void FreeThing(Thing* thing) {
    freed.push_back(thing->id);
    delete thing;
}

using ThingHandle = CHandle<Thing, FreeThing>;

TEST(CHandleTest, FreesItsObjectOnceWithTheLibraryFunction) {
    freed.clear();
    {
        ThingHandle a(new Thing{1});
        ThingHandle b(new Thing{2});
        a.reset(new Thing{3});  // the first object goes at once
        EXPECT_EQ(freed, (std::vector<int>{1}));
        ThingHandle moved = std::move(b);
        EXPECT_EQ(freed, (std::vector<int>{1}));
    }
    EXPECT_EQ(freed, (std::vector<int>{1, 2, 3}));
}

TEST(CHandleTest, ReleasedOrEmptyHandlesFreeNothing) {
    freed.clear();
    Thing* kept = nullptr;
    {
        ThingHandle empty;
        ThingHandle given(new Thing{4});
        kept = given.release();
    }
    EXPECT_TRUE(freed.empty());
    FreeThing(kept);
    EXPECT_EQ(freed, (std::vector<int>{4}));
}

}  // namespace
}  // namespace veldan::host
