#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>

#include "KvNSTableView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "UserDefaults.h"

namespace {

// Restores the interface languages a test changed.
class Languages {
public:
    explicit Languages(const QStringList& chosen)
        : saved_(UserDefaults::value(QStringLiteral("AppleLanguages"))) {
        UserDefaults::setValue(QStringLiteral("AppleLanguages"), chosen);
    }
    ~Languages() { UserDefaults::setValue(QStringLiteral("AppleLanguages"), saved_); }

private:
    QVariant saved_;
};

TEST(FileTableTest, TheNoteIsBuiltOnceAndHidingAMissingNoteDoesNothing) {
    KvNSTableView table;
    table.resize(600, 400);
    QWidget* rows = table.viewport();
    const int childrenBefore = static_cast<int>(rows->children().size());
    table.changeNoValue(1);
    EXPECT_EQ(table.noValueView(), nullptr);
    EXPECT_EQ(rows->children().size(), childrenBefore);

    table.changeNoValue(0);
    QWidget* note = table.noValueView();
    ASSERT_NE(note, nullptr);
    table.changeNoValue(0);
    EXPECT_EQ(table.noValueView(), note);
    EXPECT_EQ(rows->children().size(), childrenBefore + 1);
    EXPECT_EQ(note->geometry(), rows->rect());
    EXPECT_EQ(table.nodeView()->geometry(),
              QRect(rows->width() / 2 - 200, rows->height() / 2, 400, 50));

    table.changeNoValue(1);
    EXPECT_EQ(table.noValueView(), nullptr);
    EXPECT_EQ(rows->children().size(), childrenBefore);
}

TEST(FileTableTest, TheNoteCoversTheRowsAndStaysCentredAsTheTableResizes) {
    KvNSTableView table;
    table.show();
    table.resize(600, 400);
    table.changeNoValue(0);
    table.resize(800, 300);
    QCoreApplication::processEvents();
    const QSize rows = table.viewport()->size();
    EXPECT_LT(rows.height(), 300);  // the header stays visible
    EXPECT_EQ(table.noValueView()->geometry(), table.viewport()->rect());
    EXPECT_EQ(table.nodeView()->geometry(),
              QRect(rows.width() / 2 - 200, rows.height() / 2, 400, 50));
}

TEST(FileTableTest, LanguagesWithLongSentencesGetATwoLineNote) {
    const struct {
        QStringList languages;
        float height;
    } cases[] = {{{"de"}, 40},    {{"fr", "en"}, 40}, {{"es"}, 40},       {{"it"}, 40},
                 {{"pt-BR"}, 40}, {{"pt"}, 25},       {{"en", "de"}, 25}, {{"ja"}, 25}};
    for (const auto& testCase : cases) {
        Languages languages(testCase.languages);
        EXPECT_EQ(KvNSTableView::getLableHight(), testCase.height)
            << testCase.languages.join(',').toStdString();
        KvNSTableView table;
        table.resize(600, 400);
        table.changeNoValue(0);
        QLabel* text = table.nodeView()->findChildren<QLabel*>().last();
        EXPECT_EQ(text->geometry(), QRect(82, 0, 420, static_cast<int>(testCase.height)));
    }
}

TEST(FileTableTest, SpaceAsksForAPreviewAndArrowsStillMove) {
    QStandardItemModel model;
    // A row a type-select of " " would jump to.
    for (const char* name : {"alpha", " beta", "gamma"})
        model.appendRow(new QStandardItem(QString::fromLatin1(name)));
    KvNSTableView table;
    table.setModel(&model);
    table.show();
    table.setCurrentIndex(model.index(0, 0));
    int previews = 0;
    const QMetaObject::Connection observer = KvNotificationCenter::defaultCenter()->observe(
        kvnote::kSpacePreviewFile, &table, [&previews](const QVariant& object) {
            EXPECT_FALSE(object.isValid());
            ++previews;
        });

    QTest::keyClick(&table, Qt::Key_Space);
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(table.currentIndex().row(), 0);
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(table.currentIndex().row(), 1);
    EXPECT_EQ(previews, 1);
    QObject::disconnect(observer);
}

TEST(FileTableTest, HeaderTitlesInsetByTheirSortPriority) {
    const QRect frame(10, 0, 100, 20);
    const struct {
        int64_t priority;
        QRect text;
    } cases[] = {{1, QRect(13, 3, 100, 20)}, {2, QRect(13, 3, 100, 20)}, {0, QRect(10, 3, 92, 20)}};
    for (const auto& testCase : cases) {
        CustomHeaderCell cell(QStringLiteral("Name"));
        cell.setSortAscending(false, testCase.priority);
        EXPECT_EQ(cell.textRect(frame), testCase.text) << testCase.priority;
    }
    // A new cell is not the sort column.
    EXPECT_EQ(CustomHeaderCell(QString()).textRect(frame), QRect(13, 3, 100, 20));
}

TEST(FileTableTest, TheSortIndicatorStandsOutFromTheHeader) {
    const QRect frame(0, 0, 100, KvTableHeaderView::kHeight);
    for (const bool ascending : {true, false}) {
        QImage image(frame.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        CustomHeaderCell cell(QStringLiteral("Name"));
        cell.setSortAscending(ascending, 0);
        cell.drawWithFrame(painter, frame);
        cell.drawSortIndicatorWithFrame(painter, frame, ascending, 0);
        painter.end();
        const QPolygon triangle = CustomHeaderCell::sortIndicator(frame, ascending);
        const QPoint inside = triangle.boundingRect().center();
        EXPECT_LT(qGray(image.pixel(inside)), 200) << ascending;
    }
}

TEST(FileTableTest, EveryColumnGetsACellWithItsTitle) {
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({"Name", "Size"});
    KvNSTableView table;
    table.setModel(&model);
    KvTableHeaderView* header = table.headerCells();
    EXPECT_EQ(header->height(), KvTableHeaderView::kHeight);
    ASSERT_NE(header->cell(1), nullptr);
    EXPECT_EQ(header->cell(0)->title(), "Name");
    EXPECT_EQ(header->cell(1)->title(), "Size");
    EXPECT_EQ(header->cell(2), nullptr);
    model.setHorizontalHeaderLabels({"Nom", "Taille"});
    EXPECT_EQ(header->cell(0)->title(), "Nom");
    // Rows reloaded after a sort keep the sort column's mark.
    header->cell(1)->setSortAscending(true, 0);
    model.setHorizontalHeaderLabels({"Nom", "Taille"});
    EXPECT_EQ(header->cell(1)->priority(), 0);
    EXPECT_TRUE(header->cell(1)->ascending());
    EXPECT_EQ(header->cell(0)->priority(), 1);
}

}  // namespace
