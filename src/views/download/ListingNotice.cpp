#include "download/ListingNotice.h"

#include "AppModel.h"
#include "Session.h"
#include "Strings.h"
#include "kit/LinkButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ListingNotice::ListingNotice(AppModel* model, QWidget* parent)
    : NoticeFrame(Theme::Ink::Warning, 10, parent), m_model(model) {
    setObjectName(QStringLiteral("listing_notice"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setSpacing(6);
    auto* head = new QHBoxLayout;
    head->setSpacing(6);
    const int side = TextStyle::font(TextStyle::Role::Callout).pointSize() + 5;
    head->addWidget(
        new SymbolLabel(QStringLiteral("list.bullet.rectangle"), side, Theme::Ink::Primary, this));
    m_title = new QLabel(this);
    m_title->setWordWrap(true);
    TextStyle::apply(m_title, TextStyle::Role::Callout, QFont::Medium);
    head->addWidget(m_title, 1);
    stack->addLayout(head);
    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("listing_detail"));
    m_detail->setWordWrap(true);
    TextStyle::apply(m_detail, TextStyle::Role::Caption);
    Theme::setForeground(m_detail, Theme::Ink::Secondary);
    stack->addWidget(m_detail);
    m_batch = new LinkButton(QStringLiteral("tab_batch"), this);
    connect(m_batch, &QPushButton::clicked, this, [this] { m_model->setTab(AppModel::Tab::Batch); });
    stack->addWidget(m_batch, 0, Qt::AlignLeft);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &ListingNotice::retranslate);
    retranslate();
}

void ListingNotice::setKind(const QString& kind) {
    m_kind = kind;
    retranslate();
}

void ListingNotice::retranslate() {
    m_title->setText(Strings::text(QStringLiteral("status_listing_url")));
    m_detail->setText(Strings::text(m_kind == QLatin1String("channel")
                                        ? QStringLiteral("log_listing_channel")
                                        : QStringLiteral("log_listing_playlist")));
    m_batch->setText(Strings::text(QStringLiteral("tab_batch")));
}
