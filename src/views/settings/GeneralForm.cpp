#include "settings/GeneralForm.h"

#include "settings/SettingBindings.h"
#include "settings/SettingPicker.h"
#include "settings/SettingsNames.h"

#include "kit/Switch.h"
#include "kit/TextsFollow.h"
#include "settings/FolderLabel.h"

#include "AppModel.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SettingBindings;

GeneralForm::GeneralForm(AppModel& model, QWidget* parent)
    : SettingsForm(model, parent), m_model(model), m_folder(new FolderLabel),
      m_language(new SettingPicker(QStringLiteral("label_interface_language"))),
      m_appearance(new SettingPicker(QStringLiteral("menu_view"))),
      m_searchEngine(new SettingPicker(QStringLiteral("v2_label_search_engine"))) {
    setObjectName(QStringLiteral("generalForm"));

    QVBoxLayout* folder = addSection();
    auto* chooser = new QWidget;
    auto* chooserRow = new QHBoxLayout(chooser);
    chooserRow->setContentsMargins(0, 0, 0, 0);
    chooserRow->setSpacing(8);
    m_folder->setObjectName(QStringLiteral("folderName"));
    auto* browse = new QPushButton;
    browse->setObjectName(QStringLiteral("button_browse"));
    followTexts(model, browse, [browse] { browse->setText(Strings::text(QStringLiteral("button_browse"))); });
    chooserRow->addWidget(m_folder, 1);
    chooserRow->addWidget(browse);
    chooser->setMaximumWidth(360);
    chooser->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    addRow(folder, QStringLiteral("label_download_folder"), chooser);
    connect(browse, &QPushButton::clicked, this, [this] {
        spawn(this, [model = &m_model]() -> QCoro::Task<void> {
            co_await model->sessionPart().chooseOutputFolder();
        });
    });

    auto* ask = new Switch(QStringLiteral("v2_ask_where_to_save"));
    addRow(folder, QStringLiteral("v2_ask_where_to_save"), ask);
    bindFlag(model, ask, Setting::askWhereToSave);
    addHint(folder, QStringLiteral("v2_ask_where_to_save_hint"));

    QVBoxLayout* look = addSection();
    addRow(look, QStringLiteral("label_interface_language"), m_language);
    addRow(look, QStringLiteral("menu_view"), m_appearance);
    savePicks(model, m_language, Setting::language, [this] { refresh(); });
    savePicks(model, m_appearance, Setting::appearance, [this] { refresh(); });

    QVBoxLayout* search = addSection();
    addRow(search, QStringLiteral("v2_label_search_engine"), m_searchEngine);
    savePicks(model, m_searchEngine, Setting::searchEngine, [this] { refresh(); });

    connect(&model.sessionPart(), &Session::settingsChanged, this, &GeneralForm::refresh);
    followTexts(model, this, [this] { refresh(); });
}

void GeneralForm::refresh() {
    const std::optional<EngineSettings>& settings = m_model.sessionPart().settings();
    const QString dir = Setting::outputDir.read(settings);
    m_folder->setFullText(SettingsNames::folderName(dir));
    // The whole path, also when the name is not cut.
    m_folder->setToolTip(dir);

    QList<SettingPicker::Option> languages;
    for (const QString& code : Setting::languages.read(settings))
        languages.append({code, SettingsNames::languageName(code)});
    m_language->setOptions(languages, Setting::language.read(settings));

    QList<SettingPicker::Option> appearances;
    for (const QString& value : Setting::appearances.read(settings))
        appearances.append({value, Strings::text(SettingsNames::appearanceKey(value))});
    m_appearance->setOptions(appearances, Setting::appearance.read(settings));

    QList<SettingPicker::Option> engines;
    for (const QString& name : Setting::searchEngines.read(settings))
        engines.append({name, name});
    m_searchEngine->setOptions(engines, Setting::searchEngine.read(settings));
}
