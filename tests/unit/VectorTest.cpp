#include <gtest/gtest.h>

#include <vector>

#include "report/ScanResult.h"
#include "report/Vector.h"
#include "tests/unit/AllocationCounter.h"

namespace {

struct CTracked {
    explicit CTracked(int* deletions) : deletions(deletions) {}
    ~CTracked() { ++*deletions; }
    int* deletions;
};

TEST(Vector, GrowsToTwiceTheNeededCountButAtLeastSixteen)
{
    CVector<int, SValue, int> vector;
    EXPECT_EQ(vector.GetCapacity(), 0);
    std::vector<int> capacities;
    for (int i = 0; i < 143; ++i) {
        const int before = vector.GetCapacity();
        vector.Add(i);
        if (vector.GetCapacity() != before) capacities.push_back(vector.GetCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{16, 34, 70, 142, 286}));
    ASSERT_EQ(vector.GetCount(), 143);
    for (int i = 0; i < 143; ++i) EXPECT_EQ(vector[i], i);
}

TEST(Vector, DeletesEachOwnedElementOnceAndSkipsNulls)
{
    int deletions = 0;
    {
        CVector<CTracked*, SOwnedPtr, CTracked*> vector;
        for (int i = 0; i < 20; ++i) vector.Add(i % 3 == 0 ? nullptr : new CTracked(&deletions));
        EXPECT_EQ(deletions, 0);
    }
    EXPECT_EQ(deletions, 13);
}

TEST(Vector, AnEmptyVectorAllocatesAndFreesNothing)
{
    CAllocationCounter counter;
    { CVector<CShellInfo*, SOwnedPtr, CShellInfo*> vector; }
    EXPECT_EQ(counter.Allocations(), 0);
    EXPECT_EQ(counter.Frees(), 0);
}

TEST(Vector, ReleasesItsArrayAndElements)
{
    CAllocationCounter counter;
    {
        CVector<CShellInfo*, SOwnedPtr, CShellInfo*> vector;
        for (int i = 0; i < 40; ++i) vector.Add(new CShellInfo);
    }
    EXPECT_GT(counter.Allocations(), 40);
    EXPECT_EQ(counter.Live(), 0);
}

TEST(ScanResult, StartsEmptyWithCategoryMinusOne)
{
    const CScanResult result;
    EXPECT_EQ(result.id, 0);
    EXPECT_TRUE(result.name.empty() && result.vendor.empty() && result.product.empty());
    EXPECT_TRUE(result.version.empty() && result.error.empty());
    EXPECT_EQ(result.numInputs + result.numOutputs, 0);
    EXPECT_FALSE(result.wantsMidi || result.sendsMidi || result.audio64 || result.synthEdit);
    EXPECT_EQ(result.category, -1);
    EXPECT_EQ(result.shells.GetCount(), 0);
    EXPECT_EQ(result.shells.GetCapacity(), 0);
}

}  // namespace
