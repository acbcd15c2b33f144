#pragma once

#include "kit/RowListView.h"

#include <QWidget>

class AppModel;
class DropZone;
class EmptyNotice;
class LinkButton;
class QStackedLayout;
class TranscriptionFooter;
class TranscriptionListModel;

// The Transcription tab: files are dropped or chosen to be transcribed, their jobs listed (ordered by
// id) with their progress, and the footer tells which model and language run and where transcripts go.
// On a machine the engine cannot transcribe on, one notice takes the whole pane.
class TranscriptionPane : public QWidget {
    Q_OBJECT

public:
    explicit TranscriptionPane(AppModel* model, QWidget* parent = nullptr);

    DropZone* dropZone() const { return m_dropZone; }
    RowListView* list() const { return m_list; }
    TranscriptionListModel* rows() const { return m_rows; }
    EmptyNotice* emptyNotice() const { return m_empty; }
    EmptyNotice* unsupportedNotice() const { return m_unsupported; }
    LinkButton* clearButton() const { return m_clear; }
    TranscriptionFooter* footer() const { return m_footer; }
    // True when the unsupported notice stands in for the pane.
    bool showsUnsupported() const;

private:
    void refresh();
    // Runs one of the controls of the job of `row` from the keyboard; false when the row has none such.
    bool runControl(int row, int control);

    AppModel* m_model;
    QStackedLayout* m_stack;
    EmptyNotice* m_unsupported;
    QWidget* m_content;
    DropZone* m_dropZone;
    LinkButton* m_clear;
    QWidget* m_clearRow;
    RowListView* m_list;
    TranscriptionListModel* m_rows;
    EmptyNotice* m_empty;
    TranscriptionFooter* m_footer;
};
