#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <thread>
#include <vector>

#include "Alert.h"
#include "ModalRunner.h"

namespace {

TEST(ModalRunner, NestedSessionsEndInnermostFirst) {
    QWidget outer;
    QWidget inner;
    std::vector<int> order;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            EXPECT_EQ(ModalRunner::depth(), 2);
            ModalRunner::stopModal(7);
        });
        order.push_back(ModalRunner::runModalForWindow(&inner));
        EXPECT_TRUE(ModalRunner::isRunning(&outer));
        EXPECT_FALSE(ModalRunner::isRunning(&inner));
        ModalRunner::stopModal(3);
    });
    order.push_back(ModalRunner::runModalForWindow(&outer));
    EXPECT_EQ(order, (std::vector<int>{7, 3}));
    EXPECT_EQ(ModalRunner::depth(), 0);
}

TEST(ModalRunner, StoppingAnOuterWindowEndsTheSessionsInsideIt) {
    QWidget outer;
    QWidget inner;
    int innerCode = -1;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] { ModalRunner::stopModal(&outer, 5); });
        innerCode = ModalRunner::runModalForWindow(&inner);
    });
    EXPECT_EQ(ModalRunner::runModalForWindow(&outer), 5);
    EXPECT_EQ(innerCode, 0);
    ModalRunner::stopModal(&outer);  // nothing runs: no effect
}

TEST(ModalRunner, AWorkerThreadPostArrivesInsideAModalRun) {
    QWidget dialog;
    QObject receiver;
    std::thread worker;
    QTimer::singleShot(0, [&] {
        worker = std::thread([&] {
            QMetaObject::invokeMethod(
                &receiver, [] { ModalRunner::stopModal(42); }, Qt::QueuedConnection);
        });
    });
    EXPECT_EQ(ModalRunner::runModalForWindow(&dialog), 42);
    worker.join();
}

TEST(AlertTest, TheAnswererRepliesForTheUser) {
    Alert alert;
    alert.message = "Stop the scan?";
    alert.defaultButton = "Stop";
    alert.alternateButton = "Cancel";
    QString seen;
    Alert::setAnswerer([&](const Alert& shown) {
        seen = shown.message;
        return 0;
    });
    EXPECT_EQ(alert.run(), 0);
    EXPECT_EQ(seen, "Stop the scan?");
    Alert::setAnswerer({});
}

// A long explanation keeps a readable width, with or without a message above it.
TEST(AlertTest, ALongExplanationIsNotSqueezedIntoAThinColumn) {
    for (const char* message : {"", "Message"}) {
        Alert alert;
        alert.message = message;
        alert.informativeText =
            "The scan result could not be read or written. The file may be damaged, or the "
            "folder may not allow it.";
        const std::unique_ptr<QMessageBox> box = alert.makeBox();
        box->show();
        EXPECT_GE(box->width(), Alert::kInformativeWidth) << message;
        box->hide();
    }
}

}  // namespace
