#pragma once

#include <QWidget>

class AppModel;
class Banners;
class BatchNotes;
class EmptyNotice;
class LinkButton;
class PasteField;
class QLabel;
class QPushButton;
class QScrollArea;
class QueueListView;
class QueueSummary;
class Spinner;

// The Batch tab: the banners, the paste field with its buttons, the notes of the last resolve and the
// queue, all scrolling together, with the queue's summary pinned at the bottom. Listings found by a
// resolve are picked in the listing picker, which the root view presents.
class BatchPane : public QWidget {
    Q_OBJECT

public:
    explicit BatchPane(AppModel* model, QWidget* parent = nullptr);

    QScrollArea* scrollArea() const { return m_scroll; }
    Banners* banners() const { return m_banners; }
    PasteField* field() const { return m_field; }
    QPushButton* addButton() const { return m_add; }
    Spinner* spinner() const { return m_spinner; }
    LinkButton* resumeAllButton() const { return m_resumeAll; }
    LinkButton* clearButton() const { return m_clear; }
    BatchNotes* notes() const { return m_notes; }
    EmptyNotice* emptyNotice() const { return m_empty; }
    QueueListView* queueList() const { return m_list; }
    QueueSummary* summary() const { return m_summary; }

    static constexpr int emptyHeight = 220;

    // What the add button does: the field empties at once and its text goes to the resolve.
    void add();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void retranslate();
    void refreshField();
    void refreshButtons();
    void scheduleButtons();
    void refreshQueue();

    AppModel* m_model;
    QScrollArea* m_scroll;
    Banners* m_banners;
    QLabel* m_label;
    PasteField* m_field;
    QLabel* m_hint;
    QPushButton* m_add;
    Spinner* m_spinner;
    LinkButton* m_resumeAll;
    LinkButton* m_clear;
    BatchNotes* m_notes;
    EmptyNotice* m_empty;
    QueueListView* m_list;
    QueueSummary* m_summary;
    bool m_buttonsScheduled = false;
    bool m_syncing = false;
};
