#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <set>

#include "CoverFlowView.h"
#include "GridFixtures.h"

namespace {

using gridtest::Settle;

class PhotoSource : public CoverFlowDataSource {
public:
    explicit PhotoSource(int count) {
        for (int index = 0; index < count; ++index) {
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(Qt::yellow);
            photos.push_back(std::make_shared<Photo>(picture, QString::number(index)));
            photos.back()->setName(QString("photo %1").arg(index));
        }
    }
    uint64_t numberOfItemsInImageFlow(CoverFlowView*) override {
        ++counts;
        return photos.size();
    }
    std::shared_ptr<Photo> imageFlowItemAtIndex(CoverFlowView*, uint64_t index) override {
        asked.insert(int64_t(index));
        return index < photos.size() ? photos[index] : nullptr;
    }
    std::vector<std::shared_ptr<Photo>> photos;
    int counts = 0;
    std::set<int64_t> asked;
};

// Keeps what each paint covered.
class RecordingFlow : public CoverFlowView {
public:
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* event) override {
        painted += event->region();
        CoverFlowView::paintEvent(event);
    }
};

struct Flow {
    explicit Flow(int count) : source(count) {
        view.resize(600, 300);
        view.setDataSource(&source);
        view.reloadData();
        view.setSelectedIndex(500);
        view.show();
        Settle();
    }
    PhotoSource source;
    RecordingFlow view;
};

// The middle of the stretch of the middle line where `index` is topmost.
QPoint PointOn(const CoverFlowView& view, int64_t index) {
    const QRectF cell = view.cellRect(index);
    const int y = int(view.height() * 0.45);
    std::vector<int> xs;
    for (int x = int(cell.left()); x < int(cell.right()); ++x) {
        if (view.indexAt(QPointF(x, y)) == index)
            xs.push_back(x);
    }
    return xs.empty() ? QPoint() : QPoint(xs[xs.size() / 2], y);
}

TEST(CoverFlow, AsksOnlyForThePicturesInView) {
    Flow flow(1000);
    EXPECT_EQ(flow.source.counts, 1);
    EXPECT_EQ(flow.view.numberOfItems(), 1000);
    ASSERT_FALSE(flow.source.asked.empty());
    EXPECT_TRUE(flow.source.asked.count(500));
    EXPECT_GE(*flow.source.asked.begin(), 480);
    EXPECT_LE(*flow.source.asked.rbegin(), 520);
    // The kept pictures follow the view.
    flow.view.setSelectedIndex(900);
    flow.view.repaint();
    EXPECT_LE(flow.view.cachedPictures(), 41);
    EXPECT_GT(flow.view.cachedPictures(), 0);
    flow.view.releaseCache();
    EXPECT_EQ(flow.view.cachedPictures(), 0);
}

TEST(CoverFlow, ClicksAndArrowKeysChooseAPicture) {
    Flow flow(1000);
    QSignalSpy chosen(&flow.view, &CoverFlowView::didSelectItemAtIndex);
    const QPoint onRight = PointOn(flow.view, 502);
    ASSERT_FALSE(onRight.isNull());
    QTest::mouseClick(&flow.view, Qt::LeftButton, {}, onRight);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).value<int64_t>(), 502);
    EXPECT_EQ(flow.view.selectedIndex(), 502);
    // The middle picture again, or one set by the program: nothing is announced.
    QTest::mouseClick(&flow.view, Qt::LeftButton, {}, PointOn(flow.view, 502));
    flow.view.setSelectedIndex(10);
    EXPECT_EQ(chosen.count(), 0);
    QTest::keyClick(&flow.view, Qt::Key_Left);
    EXPECT_EQ(chosen.takeFirst().at(0).value<int64_t>(), 9);
    flow.view.setSelectedIndex(0);
    QTest::keyClick(&flow.view, Qt::Key_Left);
    EXPECT_EQ(chosen.count(), 0);
}

TEST(CoverFlow, ReloadingOneCellRepaintsOnlyThatCell) {
    Flow flow(1000);
    flow.view.painted = QRegion();
    flow.source.asked.clear();
    QImage blue(40, 30, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    flow.source.photos[498]->setImageRepresentation(blue);
    flow.source.photos[498]->setImageVersion();
    flow.view.reloadCellDataAtIndex(498);
    Settle();
    EXPECT_EQ(flow.view.painted.boundingRect(), flow.view.cellRect(498).toAlignedRect());
    EXPECT_TRUE(flow.source.asked.count(498));
    EXPECT_FALSE(flow.source.asked.count(510));
    // The new picture is what is drawn there.
    const QImage shown = flow.view.grab().toImage();
    const QPoint on = PointOn(flow.view, 498);
    ASSERT_EQ(flow.view.indexAt(on), 498);
    bool blueSeen = false;
    const QRect cell = flow.view.cellRect(498).toAlignedRect();
    for (int y = cell.top(); y < cell.bottom() && !blueSeen; ++y) {
        const QColor colour = shown.pixelColor(on.x(), y);
        blueSeen = colour.blue() > 200 && colour.red() < 60 && colour.green() < 60;
    }
    EXPECT_TRUE(blueSeen);
}

TEST(CoverFlow, AnEmptySourceShowsNothingAndChoosesNothing) {
    PhotoSource source(0);
    CoverFlowView view;
    view.resize(300, 200);
    view.setDataSource(&source);
    view.reloadData();
    view.setSelectedIndex(3);
    EXPECT_EQ(view.selectedIndex(), -1);
    EXPECT_TRUE(view.cellRect(0).isEmpty());
    EXPECT_EQ(view.indexAt(QPointF(150, 90)), -1);
    view.grab();
}

}  // namespace
