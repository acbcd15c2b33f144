#pragma once

#include <QPushButton>
#include <QString>

// The accent-filled button of a pane's main action; its colours follow the appearance. An optional
// symbol stands before the text.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    explicit ProminentButton(const QString& symbol = {}, QWidget* parent = nullptr);

protected:
    bool event(QEvent* e) override;

private:
    void restyle();

    QString m_symbol;
};
