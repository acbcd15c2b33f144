#pragma once

#include <QObject>

class AppModel;

// What was downloaded: the library list and its paging, the filter, transcript search and thumbnails.
class Library : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Library(AppModel& app);

private:
    AppModel& m_app;
};
