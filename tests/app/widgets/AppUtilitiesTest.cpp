#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include "MovToImag.h"
#include "MyNSApplication.h"
#include "ZoomWindow.h"

namespace {

// A focusable widget with an editing slot, counting what reaches it.
class Editor : public QWidget {
    Q_OBJECT
public:
    int selectAllCount = 0;
    int undoCount = 0;
    QString typed;

public slots:
    void selectAll() { ++selectAllCount; }
    void undo() { ++undoCount; }

protected:
    void keyPressEvent(QKeyEvent* event) override { typed += event->text(); }
};

class Plain : public QWidget {
public:
    QString typed;

protected:
    void keyPressEvent(QKeyEvent* event) override { typed += event->text(); }
};

bool Press(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    return QApplication::instance()->notify(receiver, &event);
}

TEST(AppUtilitiesTest, EditingShortcutsReachTheFocusedWidgetsSlots) {
    ASSERT_NE(qobject_cast<MyNSApplication*>(QApplication::instance()), nullptr);
    Editor editor;
    editor.setFocusPolicy(Qt::StrongFocus);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &editor);

    Press(&editor, Qt::Key_A, Qt::ControlModifier, "\x01");
    EXPECT_EQ(editor.selectAllCount, 1);
    Press(&editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "\x1a");
    EXPECT_EQ(editor.undoCount, 1);
    // Without Ctrl a letter is typing, and other modifiers pass too.
    Press(&editor, Qt::Key_Z, Qt::ShiftModifier, "Z");
    Press(&editor, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, "a");
    EXPECT_EQ(editor.typed, "Za");
    EXPECT_EQ(editor.selectAllCount, 1);
    // No slot for copy: the key goes on to the widget.
    Press(&editor, Qt::Key_C, Qt::ControlModifier, "c");
    EXPECT_EQ(editor.typed, "Zac");
}

TEST(AppUtilitiesTest, ShortcutWithoutASlotFallsThrough) {
    Plain plain;
    plain.setFocusPolicy(Qt::StrongFocus);
    plain.show();
    plain.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&plain));
    plain.setFocus();
    Press(&plain, Qt::Key_A, Qt::ControlModifier, "a");
    EXPECT_EQ(plain.typed, "a");
}

TEST(AppUtilitiesTest, ZoomWindowCopiesTheWindowAndSlowsDownOnlyWithShift) {
    QWidget window;
    window.setGeometry(50, 60, 240, 160);
    auto zoom = createZoomWindowWithRect(&window, QRect());
    EXPECT_EQ(zoom->geometry().size(), window.frameGeometry().size());
    EXPECT_DOUBLE_EQ(zoom->animationTimeMultiplier(), 0.3);
    EXPECT_DOUBLE_EQ(zoom->animationResizeTime(QRect()), ZoomWindow::kStandardResizeSeconds * 0.3);
    zoomInWithOvershot(&window, true, true, true);
    EXPECT_EQ(window.windowOpacity(), 0.0);
}

TEST(AppUtilitiesTest, MoviePosterComesFromTheFrameProvider) {
    QString asked;
    MovToImag movie([&](const QString& path) {
        asked = path;
        QImage frame(64, 36, QImage::Format_RGB32);
        frame.fill(Qt::darkBlue);
        return frame;
    });
    movie.m_strMovPath = "/media/clip.mov";
    EXPECT_TRUE(movie.m_bExecute());
    movie.ExcuteInMainThread();
    EXPECT_FALSE(movie.m_bExecute());
    EXPECT_EQ(asked, "/media/clip.mov");
    EXPECT_EQ(movie.m_pImage.size(), QSize(64, 36));

    MovToImag unreadable([](const QString&) { return QImage(); });
    unreadable.ExcuteInMainThread();
    EXPECT_TRUE(unreadable.m_pImage.isNull());
}

}  // namespace

#include "AppUtilitiesTest.moc"
