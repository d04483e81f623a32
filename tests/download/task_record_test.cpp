#include "download/task_record.h"

#include <gtest/gtest.h>

namespace {

TEST(TaskRecord, FreshRecordHoldsTheDefaults) {
    auto p = NewTaskParam();
    EXPECT_EQ(p->mode, 1);
    EXPECT_EQ(p->address, std::string());
    EXPECT_EQ(p->targetPath, std::string());
    EXPECT_EQ(p->ftpUser, "anonymous");
    ASSERT_TRUE(p->ftpPassword);
    EXPECT_EQ(p->ftpPassword->size(), 17u);
    EXPECT_NE(p->ftpPassword->find('@'), std::string::npos);
    EXPECT_EQ(p->connections, 1);
    EXPECT_EQ(p->speedLimit, 0);
    EXPECT_EQ(p->connectTimeout, 20000);
    EXPECT_EQ(p->sendTimeout, 20000);
    EXPECT_EQ(p->receiveTimeout, 20000);
    EXPECT_EQ(p->stopWait, 1000);
    EXPECT_EQ(p->receiveBlock, 20480);
    EXPECT_EQ(p->sendBlock, 1024);
    EXPECT_EQ(p->logCallback, nullptr);
    EXPECT_EQ(p->eventCallback, nullptr);
    EXPECT_EQ(p->uploadName, std::string());
    EXPECT_EQ(p->transferType, 1);
    EXPECT_EQ(p->binaryTypes, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
    EXPECT_EQ(p->binaryTypes->size(), 33u);
    EXPECT_FALSE(p->proxy);    // nothing, not an empty text
    EXPECT_FALSE(p->referer);

    ReleaseTaskParam(*p);
    EXPECT_FALSE(p->address);
    EXPECT_FALSE(p->binaryTypes);
}

}  // namespace
