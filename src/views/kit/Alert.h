#pragma once

#include <QMessageBox>
#include <QString>

#include <optional>
#include <vector>

// Alerts as every place builds them: a window-modal message box named after its title's text key, the
// title as its text and window title, an optional message under it shown as written (never as markup),
// and buttons named after their text keys. A cancelling button is both the default and what Escape
// presses (only a click confirms what cannot be undone); a lone button is what Escape presses.
namespace Alert {

struct Button {
    QString key; // the text key of its label, and its objectName
    QMessageBox::ButtonRole role;
};

struct Content {
    QString titleKey;
    QMessageBox::Icon icon = QMessageBox::Warning;
    std::optional<QString> message;
    std::vector<Button> buttons;
    // The least width of the text, so a sentence takes a line rather than a narrow column of words.
    int textWidth = 320;
};

QMessageBox* make(const Content& content, QWidget* parent);

} // namespace Alert
