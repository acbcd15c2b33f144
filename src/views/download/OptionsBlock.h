#pragma once

#include "kit/Card.h"

class AppModel;
class FormatControls;
class LinkButton;
class QLabel;

// The options card: the one-line summary of the format with a link that opens the full format controls
// (and closes them again); the open state is the state's, kept across restarts.
class OptionsBlock : public Card {
    Q_OBJECT

public:
    explicit OptionsBlock(AppModel* model, QWidget* parent = nullptr);

    QLabel* summaryLabel() const { return m_summary; }
    LinkButton* toggleButton() const { return m_toggle; }
    FormatControls* controls() const { return m_controls; }

private:
    void refresh();

    AppModel* m_model;
    QLabel* m_summary;
    LinkButton* m_toggle;
    FormatControls* m_controls;
};
