#include "settings/DeleteModelAlert.h"

#include "Job.h"
#include "Strings.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

QMessageBox* askDeleteModel(QWidget* parent, qint64 bytesOnDisk, std::function<void()> remove) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("title_delete_model"));
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(Strings::text(QStringLiteral("title_delete_model")));
    box->setWindowTitle(Strings::text(QStringLiteral("title_delete_model")));
    box->setInformativeText(Strings::text(QStringLiteral("msg_delete_model"),
                                          {{QStringLiteral("size"), Job::byteCount(bytesOnDisk)}}));
    // Room for the sentence on a few lines rather than a narrow column of words.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = box->findChild<QLabel*>(QString::fromLatin1(name)))
            label->setMinimumWidth(360);
    }
    QPushButton* confirm =
        box->addButton(Strings::text(QStringLiteral("button_delete_model")), QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("button_delete_model"));
    QPushButton* cancel =
        box->addButton(Strings::text(QStringLiteral("button_cancel")), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("button_cancel"));
    box->setEscapeButton(cancel);
    box->setDefaultButton(cancel);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, confirm, remove = std::move(remove)] {
        if (box->clickedButton() == confirm && remove)
            remove();
        box->deleteLater();
    });
    box->open();
    return box;
}
