#include "shell/Placeholder.h"

#include "kit/EmptyNotice.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "Strings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PanePlaceholder::PanePlaceholder(const AppModel& model, QString titleKey, QString detailKey, QString symbol,
                                 QWidget* parent)
    : QWidget(parent),
      m_notice(new EmptyNotice(Strings::text(titleKey), std::move(symbol), Strings::text(detailKey), this)) {
    setObjectName(QStringLiteral("placeholder"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_notice);
    followTexts(model, this, [this, titleKey, detailKey] {
        m_notice->setTexts(Strings::text(titleKey), Strings::text(detailKey));
    });
}

SheetPlaceholder::SheetPlaceholder(QString titleKey, QString detailKey, QString closeKey, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("placeholder"));
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);
    auto* title = new QLabel(Strings::text(titleKey), this);
    title->setObjectName(QStringLiteral("placeholder.title"));
    title->setTextFormat(Qt::PlainText);
    TextStyle::apply(title, TextStyle::Role::Headline);
    layout->addWidget(title);
    auto* detail = new QLabel(Strings::text(detailKey), this);
    detail->setObjectName(QStringLiteral("placeholder.detail"));
    detail->setTextFormat(Qt::PlainText);
    detail->setWordWrap(true);
    Theme::setForeground(detail, Theme::Ink::Secondary);
    layout->addWidget(detail);
    layout->addSpacing(6);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(Strings::text(closeKey), QDialogButtonBox::RejectRole);
    close->setObjectName(closeKey);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setWindowTitle(Strings::text(titleKey));
}

void SheetPlaceholder::reject() {
    Q_EMIT cancelled();
    QDialog::reject();
}
