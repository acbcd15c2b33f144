#include "TrayPanel.h"

#include "DownloadQueue.h"
#include "kit/LinkButton.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "shell/StartNow.h"

#include "AppModel.h"
#include "ClipboardSource.h"
#include "Fraction.h"
#include "Job.h"
#include "Strings.h"
#include "TextTrim.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setObjectName(QStringLiteral("divider"));
    Theme::setForeground(line, Theme::Ink::Quaternary);
    return line;
}

constexpr int barSteps = 1000;

} // namespace

TrayPanel::TrayPanel(AppModel& model, QWidget* parent) : QFrame(parent, Qt::Popup), m_model(model) {
    setObjectName(QStringLiteral("trayPanel"));
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(panelWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    auto* fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(8);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("placeholder_url"));
    m_field->setClearButtonEnabled(false);
    m_download = new QPushButton(this);
    m_download->setObjectName(QStringLiteral("button_download"));
    m_download->setDefault(true);
    fieldRow->addWidget(m_field, 1);
    fieldRow->addWidget(m_download);
    column->addLayout(fieldRow);

    m_paste = new LinkButton(QStringLiteral("menu_paste"), this);
    m_paste->setSymbol(QStringLiteral("doc.on.clipboard"));
    column->addWidget(m_paste, 0, Qt::AlignLeft);

    m_ready = new QLabel(this);
    m_ready->setObjectName(QStringLiteral("status_ready"));
    TextStyle::apply(m_ready, TextStyle::Role::Caption);
    Theme::setForeground(m_ready, Theme::Ink::Secondary);
    column->addWidget(m_ready);

    m_jobsDivider = divider(this);
    column->addWidget(m_jobsDivider);
    for (int i = 0; i < maxJobs; ++i) {
        auto* box = new QWidget(this);
        box->setObjectName(QStringLiteral("trayJob"));
        auto* stack = new QVBoxLayout(box);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(2);
        auto* title = new QLabel(box);
        title->setTextFormat(Qt::PlainText);
        TextStyle::apply(title, TextStyle::Role::Caption);
        auto* bar = new QProgressBar(box);
        bar->setRange(0, barSteps);
        bar->setTextVisible(false);
        bar->setFixedHeight(6);
        stack->addWidget(title);
        stack->addWidget(bar);
        column->addWidget(box);
        m_entries.push_back({box, title, bar});
    }

    column->addWidget(divider(this));
    auto* bottom = new QHBoxLayout;
    m_open = new QPushButton(this);
    m_open->setObjectName(QStringLiteral("button_open_group"));
    m_quit = new QPushButton(this);
    m_quit->setObjectName(QStringLiteral("menu_quit"));
    for (QPushButton* b : {m_open, m_quit})
        TextStyle::apply(b, TextStyle::Role::Caption);
    bottom->addWidget(m_open);
    bottom->addStretch(1);
    bottom->addWidget(m_quit);
    column->addLayout(bottom);

    connect(m_field, &QLineEdit::textChanged, this, &TrayPanel::syncButton);
    connect(m_field, &QLineEdit::returnPressed, this, &TrayPanel::send);
    connect(m_download, &QPushButton::clicked, this, &TrayPanel::send);
    connect(m_paste, &QPushButton::clicked, this, &TrayPanel::pasteAndSend);
    connect(m_open, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT openWindowRequested();
    });
    connect(m_quit, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT quitRequested();
    });
    connect(&m_model.queuePart(), &DownloadQueue::activityChanged, this, &TrayPanel::refreshJobs);
    followTexts(m_model, this, [this] { retitle(); });
    syncButton();
    refreshJobs();
}

void TrayPanel::retitle() {
    m_field->setPlaceholderText(Strings::text(QStringLiteral("placeholder_url")));
    m_download->setText(Strings::text(QStringLiteral("button_download")));
    m_paste->setText(Strings::text(QStringLiteral("menu_paste")));
    m_ready->setText(Strings::text(QStringLiteral("status_ready")));
    m_open->setText(Strings::text(QStringLiteral("button_open_group")));
    m_quit->setText(
        Strings::text(QStringLiteral("menu_quit"), {{QStringLiteral("app"), QStringLiteral("Vamber")}}));
    refreshJobs();
}

void TrayPanel::syncButton() {
    m_download->setEnabled(!trimSpacesAndTabs(m_field->text()).isEmpty());
}

void TrayPanel::send() {
    const QString address = m_field->text().trimmed();
    if (address.isEmpty())
        return;
    AppModel* model = &m_model;
    startNow([model, address]() -> QCoro::Task<void> { co_await model->queuePart().enqueue(address, true); });
    m_field->clear();
}

void TrayPanel::pasteAndSend() {
    const ClipboardSource* clipboard = m_model.services().clipboard;
    const std::optional<QString> text = clipboard ? clipboard->text() : std::nullopt;
    if (!text)
        return;
    m_field->setText(*text);
    send();
}

int TrayPanel::shownJobs() const {
    int n = 0;
    for (const JobEntry& e : m_entries)
        n += e.box->isVisibleTo(this) ? 1 : 0;
    return n;
}

void TrayPanel::refreshJobs() {
    for (const QMetaObject::Connection& c : m_jobConnections)
        disconnect(c);
    m_jobConnections.clear();
    const std::vector<std::shared_ptr<Job>> jobs = m_model.queuePart().allActiveJobs();
    const int shown = std::min<int>(maxJobs, int(jobs.size()));
    m_ready->setVisible(shown == 0);
    m_jobsDivider->setVisible(shown > 0);
    const int titleWidth = panelWidth - 28;
    for (int i = 0; i < maxJobs; ++i) {
        JobEntry& entry = m_entries[size_t(i)];
        entry.box->setVisible(i < shown);
        if (i >= shown)
            continue;
        const std::shared_ptr<Job> job = jobs[size_t(i)];
        const auto show = [entry, job = job.get(), titleWidth] {
            entry.title->setText(
                entry.title->fontMetrics().elidedText(job->title(), Qt::ElideRight, titleWidth));
            entry.title->setToolTip(job->title());
            entry.bar->setValue(int(unitFraction(job->fraction()) * barSteps));
        };
        show();
        m_jobConnections.push_back(connect(job.get(), &Job::changed, this, show));
    }
    // The height follows the content; the width stays.
    layout()->activate();
    adjustSize();
}

void TrayPanel::popUpAt(const QPoint& anchor) {
    adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(anchor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(anchor, size());
    // Below the anchor when it is in the top half of the screen (a panel at the top), else above it.
    QPoint at(anchor.x() - width() / 2, anchor.y() < room.center().y() ? anchor.y() : anchor.y() - height());
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height())));
    move(at);
    show();
    raise();
    activateWindow();
    m_field->setFocus();
}
