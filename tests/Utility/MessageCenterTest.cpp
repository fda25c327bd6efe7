#include <gtest/gtest.h>

#include <cstring>

#include "MessageCenter.h"

namespace {

// Leaves the process-wide center receiving and empty, as a new one starts.
class MessageCenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        center->StartReceiveMessage();
        center->Clear();
    }
    void TearDown() override {
        center->Clear();
        center->StartReceiveMessage();
    }
    CMessageCenter* center = CMessageCenter::Instance();
};

TEST_F(MessageCenterTest, QueuesACopyWhileReceiving) {
    char data[] = "sector 42";
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, sizeof(data), data);
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    std::memset(data, 0, sizeof(data));

    std::unique_ptr<_MSG_EVENT> first = center->PopEvent();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->type, EVENT_TYPE_BAD_SECTOR);
    ASSERT_EQ(first->size, sizeof(data));
    EXPECT_STREQ(reinterpret_cast<const char*>(first->data.data()), "sector 42");
    std::unique_ptr<_MSG_EVENT> second = center->PopEvent();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->size, 0u);
    EXPECT_EQ(center->PopEvent(), nullptr);
}

TEST_F(MessageCenterTest, DropsEventsWhileStopped) {
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    center->StopReceiveMessage();
    EXPECT_FALSE(center->IsReceiving());
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    EXPECT_EQ(center->PopEvent(), nullptr);

    center->StartReceiveMessage();
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    EXPECT_NE(center->PopEvent(), nullptr);
}

TEST_F(MessageCenterTest, QueueOfUndeliveredEventsIsBounded) {
    for (size_t i = 0; i < CMessageCenter::kMaxQueuedEvents + 10; ++i)
        center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    size_t queued = 0;
    while (center->PopEvent())
        ++queued;
    EXPECT_EQ(queued, CMessageCenter::kMaxQueuedEvents);
}

TEST_F(MessageCenterTest, UnregisterRemovesTheReceiverOfAType) {
    auto* receiver = reinterpret_cast<INotifyCenter*>(0x1000);  // never called here
    EXPECT_FALSE(center->RegisterNotifyCenter(1, nullptr));
    EXPECT_TRUE(center->RegisterNotifyCenter(1, receiver));
    EXPECT_FALSE(center->RegisterNotifyCenter(1, receiver));
    EXPECT_EQ(center->GetNotifyCenter(1), receiver);
    center->UnregisterNotifyCenter(1);
    center->UnregisterNotifyCenter(1);
    EXPECT_EQ(center->GetNotifyCenter(1), nullptr);
}

}  // namespace
