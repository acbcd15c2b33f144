#include "kit/Alert.h"

#include "Strings.h"

#include <QLabel>
#include <QPushButton>

namespace {

// Gives the title and the message of `box` at least `width` pixels each.
void widenText(QMessageBox* box, int width) {
    // On the labels themselves: the box lays itself out anew whenever its icon or style changes.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty() &&
            (label->text() == box->text() || label->text() == box->informativeText()))
            label->setMinimumWidth(width);
    }
}

} // namespace

namespace Alert {

QMessageBox* make(const Content& content, QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(content.titleKey);
    box->setIcon(content.icon);
    box->setTextFormat(Qt::PlainText);
    box->setText(Strings::text(content.titleKey));
    box->setWindowTitle(Strings::text(content.titleKey));
    if (content.message) {
        box->setInformativeText(*content.message);
        // Engine text is never markup; the box does not pass its text format on to the message's label.
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == *content.message)
                label->setTextFormat(Qt::PlainText);
        }
    }
    widenText(box, content.textWidth);
    for (const Button& b : content.buttons) {
        QPushButton* button = box->addButton(Strings::text(b.key), b.role);
        button->setObjectName(b.key);
        if (b.role == QMessageBox::RejectRole) {
            box->setEscapeButton(button);
            box->setDefaultButton(button);
        }
    }
    if (!box->escapeButton() && content.buttons.size() == 1)
        box->setEscapeButton(box->buttons().constFirst());
    box->setWindowModality(Qt::WindowModal);
    return box;
}

} // namespace Alert
