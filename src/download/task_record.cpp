#include "download/task_record.h"

std::unique_ptr<engine::TaskParam> NewTaskParam() {
    // All fields start as zero (nothing), then each default is stored in field order.
    auto p = std::make_unique<engine::TaskParam>();
    p->mode = 1;
    p->address = std::string();
    p->targetPath = std::string();
    p->ftpUser = std::string("anonymous");
    p->ftpPassword = std::string("guest@example.org");  // 17 characters, e-mail-shaped
    p->connections = 1;
    p->speedLimit = 0;
    p->connectTimeout = 20000;
    p->sendTimeout = 20000;
    p->receiveTimeout = 20000;
    p->stopWait = 1000;
    p->receiveBlock = 20480;
    p->sendBlock = 1024;
    p->uploadName = std::string();
    p->transferType = 1;
    p->binaryTypes = std::string(".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
    return p;
}

void ReleaseTaskParam(engine::TaskParam& p) {
    p.address.reset();
    p.targetPath.reset();
    p.ftpUser.reset();
    p.ftpPassword.reset();
    p.uploadName.reset();
    p.binaryTypes.reset();
    p.proxy.reset();
    p.referer.reset();
}
