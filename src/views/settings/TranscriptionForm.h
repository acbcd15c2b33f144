#pragma once

#include "settings/SettingsForm.h"

#include <map>

class AppModel;
class ModelRow;
class QLabel;
class QVBoxLayout;

// The transcription tab: whether this machine can transcribe, the subtitles switch, one row per speech
// model the engine lists, and the note on a slow machine.
class TranscriptionForm : public SettingsForm {
    Q_OBJECT
public:
    explicit TranscriptionForm(AppModel& model, QWidget* parent = nullptr);

    // The rows in the engine's order.
    QList<ModelRow*> rows() const;

private:
    void refresh();
    void syncRows();

    AppModel& m_model;
    QWidget* m_unsupported;
    QVBoxLayout* m_models;
    QWidget* m_slow;
    QLabel* m_slowText;
    std::map<QString, ModelRow*> m_rows;
};
