#pragma once

#include <QPushButton>

// A button drawn as a link: no bezel, the accent colour (or the ink it is given), a pointing hand. An
// optional symbol stands before the text.
class LinkButton : public QPushButton {
    Q_OBJECT

public:
    explicit LinkButton(const QString& objectName, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintSymbol();

    QString m_symbol;
};
