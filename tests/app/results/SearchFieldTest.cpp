#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include <QAction>
#include <QJsonArray>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "KvSearchField.h"
#include "PrivateData.h"
#include "RecentSearches.h"
#include "SearchText.h"
#include "UserDefaults.h"

namespace {

struct NormaliseCase {
    const char16_t* typed;
    const char16_t* searched;
};

void PrintTo(const NormaliseCase& c, std::ostream* out) {
    *out << '"' << QString::fromUtf16(c.typed).toStdString() << '"';
}

class NormaliseTest : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTest, DropsOneBlankAtEachEndAndFoldsMisreadSpaces) {
    EXPECT_EQ(SearchText::normalise(QString::fromUtf16(GetParam().typed)),
              QString::fromUtf16(GetParam().searched));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NormaliseTest,
    ::testing::Values(NormaliseCase{u" word ", u"word"}, NormaliseCase{u"  word", u" word"},
                      NormaliseCase{u"word  ", u"word "}, NormaliseCase{u"two words", u"two words"},
                      NormaliseCase{u"\u00C2  ", u""}, NormaliseCase{u"a\u00C2  b", u"a b"},
                      // Folding one run makes the next.
                      NormaliseCase{u"a\u00C2\u00C2    b", u"a  b"}, NormaliseCase{u" ", u""},
                      NormaliseCase{u"", u""}, NormaliseCase{u"\u00C2 x", u"\u00C2 x"}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(SearchTextTest, OnlyOneOrTwoBlanksCountAsBlank) {
    EXPECT_TRUE(SearchText::isBlankOnly(" "));
    EXPECT_TRUE(SearchText::isBlankOnly("  "));
    EXPECT_FALSE(SearchText::isBlankOnly("   "));
    EXPECT_FALSE(SearchText::isBlankOnly(""));
    EXPECT_FALSE(SearchText::isBlankOnly(" a"));
}

TEST(RecentSearchesTest, NewestFirstOnceAndAtMostTen) {
    RecentSearches recents;
    for (int i = 0; i < 12; ++i)
        recents.remember(QString("k%1").arg(i));
    recents.remember("k5");
    recents.remember("");
    ASSERT_EQ(recents.entries().size(), RecentSearches::kMaximum);
    EXPECT_EQ(recents.entries().front(), "k5");
    EXPECT_EQ(recents.entries().count("k5"), 1);
    EXPECT_EQ(recents.entries()[1], "k11");
    EXPECT_FALSE(recents.entries().contains("k1"));
}

TEST(RecentSearchesTest, DroppingTheNewestDropsEveryEqualEntry) {
    RecentSearches recents;
    recents.setEntries({" ", "a", " ", "b"});
    recents.dropNewest();
    EXPECT_EQ(recents.entries(), QStringList({"a", "b"}));
    recents.clear();
    recents.dropNewest();
    EXPECT_TRUE(recents.isEmpty());
}

class SearchStoresTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data_.isValid());
        previous_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", previous_); }

    QTemporaryDir data_;
    QByteArray previous_;
};

TEST_F(SearchStoresTest, SettingsAndThePrivateListKeepTheEntries) {
    RecentSearches written;
    written.setEntries({"photo", "report"});
    written.storeInDefaults();
    ASSERT_TRUE(written.storeInHistory());

    // The private list goes to the user's copy; the rest of it is kept.
    EXPECT_TRUE(PrivateData::userCopyPath().startsWith(data_.path()));
    EXPECT_EQ(PrivateData::value("PRODUCTNAME").toString(), "Harbex");
    EXPECT_EQ(PrivateData::value("SearchHistory").toArray().size(), 2);

    RecentSearches fromDefaults;
    fromDefaults.loadFromDefaults();
    EXPECT_EQ(fromDefaults.entries(), written.entries());
    RecentSearches fromHistory;
    fromHistory.loadFromHistory();
    EXPECT_EQ(fromHistory.entries(), written.entries());

    // An empty stored history leaves what the field holds.
    RecentSearches empty;
    ASSERT_TRUE(empty.storeInHistory());
    fromHistory.loadFromHistory();
    EXPECT_EQ(fromHistory.entries(), written.entries());
    UserDefaults::setValue("searchRecent", QStringList());
}

// The menu as the results window makes it: title, none-note, recents, separator, clear.
QMenu* MakeTemplate(QWidget* parent, QAction** clearItem) {
    auto* menu = new QMenu(parent);
    auto tagged = [menu](const QString& text, int tag) {
        QAction* item = menu->addAction(text);
        item->setData(tag);
        return item;
    };
    tagged("Recent", KvSearchField::kRecentsTitle);
    tagged("None", KvSearchField::kNoRecents);
    tagged("Recents", KvSearchField::kRecentsPlace);
    menu->addSeparator()->setData(static_cast<int>(KvSearchField::kRecentsTitle));
    *clearItem = menu->addAction("Clear");
    return menu;
}

QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* item : menu->actions())
        texts << (item->isSeparator() ? QString("-") : item->text());
    return texts;
}

TEST(SearchFieldTest, MenuShowsTheRecentsInTheirPlaceOrTheNoneNote) {
    KvSearchField field;
    QAction* clearItem = nullptr;
    field.setSearchMenuTemplate(MakeTemplate(&field, &clearItem));
    EXPECT_EQ(Texts(field.buildMenu()), QStringList({"None", "Clear"}));

    field.recents().setEntries({"b", "a"});
    EXPECT_EQ(Texts(field.buildMenu()), QStringList({"Recent", "b", "a", "-", "Clear"}));
}

TEST(SearchFieldTest, ReturnAndARecentEntrySendTheSearchAfterRememberingIt) {
    KvSearchField field;
    QAction* clearItem = nullptr;
    field.setSearchMenuTemplate(MakeTemplate(&field, &clearItem));
    QStringList newestWhenSent;
    QObject::connect(&field, &KvSearchField::searchSent,
                     [&] { newestWhenSent << field.recents().entries().value(0); });

    field.setText("first");
    QTest::keyClick(&field, Qt::Key_Return);
    field.setText("second");
    QTest::keyClick(&field, Qt::Key_Return);
    field.setText("");
    field.buildMenu()->actions().at(2)->trigger();  // "first", the older entry

    EXPECT_EQ(newestWhenSent, QStringList({"first", "second", "first"}));
    EXPECT_EQ(field.text(), "first");
    EXPECT_EQ(field.recents().entries(), QStringList({"first", "second"}));
}

TEST(SearchFieldTest, ClearButtonShowsWithTextAndReportsItsPress) {
    KvSearchField field;
    QSignalSpy cleared(&field, &KvSearchField::clearClicked);
    EXPECT_FALSE(field.clearAction()->isVisible());
    field.setText("x");
    EXPECT_TRUE(field.clearAction()->isVisible());
    field.clearAction()->trigger();
    EXPECT_EQ(cleared.count(), 1);
}

}  // namespace
