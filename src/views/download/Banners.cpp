#include "download/Banners.h"

#include "AppModel.h"
#include "Prompts.h"
#include "Session.h"
#include "Strings.h"
#include "kit/LinkButton.h"
#include "kit/NoticeFrame.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/WebLink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* wrappingLabel(QWidget* parent, TextStyle::Role role,
                      std::optional<QFont::Weight> weight = std::nullopt) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    TextStyle::apply(label, role, weight);
    return label;
}

// symbol, texts, spacer, then the two controls; the whole row in the banner's ink.
QHBoxLayout* bannerRow(NoticeFrame* frame, int padding, Qt::Alignment align, const QString& symbol,
                       Theme::Ink ink, QLayout* texts, LinkButton* first, LinkButton* second) {
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(8);
    const int side = TextStyle::font(TextStyle::Role::Callout).pointSize() + 6;
    row->addWidget(new SymbolLabel(symbol, side, ink, frame), 0, align);
    row->addLayout(texts, 1);
    row->addSpacing(8);
    row->addWidget(first, 0, align);
    row->addWidget(second, 0, align);
    return row;
}

} // namespace

Banners::Banners(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("banners"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);

    // 1. The script runtime, in yellow.
    m_runtime = new NoticeFrame(Theme::Ink::Caution, 8, this);
    m_runtime->setObjectName(QStringLiteral("banner_runtime"));
    auto* runtimeTexts = new QVBoxLayout;
    runtimeTexts->setSpacing(2);
    m_runtimeTitle = wrappingLabel(m_runtime, TextStyle::Role::Callout, QFont::Medium);
    m_runtimeBody = wrappingLabel(m_runtime, TextStyle::Role::Caption);
    Theme::setForeground(m_runtimeTitle, Theme::Ink::Caution);
    Theme::setForeground(m_runtimeBody, Theme::Ink::Caution);
    runtimeTexts->addWidget(m_runtimeTitle);
    runtimeTexts->addWidget(m_runtimeBody);
    m_help = new LinkButton(QStringLiteral("button_get_help"), m_runtime);
    m_runtimeDismiss = new LinkButton(QStringLiteral("button_dismiss"), m_runtime);
    bannerRow(m_runtime, 12, Qt::AlignTop, QStringLiteral("exclamationmark.triangle.fill"),
              Theme::Ink::Caution, runtimeTexts, m_help, m_runtimeDismiss);
    connect(m_help, &QPushButton::clicked, this, [] { WebLink::open(WebLink::supportPage()); });
    connect(m_runtimeDismiss, &QPushButton::clicked, this,
            [this] { m_model->promptsPart().setJsBannerDismissed(true); });
    stack->addWidget(m_runtime);

    // 2. The last error, in orange.
    m_error = new NoticeFrame(Theme::Ink::Warning, 8, this);
    m_error->setObjectName(QStringLiteral("banner_error"));
    auto* errorTexts = new QVBoxLayout;
    errorTexts->setSpacing(2);
    m_errorMessage = wrappingLabel(m_error, TextStyle::Role::Callout);
    m_errorMessage->setObjectName(QStringLiteral("banner_error_message"));
    Theme::setForeground(m_errorMessage, Theme::Ink::Warning);
    m_errorCaption = wrappingLabel(m_error, TextStyle::Role::Caption);
    Theme::setForeground(m_errorCaption, Theme::Ink::Secondary);
    errorTexts->addWidget(m_errorMessage);
    errorTexts->addWidget(m_errorCaption);
    m_errorView = new LinkButton(QStringLiteral("button_view"), m_error);
    m_errorDismiss = new LinkButton(QStringLiteral("button_dismiss"), m_error);
    Theme::setForeground(m_errorView, Theme::Ink::Warning);
    Theme::setForeground(m_errorDismiss, Theme::Ink::Warning);
    bannerRow(m_error, 12, Qt::AlignTop, QStringLiteral("exclamationmark.triangle.fill"), Theme::Ink::Warning,
              errorTexts, m_errorView, m_errorDismiss);
    connect(m_errorView, &QPushButton::clicked, this,
            [this] { m_model->promptsPart().setShowLogSheet(true); });
    connect(m_errorDismiss, &QPushButton::clicked, this,
            [this] { m_model->sessionPart().setLastError(std::nullopt); });
    stack->addWidget(m_error);

    // 3. An available update, neutral.
    m_update = new NoticeFrame(Theme::Ink::Accent, 8, this);
    m_update->setObjectName(QStringLiteral("banner_update"));
    auto* updateTexts = new QVBoxLayout;
    m_updateText = wrappingLabel(m_update, TextStyle::Role::Callout);
    m_updateText->setObjectName(QStringLiteral("banner_update_text"));
    updateTexts->addWidget(m_updateText);
    m_updateView = new LinkButton(QStringLiteral("button_view"), m_update);
    m_updateDismiss = new LinkButton(QStringLiteral("button_dismiss"), m_update);
    bannerRow(m_update, 10, Qt::AlignVCenter, QStringLiteral("arrow.down.app"), Theme::Ink::Primary,
              updateTexts, m_updateView, m_updateDismiss);
    connect(m_updateView, &QPushButton::clicked, this, [this] {
        if (m_model->sessionPart().update())
            WebLink::open(m_model->sessionPart().update()->url);
    });
    connect(m_updateDismiss, &QPushButton::clicked, this,
            [this] { m_model->sessionPart().setUpdate(std::nullopt); });
    stack->addWidget(m_update);

    connect(&model->sessionPart(), &Session::jsRuntimeChanged, this, &Banners::refresh);
    connect(&model->promptsPart(), &Prompts::jsBannerDismissedChanged, this, &Banners::refresh);
    connect(&model->sessionPart(), &Session::lastErrorChanged, this, &Banners::refresh);
    connect(&model->sessionPart(), &Session::updateChanged, this, &Banners::refresh);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &Banners::retranslate);
    retranslate();
}

void Banners::retranslate() {
    m_runtimeTitle->setText(Strings::text(QStringLiteral("banner_no_js_runtime_title")));
    m_runtimeBody->setText(Strings::text(QStringLiteral("banner_no_js_runtime_body")));
    m_help->setText(Strings::text(QStringLiteral("button_get_help")));
    m_errorCaption->setText(Strings::text(QStringLiteral("status_error")));
    for (LinkButton* b : {m_runtimeDismiss, m_errorDismiss, m_updateDismiss})
        b->setText(Strings::text(QStringLiteral("button_dismiss")));
    m_errorView->setText(Strings::text(QStringLiteral("button_view")));
    m_updateView->setText(Strings::text(QStringLiteral("button_view")));
    refresh();
}

void Banners::refresh() {
    m_runtime->setVisible(m_model->sessionPart().jsRuntimeMissing() &&
                          !m_model->promptsPart().jsBannerDismissed());
    const auto& error = m_model->sessionPart().lastError();
    m_error->setVisible(error.has_value());
    if (error)
        m_errorMessage->setText(error->message);
    const auto& update = m_model->sessionPart().update();
    m_update->setVisible(update.has_value());
    if (update) {
        m_updateText->setText(Strings::text(QStringLiteral("title_update_available")) +
                              QStringLiteral(" \u2014 ") + update->version);
        // An address that is not http or https gets no link rather than one that would be refused.
        m_updateView->setVisible(WebLink::openable(update->url).has_value());
    }
    setVisible(m_runtime->isVisibleTo(this) || m_error->isVisibleTo(this) || m_update->isVisibleTo(this));
}
