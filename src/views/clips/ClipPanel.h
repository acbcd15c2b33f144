#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class BoundControl;
class ClipJob;
class ElidedLabel;
class FrameSource;
class LinkButton;
class PlayerSession;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class SegmentedBar;
class SymbolLabel;
class TrimTimeline;

// The lower part of the player sheet: the clip's bounds on the timeline and in two timecode fields, its
// length, how it is cut, and the extraction: progress while it runs, then its result or failure above
// the buttons that cut the next one.
class ClipPanel : public QWidget {
    Q_OBJECT

public:
    ClipPanel(PlayerSession* session, FrameSource* frames, QWidget* parent = nullptr);

    TrimTimeline* timeline() const { return m_timeline; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintIcons();
    void retranslate();
    void syncPlayer();
    void syncBounds();
    void syncMode();
    void syncSuggestion();
    void followJob();
    void syncJob();

    PlayerSession* m_session;
    QLabel* m_title;
    QCheckBox* m_audioOnly;
    TrimTimeline* m_timeline;
    BoundControl* m_start;
    BoundControl* m_end;
    QLabel* m_lengthTitle;
    QLabel* m_length;
    SegmentedBar* m_mode;
    QLabel* m_modeHelp;

    QWidget* m_progressRow;
    QProgressBar* m_progress;
    QLabel* m_percent;
    LinkButton* m_cancel;
    QWidget* m_resultRow;
    QLabel* m_resultIcon;
    ElidedLabel* m_resultName;
    LinkButton* m_view;
    QWidget* m_failureRow;
    QLabel* m_failure;
    QWidget* m_actionRow;
    QPushButton* m_play;
    QPushButton* m_extract;
    ElidedLabel* m_into;

    std::shared_ptr<ClipJob> m_job;
    QMetaObject::Connection m_jobConnection;
};
