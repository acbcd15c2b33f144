#pragma once

#include <QObject>
#include <QString>

#include <optional>

class AppModel;

// The flags behind the sheets and alerts the window raises: the state sets one, the window shows what it
// asks for and clears it when the user closed it.
class Prompts : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showLogSheet READ showLogSheet WRITE setShowLogSheet NOTIFY showLogSheetChanged)
    Q_PROPERTY(
        bool showReportSheet READ showReportSheet WRITE setShowReportSheet NOTIFY showReportSheetChanged)
    Q_PROPERTY(bool confirmClearQueue READ confirmClearQueue WRITE setConfirmClearQueue NOTIFY
                   confirmClearQueueChanged)
    Q_PROPERTY(bool batchDuplicateNotice READ batchDuplicateNotice WRITE setBatchDuplicateNotice NOTIFY
                   batchDuplicateNoticeChanged)
    Q_PROPERTY(bool fileMissingNotice READ fileMissingNotice WRITE setFileMissingNotice NOTIFY
                   fileMissingNoticeChanged)
    Q_PROPERTY(bool confirmClearBrowserData READ confirmClearBrowserData WRITE setConfirmClearBrowserData
                   NOTIFY confirmClearBrowserDataChanged)
    Q_PROPERTY(bool browserDataCleared READ browserDataCleared WRITE setBrowserDataCleared NOTIFY
                   browserDataClearedChanged)
    Q_PROPERTY(bool jsBannerDismissed READ jsBannerDismissed WRITE setJsBannerDismissed NOTIFY
                   jsBannerDismissedChanged)

public:
    // Asks the window to offer the model of `key` for download.
    struct ModelOptInRequest {
        QString key;
        bool operator==(const ModelOptInRequest&) const = default;
    };

    // Owned by `app`, which outlives it.
    explicit Prompts(AppModel& app);

    bool showLogSheet() const { return m_showLogSheet; }
    void setShowLogSheet(bool show);
    bool showReportSheet() const { return m_showReportSheet; }
    void setShowReportSheet(bool show);
    bool confirmClearQueue() const { return m_confirmClearQueue; }
    void setConfirmClearQueue(bool show);
    bool batchDuplicateNotice() const { return m_batchDuplicateNotice; }
    void setBatchDuplicateNotice(bool show);
    bool fileMissingNotice() const { return m_fileMissingNotice; }
    void setFileMissingNotice(bool show);
    bool confirmClearBrowserData() const { return m_confirmClearBrowserData; }
    void setConfirmClearBrowserData(bool show);
    bool browserDataCleared() const { return m_browserDataCleared; }
    void setBrowserDataCleared(bool show);
    bool jsBannerDismissed() const { return m_jsBannerDismissed; }
    void setJsBannerDismissed(bool dismissed);
    const std::optional<ModelOptInRequest>& modelOptIn() const { return m_modelOptIn; }
    void setModelOptIn(const std::optional<ModelOptInRequest>& request);
    // Why the last file handed over for transcription was refused.
    const std::optional<QString>& transcriptionRefusal() const { return m_transcriptionRefusal; }
    void setTranscriptionRefusal(const std::optional<QString>& text);
    // A refusal was made in this turn of the event loop: files handed over together (a drop, a choice of
    // several) keep it even when a later one of them is taken.
    bool refusedThisTurn() const { return m_refusedThisTurn; }

Q_SIGNALS:
    void showLogSheetChanged();
    void showReportSheetChanged();
    void confirmClearQueueChanged();
    void batchDuplicateNoticeChanged();
    void fileMissingNoticeChanged();
    void confirmClearBrowserDataChanged();
    void browserDataClearedChanged();
    void jsBannerDismissedChanged();
    void modelOptInChanged();
    void transcriptionRefusalChanged();

private:
    bool m_showLogSheet = false;
    bool m_showReportSheet = false;
    bool m_confirmClearQueue = false;
    bool m_batchDuplicateNotice = false;
    bool m_fileMissingNotice = false;
    bool m_confirmClearBrowserData = false;
    bool m_browserDataCleared = false;
    bool m_jsBannerDismissed = false;
    std::optional<ModelOptInRequest> m_modelOptIn;
    std::optional<QString> m_transcriptionRefusal;
    bool m_refusedThisTurn = false;
};
