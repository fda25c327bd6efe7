#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <thread>

#include "CNViewRelations.h"
#include "GridFixtures.h"
#include "KvUIFacade.h"

namespace {

using gridtest::Settle;
using gridtest::TestFile;

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

TEST(GridItem, ThumbnailsAreCappedAndCentredAboveTheMiddle) {
    struct Case {
        QSizeF image;
        QRectF drawn;
    };
    const Case cases[] = {
        {{40, 60}, {57.5, 37.5, 40, 60}},
        {{200, 100}, {32.5, 22.5, 90, 90}},  // each side capped on its own
        {{90, 10}, {32.5, 62.5, 90, 10}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CNGridViewItem::thumbnailRect(QRectF(0, 0, 150, 150), c.image), c.drawn)
            << c.image.width() << "x" << c.image.height();
    }
    EXPECT_EQ(CNGridViewItem::panelRect(QRectF(0, 0, 150, 150)), QRectF(5, 5, 145, 145));
}

TEST(GridItem, LayoutOfTheCell) {
    CNGridViewItem item(nullptr, "custom");
    EXPECT_EQ(item.reuseIdentifier(), "custom");
    EXPECT_EQ(item.size(), QSize(150, 150));
    EXPECT_EQ(item.itemButton()->geometry(), QRect(16, 121, 13, 13));
    EXPECT_EQ(item.titleLabel()->geometry(), QRect(30, 120, 120, 25));
    EXPECT_TRUE(containsSubView(&item, item.itemButton()));
    EXPECT_TRUE(isSubviewOfView(item.titleLabel(), &item));
    QWidget inner(item.titleLabel());
    EXPECT_FALSE(containsSubView(&item, &inner));
    item.setItemTitle(QString(200, 'x'));
    EXPECT_EQ(item.itemTitle(), QString(200, 'x'));
    EXPECT_TRUE(item.titleLabel()->text().endsWith(QChar(0x2026)));
}

TEST(GridItem, PaintsHoverPanelAndSelectionRing) {
    CNGridViewItem item;
    auto layout = std::make_shared<CNGridViewItemLayout>();
    layout->selectionRingColor = Qt::blue;
    item.setCurrentLayout(layout);
    const QPoint inPanel(75, 20);
    const int plain = qGray(item.grab().toImage().pixel(inPanel));
    item.setHovered(true);
    EXPECT_LT(qGray(item.grab().toImage().pixel(inPanel)), plain);
    item.setHovered(false);
    item.setSelected(true);
    const QColor ring = item.grab().toImage().pixelColor(75, 5);
    EXPECT_GT(ring.blue(), ring.red() + 100);
}

// A scan that runs or not, paused or not.
class ScanState : public KvUIFacade {
public:
    ScanState(bool running, bool paused) : running_(running), paused_(paused) { install(this); }
    ~ScanState() override { reset(); }
    bool IsScanRunning() override { return running_; }
    bool IsPause() override { return paused_; }

private:
    bool running_;
    bool paused_;
};

struct CheckCase {
    bool running;
    bool paused;
    int32_t state;
    bool heard;
    const char* picture;
};

TEST(GridItem, TheCheckBoxIsIgnoredWhileAScanRunsUnpaused) {
    class Heard : public CNGridViewItemDelegate {
    public:
        void doSelectItem(int64_t index) override { indexes.push_back(index); }
        std::vector<int64_t> indexes;
    };
    const CheckCase cases[] = {
        {true, false, 0, false, "pf_checkbox_no"}, {true, true, 0, true, "checkbox_yes"},
        {true, true, 2, true, "checkbox_no"},      {false, false, 1, true, "checkbox_no"},
        {false, false, 0, true, "checkbox_yes"},
    };
    for (const CheckCase& c : cases) {
        Heard heard;
        CNGridViewItem item;
        auto node = std::make_shared<OpNodeData>(TreeNodeData{});
        node->setNodeState(c.state);
        item.setNode(node);
        item.setIndex(9);
        item.setDelegate(&heard);
        item.setItemButtonImage("pf_checkbox_no");
        {
            ScanState scan(c.running, c.paused);
            item.itemButton()->click();
        }
        EXPECT_EQ(item.itemButtonImage(), c.picture) << c.running << c.paused << " " << c.state;
        EXPECT_EQ(heard.indexes, c.heard ? std::vector<int64_t>{9} : std::vector<int64_t>{});
        EXPECT_EQ(node->state(), c.state);  // the delegate changes marks, not the item
    }
}

TEST(GridItem, ReuseClearsTheCellButKeepsTheNode) {
    CNGridViewItem item;
    auto node = std::make_shared<OpNodeData>(TreeNodeData{});
    item.setNode(node);
    item.setIndex(4);
    item.setItemTitle("a.jpg");
    item.setItemImage(Picture(10, 10));
    item.setSelected(true);
    item.setHovered(true);
    EXPECT_FALSE(item.isReuseable());
    item.prepareForReuse();
    EXPECT_EQ(item.index(), CNNotFound);
    EXPECT_EQ(item.itemTitle(), "");
    EXPECT_TRUE(item.itemImage().isNull());
    EXPECT_FALSE(item.isSelected());
    EXPECT_FALSE(item.isHovered());
    EXPECT_TRUE(item.isReuseable());
    EXPECT_EQ(item.node(), node);
}

TEST(GridItem, ThumbnailsReachOnlyTheItemStillShowingTheirFile) {
    auto shown = std::make_shared<OpNodeData>(TreeNodeData{});
    auto former = std::make_shared<OpNodeData>(TreeNodeData{});
    auto item = std::make_unique<CNGridViewItem>();
    item->setNode(shown);
    QPointer<CNGridViewItem> handle(item.get());

    std::thread([&] {
        CNGridViewItem::updateImageViewWithImage(handle, Picture(20, 30), former);
        CNGridViewItem::updateImageViewWithImage(handle, QImage(), shown);
    }).join();
    Settle();
    EXPECT_TRUE(item->itemImage().isNull());  // a late picture and an empty one are dropped

    std::thread([&] {
        CNGridViewItem::updateImageViewWithImage(handle, Picture(20, 30), shown);
    }).join();
    Settle();
    EXPECT_EQ(item->itemImage().size(), QSize(20, 30));

    // The item may be gone by the time its picture arrives.
    std::thread([&] {
        CNGridViewItem::updateImageViewWithImage(handle, Picture(5, 5), shown);
    }).join();
    item.reset();
    Settle();
    EXPECT_TRUE(handle.isNull());
}

}  // namespace
