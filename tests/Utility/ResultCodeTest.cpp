#include <gtest/gtest.h>

#include "ResultCode.h"

TEST(ResultCode, PacksFailureModuleLineAndKind) {
    constexpr RESULT_CODE code = MakeFailure(kModuleRecoveryController, 0x57, kResultNoSearcher);
    EXPECT_EQ(code, 0x104005700000402ull);
    EXPECT_TRUE(IsFailure(code));
    EXPECT_EQ(ResultModuleOf(0x104005700000401ull), kModuleRecoveryController);
    EXPECT_EQ(ResultLineOf(0x104005700000401ull), 0x57);
    EXPECT_EQ(ResultKindOf(0x104005700000401ull), kResultFileSystemNotSupported);
}

TEST(ResultCode, OnlyTheTopByteDecidesFailure) {
    EXPECT_TRUE(IsSuccess(kResultSuccess));
    EXPECT_TRUE(IsSuccess(0x00FFFFFFFFFFFFFFull));
    EXPECT_TRUE(IsFailure(0x0100000000000000ull));
}
