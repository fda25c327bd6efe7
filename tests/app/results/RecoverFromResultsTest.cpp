#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Alert.h"
#include "CommOutlineModel.h"
#include "EventWait.h"
#include "FileListModel.h"
#include "FileNode.h"
#include "ImageScan.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvProgressWindow.h"
#include "KvPublicUtilities.h"
#include "KvRootWindowController.h"
#include "KvScanEndSaveWindowController.h"
#include "KvShowScanProgressWindowController.h"
#include "KvUIFacade.h"
#include "KvUIScan.h"
#include "ModalRunner.h"
#include "SavePanel.h"
#include "TCImageButton.h"
#include "TestSupport.h"
#include "Tr.h"

namespace {

namespace fs = std::filesystem;
using imagescan::ManifestFile;

// Three live files of the image: a name outside ASCII in the volume's
// root, one in a folder and one three folders down.
const std::vector<std::string> kChosenFiles = {
    "/Ünïcödé 名前.txt",
    "/Photos/PIC1.JPG",
    "/Docs/Nested/Deep/NOTE.TXT",
};

constexpr int kRecoveryTimeoutMs = 60000;


// Every file copied below `folder`, by its path inside it.
std::map<std::string, fs::path> CopiedFiles(const fs::path& folder) {
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.emplace("/" + entry.path().lexically_relative(folder).string(), entry.path());
    }
    return files;
}

// The copy of the image's file `path` among `copied`: the recovery puts the
// volume's tree below folders of its own.
const fs::path* CopyOf(const std::map<std::string, fs::path>& copied, const std::string& path) {
    const fs::path* found = nullptr;
    for (const auto& [inside, file] : copied) {
        if (inside.size() >= path.size() &&
            inside.compare(inside.size() - path.size(), path.size(), path) == 0) {
            EXPECT_EQ(found, nullptr) << "two copies of " << path;
            found = &file;
        }
    }
    return found;
}

// The row of the path tree for the folder of `path` (the volume's row for
// a file in its root), as the tree shows it.
OpNodeData* FolderRow(KvDeletailWindowController& results, const std::string& path) {
    for (const OpNodeRef& volume : results.allDiskArr) {
        OpNodeData* row = volume.get();
        size_t from = 1;
        for (size_t slash = path.find('/', from); row != nullptr && slash != std::string::npos;
             from = slash + 1, slash = path.find('/', from)) {
            const QString name = QString::fromStdString(path.substr(from, slash - from));
            OpNodeData* next = nullptr;
            for (const OpNodeRef& child : row->childRows())
                if (child->name() == name)
                    next = child.get();
            row = next;
        }
        if (row != nullptr)
            return row;
    }
    return nullptr;
}

// Checks the file at `path` as a user does: chooses its folder in the path
// tree, then clicks the check box of its row in the list.
void CheckFile(KvDeletailWindowController& results, const std::string& path) {
    SCOPED_TRACE(path);
    OpNodeData* folder = FolderRow(results, path);
    ASSERT_NE(folder, nullptr);
    CommOutlineView* tree = results.pathOutlineView;
    const QModelIndex folderIndex = static_cast<CommOutlineModel*>(tree->model())->indexOf(folder);
    ASSERT_TRUE(folderIndex.isValid());
    tree->selectionModel()->setCurrentIndex(folderIndex, QItemSelectionModel::ClearAndSelect);

    const QString name = QString::fromStdString(path.substr(path.rfind('/') + 1));
    int row = -1;
    for (size_t i = 0; i < results.arrList.size(); ++i)
        if (OpNodeData::fileNodeName(results.arrList[i]) == name)
            row = static_cast<int>(i);
    ASSERT_GE(row, 0) << "not listed";
    KvNSTableView* table = results.tableView;
    const QModelIndex box = table->model()->index(row, FileListModel::kCheckBox);
    table->scrollTo(box);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(box).center());
    EXPECT_EQ(results.arrList[static_cast<size_t>(row)]->GetCheckedStatus(), CHECK_STATUS_CHECKED);
}

class RecoverFromResultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harbex::test::DecompressXz(harbex::test::FixturePath("dmg/fat16_udif.dmg.xz"), image))
            GTEST_SKIP() << "the disk-image fixture is missing";
        manifest = imagescan::ReadManifest(harbex::test::FixturePath("fat/fat16_512.manifest"));
        ASSERT_FALSE(manifest.empty());
        Alert::setAnswerer([this](const Alert& alert) {
            alerts.push_back(alert.message);
            return 1;
        });
        windows.makeResultsWindow = [this] {
            auto window = std::make_unique<KvDeletailWindowController>();
            results = window.get();
            ++resultsWindowsMade;
            return window;
        };
        windows.chooseSavedResult = [this](QWidget*, const QString&) { return savedResult; };
        windows.runLoadWait = RunLoadWait;
        root = std::make_unique<KvRootWindowController>(windows);
        KvDeletailWindowController::setShellWindows(windows);
    }
    void TearDown() override {
        delete home;
        root.reset();
        KvDeletailWindowController::setShellWindows({});
        Alert::setAnswerer({});
        SavePanel::setAnswerer({});
        // The found files go before the image they were read from.
        WaitFor([] { return false; }, 500);
        KvUIScan::instance()->ForgetResults();
    }

    // The main window a results window opened on its way home, once it
    // takes input.
    KvRootWindowController* NewMainWindow() const {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* main = qobject_cast<KvRootWindowController*>(window);
            if (main != nullptr && main != root.get() && main->isVisible() && main->isEnabled())
                return main;
        }
        return nullptr;
    }

    // Recovers the checked files into `folder` through the Recover button,
    // the folder chooser and the finished window.
    void RecoverInto(const fs::path& folder) {
        const QString path = QString::fromStdString(folder.string());
        // The end windows run modally, inside whatever the test waits in.
        int finishedWindows = 0;
        QTimer answerer;
        answerer.setInterval(5);
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            KvScanEndSaveWindowController* finished = results->scanEndSaveWC;
            if (finished == nullptr || !ModalRunner::isRunning(finished))
                return;
            ++finishedWindows;
            EXPECT_EQ(finished->savePathStr(), path);
            finished->okButtonAction();
        });
        answerer.start();

        ASSERT_TRUE(results->recovertyButton->isDisabled() /* usable */);
        QTest::mouseClick(results->recovertyButton, Qt::LeftButton);
        ASSERT_TRUE(results->panel);
        QFileDialog* chooser = results->panel;
        chooser->setDirectory(path);
        chooser->selectFile(path);
        static_cast<QDialog*>(chooser)->accept();
        EXPECT_EQ(results->recoverySavePathStr, path);
        ASSERT_TRUE(WaitFor(
            [&] {
                return finishedWindows > 0 && ModalRunner::depth() == 0 &&
                       !KvUIFacade::current().IsRecoveryRunning();
            },
            kRecoveryTimeoutMs));
        EXPECT_EQ(finishedWindows, 1);
        EXPECT_TRUE(alerts.empty()) << alerts.front().toStdString();
        EXPECT_FALSE(results->recoveryProgressWindow);
    }

    // Checks the chosen files in the results window; the selection label
    // counts them.
    void CheckChosenFiles() {
        uint64_t chosenSize = 0;
        for (const std::string& path : kChosenFiles) {
            CheckFile(*results, path);
            chosenSize += manifest.at(path).size;
        }
        EXPECT_EQ(results->selectedFileCnt, 3);
        EXPECT_EQ(results->selectedFileSize, chosenSize);
        EXPECT_EQ(results->selectFilesLabel->text(),
                  Tr("QOV_FOUR_SELECT_FILES",
                     KvPublicUtilities::longlongConvertVolSpace(static_cast<int64_t>(chosenSize)),
                     QStringLiteral("3")));
    }

    // The bytes of the chosen files copied below `folder`, which holds
    // nothing else.
    std::map<std::string, std::string> ExpectChosenFilesIn(const fs::path& folder) {
        const std::map<std::string, fs::path> copied = CopiedFiles(folder);
        EXPECT_EQ(copied.size(), kChosenFiles.size()) << "unchecked files were copied";
        std::map<std::string, std::string> hashes;
        for (const std::string& path : kChosenFiles) {
            SCOPED_TRACE(path);
            const fs::path* copy = CopyOf(copied, path);
            if (copy == nullptr) {
                ADD_FAILURE() << "not recovered";
                continue;
            }
            EXPECT_EQ(fs::file_size(*copy), manifest.at(path).size);
            hashes[path] = harbex::test::Sha256OfFile(*copy);
            EXPECT_EQ(hashes[path], manifest.at(path).sha256);
        }
        return hashes;
    }

    harbex::test::TempDir dir;
    const fs::path image = dir / "card.dmg";
    std::map<std::string, ManifestFile> manifest;
    imagescan::BridgeFacade bridge;
    KvShellWindows windows;
    std::unique_ptr<KvRootWindowController> root;
    // The main window of the way home; it lives until the program ends.
    KvRootWindowController* home = nullptr;
    KvDeletailWindowController* results = nullptr;
    int resultsWindowsMade = 0;
    std::vector<QString> alerts;
    // What the main window's import chooses.
    QString savedResult;
};

TEST_F(RecoverFromResultsTest, CheckedFilesRecoverWithTheirBytesBeforeAndAfterASaveAndImport) {
    imagescan::ScanImage(*root, image, results);
    ASSERT_FALSE(HasFatalFailure());
    CheckChosenFiles();
    ASSERT_FALSE(HasFatalFailure());
    harbex::test::TempDir first;
    RecoverInto(first.path());
    ASSERT_FALSE(HasFatalFailure());
    const std::map<std::string, std::string> firstBytes = ExpectChosenFilesIn(first.path());

    // Saved through the save button...
    harbex::test::TempDir saved;
    savedResult = QString::fromStdString((saved / "card.Harbex").string());
    SavePanel::setAnswerer([this](const SavePanel&) { return savedResult; });
    ASSERT_TRUE(results->exportButton->isDisabled() /* usable */);
    QTest::mouseClick(results->exportButton, Qt::LeftButton);
    EXPECT_EQ(results->bSave, 1);
    ASSERT_TRUE(fs::is_regular_file(savedResult.toStdString()));

    // ...then home, and loaded by the new main window's import into a new
    // results window.
    KvDeletailWindowController* scanned = results;
    QTest::mouseClick(scanned->backHomeButton, Qt::LeftButton);
    EXPECT_TRUE(alerts.empty()) << "a saved result is left without an offer";
    ASSERT_TRUE(WaitFor([&] { return (home = NewMainWindow()) != nullptr; }, 30000));
    EXPECT_FALSE(scanned->isVisible());
    QTest::mouseClick(home->importButton(), Qt::LeftButton);
    ASSERT_EQ(resultsWindowsMade, 2);
    ASSERT_NE(home->deletailWC(), nullptr) << "the load failed";
    EXPECT_EQ(results->isImport, 1);
    ASSERT_TRUE(WaitFor(
        [&] { return results->isVisible() && results->pathOutlineView->model()->rowCount() > 0; },
        30000));
    CheckChosenFiles();
    ASSERT_FALSE(HasFatalFailure());
    harbex::test::TempDir second;
    RecoverInto(second.path());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ExpectChosenFilesIn(second.path()), firstBytes);
}

}  // namespace
