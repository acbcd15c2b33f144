#include "DownloadQueue.h"

#include "AppModel.h"

DownloadQueue::DownloadQueue(AppModel& app) : m_app(app) {}
