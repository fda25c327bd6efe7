#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <memory>
#include <string>

#include "Alert.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvSearchField.h"
#include "TCImageButton.h"
#include "TCWindowButton.h"
#include "UserDefaults.h"

namespace {

// A results window over a finished scan of a small made-up tree.
class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::setValue("searchRecent", QStringList());
        facade.tree = std::make_shared<SyntheticTree>(30, 10);
        window = std::make_unique<KvDeletailWindowController>();
        window->getData();
        facade.advanceScan(100);
        facade.finishScan();
        settle();
        // The end of the scan lets the user search.
        EXPECT_TRUE(window->search->isEnabled());
        // The trees as the bridge hands them over.
        window->allDiskArr.push_back(facade.tree->pathRoot(facade.tree->folders().size()));
        window->reloadTreesFromRoots();
    }
    void TearDown() override {
        window.reset();
        UserDefaults::setValue("searchRecent", QStringList());
    }

    static void settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // Types `text` and presses Return.
    void send(const QString& text) {
        window->search->setText(text);
        QTest::keyClick(window->search, Qt::Key_Return);
    }
    QStringList keys() const {
        QStringList keys;
        for (const QString& key : facade.searchKeys)
            keys << key;
        return keys;
    }

    FakeFacade facade;
    std::unique_ptr<KvDeletailWindowController> window;
};

TEST_F(SearchWindowTest, TypedTextIsSearchedWithItsBlankRules) {
    struct Case {
        QString typed;
        QStringList searched;  // every key searched so far
    };
    const Case cases[] = {
        {"  ", {}},  // no search
        {" 1.jpg ", {"1.jpg"}},
        {"  1.jpg", {"1.jpg", " 1.jpg"}},
        {QStringLiteral(u"x\u00C2  y"), {"1.jpg", " 1.jpg", "x y"}},
    };
    for (const Case& c : cases) {
        send(c.typed);
        settle();
        EXPECT_EQ(keys(), c.searched) << c.typed.toStdString();
    }
    // The blank entry the field remembered went again; the others are stored.
    EXPECT_EQ(window->searchField->recents().entries(),
              QStringList({QStringLiteral(u"x\u00C2  y"), "  1.jpg", " 1.jpg "}));
    EXPECT_EQ(UserDefaults::value("searchRecent").toStringList(),
              window->searchField->recents().entries());
}

TEST_F(SearchWindowTest, TheSameTextAgainSearchesOnlyInDesktopMode) {
    send("doc");
    settle();
    send(" doc ");
    settle();
    EXPECT_EQ(keys(), QStringList({"doc"}));

    window->selectDesktop = 1;
    window->doEndScanSearch();
    settle();
    window->doEndScanSearch();
    settle();
    EXPECT_EQ(keys(), QStringList({"doc", "Desktop", "Desktop"}));
    // Desktop searches are not remembered in the settings.
    EXPECT_EQ(UserDefaults::value("searchRecent").toStringList(), QStringList({"doc"}));
}

TEST_F(SearchWindowTest, TextChangedDuringASearchIsSearchedWhenItEnds) {
    send("jpg");
    // Typed while the first search runs: refused by the facade for now.
    send("mp3");
    EXPECT_EQ(keys(), QStringList({"jpg"}));
    settle();
    EXPECT_EQ(keys(), QStringList({"jpg", "mp3"}));
    EXPECT_EQ(window->lastSearchStr, "mp3");
    settle();
    // The hits of the last search are listed.
    ASSERT_FALSE(window->arrList.empty());
    for (IFileNode* file : window->arrList)
        EXPECT_NE(std::string(file->GetFileName()).find("mp3"), std::string::npos);
}

TEST_F(SearchWindowTest, HomeAndCloseAreOffWhileSearchingAndClearingSearchesEverything) {
    window->backHomeButton->setButtonEnabled(true);
    send("zip");
    EXPECT_FALSE(window->backHomeButton->isDisabled() /* usable */);
    // Nor does a close from the window manager act, not even by asking.
    int asked = 0;
    Alert::setAnswerer([&](const Alert&) {
        ++asked;
        return 0;
    });
    window->close();
    Alert::setAnswerer({});
    EXPECT_EQ(asked, 0);
    TCWindowButton* close = window->standardWindowButton(TCImageWindow::kCloseButton);
    ASSERT_NE(close, nullptr);
    bool closeOffWhileSearching = false;
    auto watch = KvNotificationCenter::defaultCenter()->observe(
        kvnote::kDoSearchValue, window.get(),
        [&](const QVariant&) { closeOffWhileSearching = !close->isEnabled(); });
    settle();
    QObject::disconnect(watch);
    EXPECT_TRUE(closeOffWhileSearching);
    EXPECT_TRUE(window->backHomeButton->isDisabled() /* usable */);
    EXPECT_TRUE(close->isEnabled());

    EXPECT_EQ(window->searchClearButtonClick(), 1);
    EXPECT_EQ(keys(), QStringList({"zip", ""}));
    // Until the search hands its trees over, none is shown.
    EXPECT_EQ(window->pathOutlineView->model()->rowCount(), 0);
    settle();
    EXPECT_EQ(window->pathOutlineView->model()->rowCount(), 1);
    for (SyntheticFileNode* file : facade.tree->files())
        EXPECT_TRUE(file->IsNodeShow());
}

TEST_F(SearchWindowTest, MenuListsTheRecentSearchesAndClearsThem) {
    send("a");
    send("b");
    settle();
    QStringList shown;
    for (QAction* item : window->searchField->buildMenu()->actions())
        shown << (item->isSeparator() ? QString("-") : item->text());
    EXPECT_EQ(shown.mid(1, 3), QStringList({"b", "a", "-"}));
    window->searchField->buildMenu()->actions().last()->trigger();  // clear
    EXPECT_TRUE(window->searchField->recents().isEmpty());
    EXPECT_TRUE(UserDefaults::value("searchRecent").toStringList().isEmpty());
}

}  // namespace
