#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <thread>

#include "DiskVolumeNodeData.h"
#include "FakeFacade.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvUIDeviceData.h"

namespace {

// Names the centre posts while it lives.
struct PostLog {
    PostLog() {
        QObject::connect(KvNotificationCenter::defaultCenter(), &KvNotificationCenter::notified,
                         &context,
                         [this](const QString& name, const QVariant&) { names.push_back(name); });
    }
    int count(const QString& name) const {
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }
    QObject context;
    std::vector<QString> names;
};

void Deliver() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

TEST(FakeFacadeTest, InstallsItselfAndGivesTheBridgeBack) {
    KvUIFacade* bridge = &KvUIFacade::current();
    {
        FakeFacade fake;
        EXPECT_EQ(&KvUIFacade::current(), &fake);
    }
    EXPECT_EQ(&KvUIFacade::current(), bridge);
}

TEST(FakeFacadeTest, DeviceListIsAppendedAndTheReadyNoticePosted) {
    FakeFacade fake;
    auto disk = FakeFacade::MakeDevice("USB Disk", 16'000'000'000, 0, -1, -1);
    disk->setSubNode({FakeFacade::MakeDevice("DATA", 15'000'000'000, 0, 0, 2)});
    fake.devices = {disk};
    DiskVolumeNodeList list{FakeFacade::MakeDevice("Kept", 1, 9, -1, -1)};
    PostLog log;
    KvUIFacade::current().GetDeviceInfoToArray(&list);
    KvUIFacade::current().NotifiyDeviceInfoAfterInit(kvnote::kInitFinished);
    Deliver();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]->childAtIndex(0)->name(), "DATA");
    EXPECT_EQ(log.count(kvnote::kInitFinished), 1);
}

TEST(FakeFacadeTest, ScanRevealsTheTreeFolderByFolder) {
    FakeFacade fake;
    fake.tree = std::make_shared<SyntheticTree>(1000, 100);
    OpNodeArray path, type, created, modified;
    KvTreeRoots roots{&path, &type, &created, &modified};
    KvUIFacade& facade = KvUIFacade::current();
    facade.KvSetTreeNodeData(&roots);
    PostLog log;

    ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 1));
    EXPECT_FALSE(facade.DoScanWithDiskIndex(0, 1)) << "one scan at a time";
    fake.advanceScan(25);
    Deliver();
    facade.KvGetTreeNodeData(0);
    double percent = 0;
    uint64_t files = 0;
    EXPECT_EQ(facade.GetScanProgress(percent, files), fake.remainingTime);
    EXPECT_EQ(percent, 25);
    EXPECT_EQ(files, 300u);  // three of ten folders
    ASSERT_EQ(path.size(), 1u);
    EXPECT_EQ(path[0]->childRows().size(), 3u);

    facade.PauseOrResumeScan();
    EXPECT_TRUE(facade.IsPause());
    facade.PauseOrResumeScan();
    fake.finishScan();
    Deliver();
    facade.KvGetTreeNodeData(1);
    EXPECT_FALSE(facade.IsScanRunning());
    EXPECT_EQ(path[0]->childRows().size(), 10u);
    EXPECT_EQ(facade.GetNodeChildrenCnt(path[0].get()), 1000u);
    uint64_t size = 0;
    facade.GetScanFileSize(size, files);
    EXPECT_EQ(size, fake.tree->totalSize());
    EXPECT_EQ(log.count(kvnote::kNormalScanValue), 2);
}

TEST(FakeFacadeTest, SearchLeavesMatchingFilesShownAndRefusesASecond) {
    FakeFacade fake;
    fake.tree = std::make_shared<SyntheticTree>(70, 10);
    PostLog log;
    KvUIFacade& facade = KvUIFacade::current();
    ASSERT_TRUE(facade.DoSearchWithString(".MP3", kvnote::kDoSearchValue));
    EXPECT_FALSE(facade.DoSearchWithString("x", kvnote::kDoSearchValue));
    Deliver();
    std::vector<IFileNode*> hits;
    facade.GetSearchResultToArr(&hits);
    EXPECT_EQ(hits.size(), 10u);  // one file in seven is an mp3
    EXPECT_EQ(log.count(kvnote::kDoSearchFinished), 1);
    facade.StopSearch();
    EXPECT_TRUE(facade.DoSearchWithString("x", kvnote::kDoSearchValue));
}

TEST(FakeFacadeTest, SaveAndLoadReportProgressAndTheirEnd) {
    struct Case {
        bool save;
        uint64_t error;
        uint64_t expectedCurrent;
    };
    for (const Case& c : {Case{true, 0, 80}, Case{false, 0, 80}, Case{false, 8, 30}}) {
        FakeFacade fake;
        PostLog log;
        KvUIFacade& facade = KvUIFacade::current();
        facade.beginSaveOrRestoreNode(c.save ? 1 : 0, "/tmp/result.Harbex", {});
        facade.RestorPostUIUpdate(kvnote::kQueryProgressInfo, c.save);
        fake.advanceSaveOrLoad(30, 80);
        fake.finishSaveOrLoad(c.error);
        Deliver();
        uint64_t total = 0, current = 0, error = 0;
        facade.GetSaveorRestoreProgress(total, current, error, c.save);
        EXPECT_EQ(total, 80u);
        EXPECT_EQ(current, c.expectedCurrent);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(log.count(kvnote::kQueryProgressFinish), 1);
        EXPECT_EQ(c.save ? fake.savePath : fake.loadPath, "/tmp/result.Harbex");
    }
}

TEST(FakeFacadeTest, RecoveryProgressCarriesFileNamesAndErrorCodes) {
    FakeFacade fake;
    fake.recoveryTotal = 300;
    PostLog log;
    KvUIFacade& facade = KvUIFacade::current();
    ASSERT_EQ(facade.DoRecovery({}, "/tmp/out", kvnote::kDoRecovery), 0);
    fake.advanceRecovery(100, "a.jpg");
    fake.advanceRecovery(200, "b.jpg", 3331);
    uint64_t total = 0, current = 0;
    int64_t error = 0;
    EXPECT_EQ(facade.GetRecoveryProgressTotal(total, current, error), "b.jpg");
    EXPECT_EQ(current, 200u);
    EXPECT_EQ(error, 3331);
    EXPECT_TRUE(facade.IsRecoveryRunning());
    facade.PauseOrResumeRecovery();  // the user resumes once space is made
    fake.finishRecovery();
    Deliver();
    facade.GetRecoveryProgressTotal(total, current, error);
    EXPECT_EQ(current, 300u);
    EXPECT_FALSE(facade.IsRecoveryRunning());
    EXPECT_EQ(facade.GetRecoveridedFiles(), 2u);
    EXPECT_GE(log.count(kvnote::kDoRecovery), 1);

    fake.recoveryStartCode = 0x0102052500000003;
    EXPECT_EQ(facade.DoRecovery({}, "/tmp/out", kvnote::kDoRecovery), fake.recoveryStartCode);
}

TEST(FakeFacadeTest, SlowPreviewsTakeTheirTimeOnAnyThread) {
    FakeFacade fake;
    SyntheticTree tree(1);
    fake.thumbnailDelayMs = 50;
    QImage image;
    QElapsedTimer timer;
    timer.start();
    std::thread worker([&] { image = KvUIFacade::current().GetImageByFileNode(tree.files()[0]); });
    worker.join();
    EXPECT_GE(timer.elapsed(), 50);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(fake.thumbnailCount, 1);
}

}  // namespace
