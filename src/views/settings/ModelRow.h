#pragma once

#include "AppModel.h"
#include "EngineTypes.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class LinkButton;
class QLabel;
class QProgressBar;
class QToolButton;

// One speech-recognition model in the transcription settings: its name, size and last notice, and what
// can be done with it now: follow or cancel its download, download it (through the opt-in sheet), choose
// it for transcription, or delete it after a confirmation. A model this machine cannot run says what is
// missing and offers neither download nor choose; a built-in model offers no delete.
class ModelRow : public QWidget {
    Q_OBJECT
public:
    enum class Actions { Downloading, NotInstalled, Installed };

    ModelRow(AppModel& model, WhisperModel whisper, QWidget* parent = nullptr);

    const WhisperModel& whisper() const { return m_whisper; }
    // The engine listed the model again (its size or installed state may have changed).
    void setWhisper(const WhisperModel& whisper);

    Actions actions() const;
    // The bytes the size line shows: on disk when installed, else the download's.
    qint64 shownBytes() const;
    // The delete confirmation while it is up.
    QMessageBox* deleteConfirmation() const { return m_confirm; }

    // The text key of a model's name.
    static QString nameKey(const QString& modelKey);

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintCancel();
    void refresh();
    void confirmDelete();

    AppModel& m_model;
    WhisperModel m_whisper;
    QLabel* m_name;
    QLabel* m_size;
    QLabel* m_notice;
    QLabel* m_unavailable;
    QWidget* m_downloading;
    QProgressBar* m_progress;
    QToolButton* m_cancel;
    LinkButton* m_download;
    QWidget* m_installed;
    QWidget* m_ready;
    LinkButton* m_choose;
    LinkButton* m_delete;
    QPointer<QMessageBox> m_confirm;
};
