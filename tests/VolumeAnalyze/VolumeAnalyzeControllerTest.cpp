#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VolumeAnalyze.h"

namespace {

// Records who was asked and who was destroyed.
struct Journal {
    std::vector<std::string> asked;
    std::vector<std::string> destroyed;
};

class FakeAnalyzer : public IVolumeAnalyze {
public:
    FakeAnalyzer(std::string name, enumFILE_SYSTEM_TYPE type, Journal& journal)
        : name_(std::move(name)), type_(type), journal_(journal) {}
    ~FakeAnalyzer() override { journal_.destroyed.push_back(name_); }
    enumFILE_SYSTEM_TYPE GetFileSystemType() override { return type_; }
    unsigned long long GetTotalSector() override { return 0; }
    void GetLabel(char* buffer, int size) override { snprintf(buffer, size, "%s", name_.c_str()); }

private:
    std::string name_;
    enumFILE_SYSTEM_TYPE type_;
    Journal& journal_;
};

// A factory that answers an analyser of `type`, or none when `type` is null.
VolumeAnalyzeFactory Fake(const std::string& name, const enumFILE_SYSTEM_TYPE* type,
                          Journal& journal) {
    return [=, &journal](IStorageDevice*, unsigned long long start) -> IVolumeAnalyze* {
        journal.asked.push_back(name + "@" + std::to_string(start));
        return type != nullptr ? new FakeAnalyzer(name, *type, journal) : nullptr;
    };
}

const enumFILE_SYSTEM_TYPE kFat32 = FILE_SYSTEM_FAT32;
const enumFILE_SYSTEM_TYPE kExfat = FILE_SYSTEM_EXFAT;
const enumFILE_SYSTEM_TYPE kNtfs = FILE_SYSTEM_NTFS;
const enumFILE_SYSTEM_TYPE kUnknown = FILE_SYSTEM_UNKNOWN;

TEST(VolumeAnalyzeControllerTest, FirstAnalyserThatRecognisesTheVolumeWins) {
    struct Case {
        const char* name;
        const enumFILE_SYSTEM_TYPE* answers[3];
        const char* winner;  // null: not recognised
    } cases[] = {
        {"FAT before the others", {&kFat32, &kExfat, &kNtfs}, "fat"},
        {"unknown FAT, no exFAT", {&kUnknown, nullptr, &kNtfs}, "ntfs"},
        {"exFAT before NTFS", {&kUnknown, &kExfat, &kNtfs}, "exfat"},
        {"nobody", {&kUnknown, nullptr, &kUnknown}, nullptr},
        {"no analyser at all", {nullptr, nullptr, nullptr}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        const std::vector<VolumeAnalyzeFactory> factories = {Fake("fat", c.answers[0], journal),
                                                             Fake("exfat", c.answers[1], journal),
                                                             Fake("ntfs", c.answers[2], journal)};
        std::unique_ptr<IVolumeAnalyzeController> controller(
            CreateVolumeAnalyzeController(nullptr, 63, factories));
        // Every factory is asked, in order, whoever wins.
        EXPECT_EQ(journal.asked, (std::vector<std::string>{"fat@63", "exfat@63", "ntfs@63"}));
        IVolumeAnalyze* analyzer = controller->GetVolumeAnzlyzer();
        if (c.winner == nullptr) {
            EXPECT_EQ(analyzer, nullptr);
            continue;
        }
        ASSERT_NE(analyzer, nullptr);
        char label[100];
        analyzer->GetLabel(label, sizeof(label));
        EXPECT_STREQ(label, c.winner);
    }
}

TEST(VolumeAnalyzeControllerTest, DestroyingTheControllerReleasesEveryAnalyser) {
    Journal journal;
    const std::vector<VolumeAnalyzeFactory> factories = {
        Fake("fat", &kUnknown, journal), Fake("exfat", nullptr, journal),
        Fake("ntfs", &kNtfs, journal), Fake("hfs", &kUnknown, journal)};
    delete CreateVolumeAnalyzeController(nullptr, 0, factories);
    EXPECT_EQ(journal.destroyed, (std::vector<std::string>{"fat", "ntfs", "hfs"}));
}

TEST(VolumeAnalyzeControllerTest, InstalledFactoriesStandInUntilTheirScopeEnds) {
    Journal journal;
    ScopedVolumeAnalyzeFactories outer({Fake("ntfs", &kNtfs, journal)});
    {
        ScopedVolumeAnalyzeFactories inner({Fake("fat", &kUnknown, journal)});
        std::unique_ptr<IVolumeAnalyzeController> controller(
            CreateVolumeAnalyzeController(nullptr, 2048));
        EXPECT_EQ(controller->GetVolumeAnzlyzer(), nullptr);
    }
    std::unique_ptr<IVolumeAnalyzeController> controller(
        CreateVolumeAnalyzeController(nullptr, 4096));
    ASSERT_NE(controller->GetVolumeAnzlyzer(), nullptr);
    EXPECT_EQ(controller->GetVolumeAnzlyzer()->GetFileSystemType(), FILE_SYSTEM_NTFS);
    EXPECT_EQ(journal.asked, (std::vector<std::string>{"fat@2048", "ntfs@4096"}));
}

}  // namespace
