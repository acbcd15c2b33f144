#pragma once

#include <QWidget>

class AppModel;
class LinkButton;
class QLabel;
class QPushButton;

// The Download button (also Ctrl+Return), the "saved in" link that chooses the folder, and the status
// line, replaced by an orange link to the log while an error stands.
class ActionRow : public QWidget {
    Q_OBJECT

public:
    explicit ActionRow(AppModel* model, QWidget* parent = nullptr);

    QPushButton* downloadButton() const { return m_download; }
    LinkButton* folderLink() const { return m_folder; }
    LinkButton* errorLink() const { return m_error; }
    QLabel* statusLabel() const { return m_status; }

    // What the Download button does; nothing when it is disabled.
    void triggerDownload();

private:
    void refresh();
    void watchCurrentDownload();

    AppModel* m_model;
    QPushButton* m_download;
    LinkButton* m_folder;
    LinkButton* m_error;
    QLabel* m_status;
    QMetaObject::Connection m_jobState;
};
