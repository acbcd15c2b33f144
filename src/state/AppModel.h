#pragma once

#include "EngineClient.h"
#include "EngineEvent.h"
#include "Services.h"

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

class BrowserSession;
struct EngineSettings;
class Session;
class DownloadQueue;
class Library;
class Transcriptions;
class SpeechModels;
class Clips;
class Composition;
class Prompts;

// The application's state, on the GUI thread: the front door that owns the parts (the engine session, the
// download queue, the library, ...; each with its own signals, reached through the accessors below), hands
// each engine event to the part it concerns and keeps what the window shows across parts: the selected
// tab and the status line.
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(int tab READ tabIndex NOTIFY tabChanged)

public:
    enum class Tab { Download = 0, Batch, Transcription, Downloads, Browser, Settings };
    static std::optional<Tab> tabFromRaw(int raw);

    AppModel(Services services, EngineLocations locations, QObject* parent = nullptr);
    ~AppModel() override;

    // The application's one instance, for main() and code outside the views. makeShared() is called
    // once by main() with the desktop services.
    static AppModel& shared();
    static AppModel& makeShared(Services services, EngineLocations locations);

    // ---- parts ----
    Session& sessionPart() const { return *m_sessionPart; }
    DownloadQueue& queuePart() const { return *m_queuePart; }
    Library& libraryPart() const { return *m_libraryPart; }
    Transcriptions& transcriptionsPart() const { return *m_transcriptionsPart; }
    SpeechModels& modelsPart() const { return *m_modelsPart; }
    Clips& clipsPart() const { return *m_clipsPart; }
    Composition& compositionPart() const { return *m_compositionPart; }
    Prompts& promptsPart() const { return *m_promptsPart; }

    // What the parts load from a freshly started engine, in order; called by the session's start.
    QCoro::Task<void> loadParts(EngineSettings settings);

    EngineClient& engine() { return *m_engine; }
    BrowserSession& browser() { return *m_browser; }
    const Services& services() const { return m_services; }

    // ---- navigation ----
    Tab tab() const { return m_tab; }
    int tabIndex() const { return static_cast<int>(m_tab); }
    void setTab(Tab tab);
    // The tab of the settings pane that shows when the pane is next shown (and at once, when it is up).
    enum class SettingsSection { General = 0, Downloads, Transcription };
    SettingsSection settingsSection() const { return m_settingsSection; }
    void setSettingsSection(SettingsSection section);
    // Another view asks for a part of the settings: that section, in the settings tab.
    void showSettings(SettingsSection section);

    // ---- event pump ----
    // Applies one engine event completely, without suspending.
    void apply(const EngineEvent& event);

    // The status line: the analysis, the current download, or ready.
    QString status() const;

Q_SIGNALS:
    void tabChanged();
    void settingsSectionChanged();
    // Computed value: emitted only when its value really changed.
    void statusChanged();

private:
    // Recomputes status and signals it when it changed.
    void refreshDerived();

    Services m_services;
    EngineClient* m_engine;
    BrowserSession* m_browser;

    Tab m_tab = Tab::Download;
    SettingsSection m_settingsSection = SettingsSection::General;
    QString m_shownStatus;

    // Last, so that they go first: a part may use the fields above while it is destroyed.
    std::unique_ptr<Session> m_sessionPart;
    std::unique_ptr<DownloadQueue> m_queuePart;
    std::unique_ptr<Library> m_libraryPart;
    std::unique_ptr<Transcriptions> m_transcriptionsPart;
    std::unique_ptr<SpeechModels> m_modelsPart;
    std::unique_ptr<Clips> m_clipsPart;
    std::unique_ptr<Composition> m_compositionPart;
    std::unique_ptr<Prompts> m_promptsPart;
};
