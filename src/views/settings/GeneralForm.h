#pragma once

#include "settings/SettingsForm.h"

class AppModel;
class FolderLabel;
class SettingPicker;

// The general tab: the download folder and whether to ask where to save, the interface language and
// appearance, and the browser's search engine.
class GeneralForm : public SettingsForm {
    Q_OBJECT
public:
    explicit GeneralForm(AppModel& model, QWidget* parent = nullptr);

private:
    void refresh();

    AppModel& m_model;
    FolderLabel* m_folder;
    SettingPicker* m_language;
    SettingPicker* m_appearance;
    SettingPicker* m_searchEngine;
};
