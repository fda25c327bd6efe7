#include <gtest/gtest.h>

#include "NTFSMemoryDevice.h"
#include "NTFSRecordBuilder.h"
#include "NTFSResidentStream.h"

using namespace harbex::test;

TEST(NTFSResidentStream, CopiesTheUnnamedResidentData) {
    for (uint32_t sectorSize : {512u, 4096u}) {
        SCOPED_TRACE(sectorSize);
        NTFSMemoryDevice device(64, sectorSize);
        const std::vector<uint8_t> text(100, 't');
        NTFSRecordBuilder file(sectorSize == 4096 ? 4096 : 1024);
        file.AddFileName(5, u"a.txt");
        file.AddResident(0x80, std::vector<uint8_t>(30, 's'), u"stream");  // named: skipped
        file.AddResident(0x80, text);
        device.Put(8, file.Finish());
        NTFSRecordBuilder far(1024);
        far.AddFileName(5, u"b.bin");
        far.AddNonResident(0x80, {0x11, 1, 0x20, 0}, 0, 0, 4096);
        device.Put(16, far.Finish());

        std::vector<uint8_t> buffer(200, 0);
        int64_t length = 0;
        ASSERT_TRUE(GetResidentDataRunsStream(8, device, &length, buffer.data(), 200));
        EXPECT_EQ(length, 100);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 100), text);
        EXPECT_FALSE(GetResidentDataRunsStream(8, device, &length, buffer.data(), 50));
        EXPECT_FALSE(GetResidentDataRunsStream(16, device, &length, buffer.data(), 200));
        EXPECT_FALSE(GetResidentDataRunsStream(63, device, &length, buffer.data(), 200));
    }
}
