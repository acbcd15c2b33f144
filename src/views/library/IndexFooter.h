#pragma once

#include <QWidget>

class AppModel;
class LinkButton;
class QLabel;
class QProgressBar;

// The footer of the library: how many transcripts the search index holds, the transcriptions under way,
// and the button that rebuilds the index (disabled while a rebuild runs).
class IndexFooter : public QWidget {
    Q_OBJECT

public:
    explicit IndexFooter(AppModel* model, QWidget* parent = nullptr);

    bool reindexing() const { return m_reindexing; }
    QLabel* indexLine() const { return m_index; }
    QLabel* workingLine() const { return m_working; }
    LinkButton* reindexButton() const { return m_reindex; }

    // Rebuilds the index, then reads the status afresh; the button comes back whatever the outcome.
    void reindex();

private:
    void refresh();

    AppModel* m_model;
    bool m_reindexing = false;
    QLabel* m_index;
    QProgressBar* m_spinner;
    QLabel* m_working;
    LinkButton* m_reindex;
};
