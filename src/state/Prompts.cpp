#include "Prompts.h"

#include "Assign.h"

#include <QTimer>

Prompts::Prompts(AppModel&) {}

void Prompts::setShowLogSheet(bool show) {
    assign(this, m_showLogSheet, show, &Prompts::showLogSheetChanged);
}

void Prompts::setShowReportSheet(bool show) {
    assign(this, m_showReportSheet, show, &Prompts::showReportSheetChanged);
}

void Prompts::setConfirmClearQueue(bool show) {
    assign(this, m_confirmClearQueue, show, &Prompts::confirmClearQueueChanged);
}

void Prompts::setBatchDuplicateNotice(bool show) {
    assign(this, m_batchDuplicateNotice, show, &Prompts::batchDuplicateNoticeChanged);
}

void Prompts::setFileMissingNotice(bool show) {
    assign(this, m_fileMissingNotice, show, &Prompts::fileMissingNoticeChanged);
}

void Prompts::setConfirmClearBrowserData(bool show) {
    assign(this, m_confirmClearBrowserData, show, &Prompts::confirmClearBrowserDataChanged);
}

void Prompts::setBrowserDataCleared(bool show) {
    assign(this, m_browserDataCleared, show, &Prompts::browserDataClearedChanged);
}

void Prompts::setJsBannerDismissed(bool dismissed) {
    assign(this, m_jsBannerDismissed, dismissed, &Prompts::jsBannerDismissedChanged);
}

void Prompts::setModelOptIn(const std::optional<ModelOptInRequest>& request) {
    assign(this, m_modelOptIn, request, &Prompts::modelOptInChanged);
}

void Prompts::setTranscriptionRefusal(const std::optional<QString>& text) {
    if (text && !m_refusedThisTurn) {
        m_refusedThisTurn = true;
        QTimer::singleShot(0, this, [this] { m_refusedThisTurn = false; });
    }
    assign(this, m_transcriptionRefusal, text, &Prompts::transcriptionRefusalChanged);
}
