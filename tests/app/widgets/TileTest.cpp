#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>

#include "BVPrototype.h"
#include "GridFixtures.h"
#include "GroupView.h"
#include "KvUIFacade.h"

namespace {

using gridtest::TestFile;

// A scan state and thumbnails of the tests' choosing.
class TileFacade : public KvUIFacade {
public:
    TileFacade() { install(this); }
    ~TileFacade() override { reset(); }
    bool IsScanRunning() override { return running; }
    bool IsPause() override { return paused; }
    QImage GetImageByFileNode(IFileNode* file) override {
        return file == withThumbnail ? thumbnail : QImage();
    }

    bool running = false;
    bool paused = false;
    IFileNode* withThumbnail = nullptr;
    QImage thumbnail;
};

class Window : public BVPrototypeDelegate {
public:
    uint64_t viewLoadCnt() override { return loaded; }
    void reLoadCollectionViewData() override { ++reloads; }
    uint64_t loaded = 0;
    int reloads = 0;
};

TEST(Tile, PartsStandWhereTheBottomLeftLayoutPutsThem) {
    BVView tile;
    EXPECT_EQ(tile.size(), QSize(120, 100));
    EXPECT_EQ(tile.imageView()->geometry(), QRect(10, 10, 90, 55));
    EXPECT_EQ(tile.titleLabel()->geometry(), QRect(30, 78, 80, 20));
    EXPECT_EQ(tile.button()->geometry(), QRect(16, 76, 14, 14));
    EXPECT_EQ(tile.deleteIamgeView()->geometry(), QRect(90, 49, 16, 16));
    EXPECT_TRUE(tile.deleteIamgeView()->isHidden());
}

TEST(Tile, TheCheckBoxTogglesOutsideAScan) {
    struct Case {
        bool running, paused;
        int32_t before, after;
        const char* picture;
    };
    const Case cases[] = {
        {false, false, 0, 2, "checkbox_yes"},
        {false, false, 1, 0, "checkbox_no"},  // partly checked becomes unchecked
        {false, false, 2, 0, "checkbox_no"},
        {true, false, 0, 0, ""},
        {true, true, 0, 0, ""},  // a paused scan still runs
    };
    for (const Case& c : cases) {
        TileFacade facade;
        facade.running = c.running;
        facade.paused = c.paused;
        TestFile file("a.jpg", false);
        OpNodeData::setFileNode(&file, c.before);
        Window window;
        BVPrototype item;
        item.setDelegate(&window);
        item.loadView();
        item.view()->setListData(&file);
        item.view()->button()->click();
        EXPECT_EQ(OpNodeData::fileNodeState(&file), c.after) << c.before << c.running;
        EXPECT_EQ(item.view()->buttonImage(), c.picture);
        EXPECT_EQ(window.reloads, c.running ? 0 : 1);
    }
}

TEST(Tile, TheBackgroundLightsUpUnderTheMouse) {
    BVView tile;
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&tile, &enter);
    EXPECT_EQ(tile.backgroundImage(), "view_bg_press");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&tile, &leave);
    EXPECT_EQ(tile.backgroundImage(), "view_bg_normal");
}

TEST(Tile, EveryItemHasATileOfItsOwn) {
    Window window;
    BVPrototype first;
    BVPrototype second;
    first.setDelegate(&window);
    second.setDelegate(&window);
    first.loadView();
    second.loadView();
    ASSERT_NE(first.view(), nullptr);
    EXPECT_NE(first.view(), second.view());
    QWidget collection;
    first.view()->setParent(&collection);
    second.view()->setParent(&collection);
    EXPECT_EQ(first.view()->parentWidget(), &collection);
    EXPECT_EQ(second.view()->parentWidget(), &collection);
}

TEST(Tile, ItemsStayHiddenUntilTheWindowFillsThem) {
    TileFacade facade;
    TestFile shown("holiday.jpg", true);
    TestFile plain("notes.txt", false);
    OpNodeData::setFileNode(&shown, 2);
    facade.withThumbnail = &shown;
    facade.thumbnail = QImage(40, 30, QImage::Format_RGB32);
    Window window;
    BVPrototype item;
    item.setDelegate(&window);
    item.loadView();
    item.view()->show();
    item.setRepresentedObject(&shown);
    EXPECT_TRUE(item.view()->isHidden());
    EXPECT_EQ(item.view()->listData(), nullptr);

    window.loaded = 1;
    item.view()->show();
    item.setRepresentedObject(&shown);
    EXPECT_EQ(item.view()->listData(), &shown);
    EXPECT_EQ(item.view()->titleLabel()->text(), "holiday.jpg");
    EXPECT_EQ(item.view()->titleLabel()->toolTip(), "holiday.jpg");
    EXPECT_EQ(item.view()->buttonImage(), "checkbox_yes");
    EXPECT_FALSE(item.view()->deleteIamgeView()->isHidden());
    EXPECT_EQ(item.view()->imageView()->pixmap().size(), QSize(40, 30));

    // Without a preview the logo stands in, fitted to the picture's place.
    item.setRepresentedObject(&plain);
    EXPECT_EQ(item.view()->buttonImage(), "checkbox_no");
    EXPECT_TRUE(item.view()->deleteIamgeView()->isHidden());
    EXPECT_EQ(item.view()->imageView()->pixmap().height(), 55);
    item.setRepresentedObject(nullptr);
    EXPECT_EQ(item.view()->listData(), &plain);
}

TEST(Tile, GroupViewFramesItsContent) {
    EXPECT_EQ(GroupView::frameRect(QSizeF(200, 100)), QRectF(18.5, 35.5, 163, 46));
    GroupView group;
    group.resize(200, 100);
    const QImage drawn = group.grab().toImage();
    EXPECT_EQ(drawn.pixelColor(100, 60), QColor(Qt::white));
    EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_LT(qGray(drawn.pixel(100, 35)), 255);
    // A partial repaint draws what a full one draws there, no frame of its own.
    QImage part(200, 100, QImage::Format_ARGB32_Premultiplied);
    part.fill(Qt::red);
    const QRect dirty(90, 50, 40, 30);
    group.render(&part, dirty.topLeft(), QRegion(dirty));
    for (int y = dirty.top(); y <= dirty.bottom(); ++y) {
        for (int x = dirty.left(); x <= dirty.right(); ++x)
            ASSERT_EQ(part.pixel(x, y), drawn.pixel(x, y)) << x << "," << y;
    }
}

}  // namespace
