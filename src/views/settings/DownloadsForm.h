#pragma once

#include "settings/SettingsForm.h"

class AppModel;
class SettingPicker;

// The downloads tab: the download speed, the browser whose cookies the engine uses, and the thumbnail
// and generic-extractor switches.
class DownloadsForm : public SettingsForm {
    Q_OBJECT
public:
    explicit DownloadsForm(AppModel& model, QWidget* parent = nullptr);

private:
    void refresh();

    AppModel& m_model;
    SettingPicker* m_speed;
    SettingPicker* m_cookies;
};
