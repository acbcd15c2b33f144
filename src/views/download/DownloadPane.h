#pragma once

#include "download/DownloadStage.h"

#include <QWidget>

class ActionRow;
class AnalysingCard;
class AppModel;
class Composition;
class Banners;
class DownloadCard;
class EmptyStateSteps;
class ListingNotice;
class NoticeFrame;
class OptionsBlock;
class PreviewCard;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QScrollArea;

// The Download tab: banners, the address row, the stage (the one card that says what is going on), the
// options block and the action row. Links, text and files dropped on it fill the address field; the
// analysis starts only when the user asks for it.
class DownloadPane : public QWidget {
    Q_OBJECT

public:
    explicit DownloadPane(AppModel* model, QWidget* parent = nullptr);

    DownloadStage stage() const { return m_stage; }
    // The address a drop would put in the field: a file's plain path or a link's full address; nothing
    // for anything else.
    static std::optional<QString> droppedAddress(const QMimeData* data);

    QLineEdit* field() const { return m_field; }
    QPushButton* scanButton() const { return m_scan; }
    QWidget* dropOverlay() const { return m_overlay; }
    Banners* banners() const { return m_banners; }
    DownloadCard* downloadCard() const { return m_downloadCard; }
    PreviewCard* previewCard() const { return m_preview; }
    OptionsBlock* optionsBlock() const { return m_options; }
    ActionRow* actionRow() const { return m_actions; }
    QScrollArea* scrollArea() const { return m_scroll; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshStage();
    void refreshField();
    void retranslate();
    void watchCurrentDownload();
    void analyze();
    void setDropTargeted(bool targeted);

    AppModel* m_model;
    // The part most of what it shows comes from.
    Composition& m_composition;
    DownloadStage m_stage = DownloadStage::Empty;
    QScrollArea* m_scroll;
    Banners* m_banners;
    QLabel* m_urlLabel;
    QLineEdit* m_field;
    QPushButton* m_scan;
    QLabel* m_hint;
    DownloadCard* m_downloadCard;
    AnalysingCard* m_analysing;
    ListingNotice* m_listing;
    PreviewCard* m_preview;
    NoticeFrame* m_failure;
    QLabel* m_failureText;
    EmptyStateSteps* m_empty;
    OptionsBlock* m_options;
    ActionRow* m_actions;
    QWidget* m_overlay;
    QMetaObject::Connection m_jobState;
};
