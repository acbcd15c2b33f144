#pragma once

#include "shell/PlayerTarget.h"

#include <QDialog>

class AppModel;
class ClipPanel;
class FrameSource;
class MediaPort;
class PlayerControls;
class PlayerSession;
class QLabel;
class QPushButton;
class QStackedWidget;
class RowIcon;
class VideoView;

// The sheet that plays one file at a passage a transcript search found (or from its beginning), shows
// the passage's excerpt and hosts the clip panel. It opens its file once; closing it stops playback for
// good, also while the file is still opening.
class TranscriptPlayer : public QDialog {
    Q_OBJECT

public:
    // The media port and frame source of the desktop.
    TranscriptPlayer(AppModel* model, const PlayerTarget& target, QWidget* parent = nullptr);
    // Takes the port and the frame source over (tests pass fakes; a null source leaves the strip plain).
    TranscriptPlayer(AppModel* model, const PlayerTarget& target, MediaPort* port, FrameSource* frames,
                     QWidget* parent = nullptr);
    ~TranscriptPlayer() override;

    PlayerSession* session() const { return m_session; }
    ClipPanel* clipPanel() const { return m_clipPanel; }
    VideoView* video() const { return m_video; }
    PlayerControls* controls() const { return m_controls; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeUnavailable();
    QWidget* makeExcerptRow(const QString& excerpt);
    void retranslate();
    void syncStage();
    void syncTime();

    AppModel* m_model;
    PlayerTarget m_target;
    PlayerSession* m_session;
    QLabel* m_title;
    QLabel* m_time;
    QPushButton* m_close;
    QStackedWidget* m_area;
    VideoView* m_video;
    PlayerControls* m_controls;
    QWidget* m_loading;
    QWidget* m_unavailable;
    QLabel* m_unsupported;
    QLabel* m_unsupportedHelp;
    QPushButton* m_openExternal;
    ClipPanel* m_clipPanel;
    QLabel* m_excerptText = nullptr;
    RowIcon* m_excerptCopy = nullptr;
    QString m_excerpt;
};
