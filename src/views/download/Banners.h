#pragma once

#include <QWidget>

class AppModel;
class LinkButton;
class NoticeFrame;
class QLabel;
class QVBoxLayout;

// The notices at the top of the download and batch panes: the missing script runtime, the last error and
// an available update, in that order, each shown while its state holds and dismissed by clearing that
// state (so both panes agree).
class Banners : public QWidget {
    Q_OBJECT

public:
    explicit Banners(AppModel* model, QWidget* parent = nullptr);

    NoticeFrame* runtimeBanner() const { return m_runtime; }
    NoticeFrame* errorBanner() const { return m_error; }
    NoticeFrame* updateBanner() const { return m_update; }

private:
    void refresh();
    void retranslate();

    AppModel* m_model;
    NoticeFrame* m_runtime;
    QLabel* m_runtimeTitle;
    QLabel* m_runtimeBody;
    LinkButton* m_help;
    LinkButton* m_runtimeDismiss;
    NoticeFrame* m_error;
    QLabel* m_errorMessage;
    QLabel* m_errorCaption;
    LinkButton* m_errorView;
    LinkButton* m_errorDismiss;
    NoticeFrame* m_update;
    QLabel* m_updateText;
    LinkButton* m_updateView;
    LinkButton* m_updateDismiss;
};
