#include "BrowserPane.h"

#include "BrowserPage.h"
#include "BrowserProfile.h"
#include "BrowserSession.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "LoadingSpinner.h"
#include "PageView.h"
#include "Prompts.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"
#include "WebPageView.h"
#include "WebPane.h"
#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSet>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// The height shared by the controls of the toolbar.
constexpr int barHeight = 28;
} // namespace

const QString BrowserPane::defaultStartPage = QStringLiteral("https://archive.org/details/movies");

namespace {

// Titles from the web and the engine are plain text; in a menu entry "&" would mark a shortcut.
QString menuText(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString countText(qsizetype n) {
    return QString::number(n);
}

// The rounded field behind the address, its spinner and its star.
class AddressBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor quaternary = Theme::ink(Theme::Ink::Quaternary, Theme::palette());
        painter.setPen(QPen(quaternary, 1));
        painter.setBrush(Theme::withOpacity(quaternary, quaternary.alphaF() * 0.35));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    }
};

// A button that opens its menu on a click, drawn without the menu arrow: its icon and text say what
// it holds.
class MenuButton : public QToolButton {
public:
    explicit MenuButton(QWidget* parent) : QToolButton(parent) {
        setPopupMode(QToolButton::InstantPopup);
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.features &= ~QStyleOptionToolButton::HasMenu;
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

// A symbol drawn like text in `ink`, fainter while its button is disabled.
QIcon glyph(const QString& symbol, int size, Theme::Ink ink, qreal dpr) {
    const QPalette app = Theme::palette();
    QIcon icon;
    icon.addPixmap(Icons::tinted(symbol, size, Theme::ink(ink, app), dpr), QIcon::Normal);
    icon.addPixmap(Icons::tinted(symbol, size, Theme::ink(Theme::Ink::Quaternary, app), dpr),
                   QIcon::Disabled);
    return icon;
}

} // namespace

// The addresses being handed to the Download tab, kept beside the model: a hand-over outlives the pane
// that started it, and the next pane shows it too.
class HandOvers : public QObject {
    Q_OBJECT
public:
    static HandOvers* of(AppModel& model) {
        auto* found =
            model.findChild<HandOvers*>(QStringLiteral("browserHandOvers"), Qt::FindDirectChildrenOnly);
        return found ? found : new HandOvers(&model);
    }
    bool contains(const QString& address) const { return m_addresses.contains(address); }
    // False when the address is already on its way.
    bool begin(const QString& address) {
        if (m_addresses.contains(address))
            return false;
        m_addresses.insert(address);
        Q_EMIT changed();
        return true;
    }
    void end(const QString& address) {
        if (m_addresses.remove(address))
            Q_EMIT changed();
    }

Q_SIGNALS:
    void changed();

private:
    explicit HandOvers(QObject* parent) : QObject(parent) {
        setObjectName(QStringLiteral("browserHandOvers"));
    }
    QSet<QString> m_addresses;
};

namespace {

QColor starYellow() {
    return Theme::isDark(Theme::palette()) ? QColor(0xff, 0xd6, 0x0a) : QColor(0xf2, 0xb7, 0x05);
}

} // namespace

BrowserPane::BrowserPane(AppModel& model, BrowserProfile* profile, QString startPage, QWidget* parent)
    : QWidget(parent), m_model(model), m_profile(profile),
      m_startPage(startPage.isEmpty() ? defaultStartPage : std::move(startPage)) {
    setObjectName(QStringLiteral("tab_browser"));
    m_handOvers = HandOvers::of(m_model);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildToolbar());
    m_divider = new QFrame(this);
    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Plain);
    m_divider->setObjectName(QStringLiteral("browser_divider"));
    column->addWidget(m_divider);
    // Says why what was typed in the field opened nothing.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("browser_notice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(24, 6, 24, 6);
    m_notice->hide();
    column->addWidget(m_notice);
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("browser_pages"));
    m_blank = new QWidget(m_stack);
    m_stack->addWidget(m_blank);
    column->addWidget(m_stack, 1);

    BrowserSession& session = m_model.browser();
    connect(&session, &BrowserSession::pagesChanged, this, [this] {
        syncPanes();
        refreshCounters();
    });
    connect(&session, &BrowserSession::currentChanged, this, &BrowserPane::currentChanged);
    connect(&m_model.sessionPart(), &Session::favouritesChanged, this, [this] {
        refreshCounters();
        refreshAddressControls();
    });
    connect(m_address, &QLineEdit::textChanged, this, &BrowserPane::refreshAddressControls);
    connect(m_address, &QLineEdit::textEdited, this, [this] { showNotice(QString()); });
    connect(m_handOvers, &HandOvers::changed, this, &BrowserPane::refreshSendState);
    connect(m_address, &QLineEdit::returnPressed, this, &BrowserPane::submit);

    syncPanes();
    m_current = session.current();
    currentChanged();
    followTexts(m_model, this, [this] { retranslate(); });
    restyle();
}

BrowserPane::~BrowserPane() {
    for (const auto& c : std::as_const(m_currentConnections))
        disconnect(c);
}

QWidget* BrowserPane::buildToolbar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("browser_toolbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(24, 10, 24, 10);
    row->setSpacing(10);

    auto* navigation = new QHBoxLayout;
    navigation->setSpacing(2);
    m_back = navButton(QStringLiteral("browser_back"));
    m_forward = navButton(QStringLiteral("browser_forward"));
    m_reload = navButton(QStringLiteral("browser_reload_stop"));
    connect(m_back, &QToolButton::clicked, this, &BrowserPane::goBack);
    connect(m_forward, &QToolButton::clicked, this, &BrowserPane::goForward);
    connect(m_reload, &QToolButton::clicked, this, &BrowserPane::stopOrReload);
    navigation->addWidget(m_back);
    navigation->addWidget(m_forward);
    navigation->addWidget(m_reload);
    row->addLayout(navigation);

    m_addressBox = new AddressBox(bar);
    m_addressBox->setObjectName(QStringLiteral("browser_address_box"));
    m_addressBox->setMinimumWidth(220);
    m_addressBox->setFixedHeight(barHeight);
    auto* field = new QHBoxLayout(m_addressBox);
    field->setContentsMargins(8, 0, 4, 0);
    field->setSpacing(6);
    m_spinner = new LoadingSpinner(14, m_addressBox);
    m_spinner->setObjectName(QStringLiteral("browser_loading"));
    m_globe = new QLabel(m_addressBox);
    m_globe->setObjectName(QStringLiteral("browser_globe"));
    m_globe->setFixedSize(14, 14);
    m_address = new QLineEdit(m_addressBox);
    m_address->setObjectName(QStringLiteral("browser_address"));
    m_address->setFrame(false);
    m_address->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_star = new QToolButton(m_addressBox);
    m_star->setObjectName(QStringLiteral("browser_star"));
    m_star->setAutoRaise(true);
    m_star->setIconSize(QSize(14, 14));
    m_star->setCursor(Qt::ArrowCursor);
    connect(m_star, &QToolButton::clicked, this, &BrowserPane::toggleFavourite);
    field->addWidget(m_spinner);
    field->addWidget(m_globe);
    field->addWidget(m_address, 1);
    field->addWidget(m_star);
    row->addWidget(m_addressBox, 1);

    m_tabs = counterButton(QStringLiteral("browser_tabs_count"), QStringLiteral("square.on.square"));
    m_tabsMenu = new QMenu(m_tabs);
    m_tabsMenu->setObjectName(QStringLiteral("browser_tabs_menu"));
    connect(m_tabsMenu, &QMenu::aboutToShow, this, &BrowserPane::fillTabsMenu);
    m_tabs->setMenu(m_tabsMenu);
    row->addWidget(m_tabs);

    m_favourites = counterButton(QStringLiteral("browser_favourites_count"), QStringLiteral("star"));
    m_favouritesMenu = new QMenu(m_favourites);
    m_favouritesMenu->setObjectName(QStringLiteral("browser_favourites_menu"));
    connect(m_favouritesMenu, &QMenu::aboutToShow, this, &BrowserPane::fillFavouritesMenu);
    m_favourites->setMenu(m_favouritesMenu);
    row->addWidget(m_favourites);

    m_send = new MenuButton(bar);
    m_send->setObjectName(QStringLiteral("button_send"));
    m_send->setIconSize(QSize(16, 16));
    m_send->setFixedHeight(barHeight);
    m_sendMenu = new QMenu(m_send);
    m_sendMenu->setObjectName(QStringLiteral("browser_send_menu"));
    auto* toDownload = m_sendMenu->addAction(QString(), this, [this] { handTo(AppModel::Tab::Download); });
    toDownload->setObjectName(QStringLiteral("menu_send_to_download"));
    auto* toBatch = m_sendMenu->addAction(QString(), this, [this] { handTo(AppModel::Tab::Batch); });
    toBatch->setObjectName(QStringLiteral("menu_send_to_batch"));
    m_sendMenu->addSeparator();
    auto* copy = m_sendMenu->addAction(QString(), this, &BrowserPane::copyAddress);
    copy->setObjectName(QStringLiteral("v2_browser_copy_address"));
    m_send->setMenu(m_sendMenu);
    m_sending = new LoadingSpinner(14, bar);
    m_sending->setObjectName(QStringLiteral("browser_sending"));
    m_sending->hide();
    row->addWidget(m_sending);
    row->addWidget(m_send);
    return bar;
}

QToolButton* BrowserPane::navButton(const QString& role) {
    auto* button = new QToolButton(this);
    button->setObjectName(role);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(30, barHeight);
    return button;
}

QToolButton* BrowserPane::counterButton(const QString& role, const QString& symbol) {
    auto* button = new MenuButton(this);
    button->setObjectName(role);
    button->setProperty("symbol", symbol);
    button->setIconSize(QSize(14, 14));
    button->setFont(TextStyle::font(TextStyle::Role::Caption));
    button->setFixedHeight(barHeight);
    return button;
}

WebPane* BrowserPane::paneFor(const BrowserPage* page) const {
    return m_panes.value(page, nullptr);
}

void BrowserPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    BrowserSession& session = m_model.browser();
    if (session.pages().isEmpty())
        session.newTab(m_startPage);
    BrowserPage* current = session.current();
    showAddress(current ? current->currentURL() : QString());
    QPointer<AppModel> model(&m_model);
    spawn(this, [model]() -> QCoro::Task<void> {
        if (model)
            co_await model->sessionPart().reloadFavourites();
    });
}

void BrowserPane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        restyle();
}

void BrowserPane::retranslate() {
    m_back->setToolTip(Strings::text(QStringLiteral("browser_back")));
    m_forward->setToolTip(Strings::text(QStringLiteral("browser_forward")));
    m_address->setPlaceholderText(Strings::text(QStringLiteral("placeholder_browser_url")));
    m_send->setToolTip(Strings::text(QStringLiteral("menu_send_to_download")));
    for (QAction* action : m_sendMenu->actions()) {
        if (!action->isSeparator())
            action->setText(menuText(Strings::text(action->objectName())));
    }
    if (!m_noticeText.isEmpty())
        showNotice(m_noticeText);
    refreshNavigation();
    refreshAddressControls();
    refreshCounters();
}

void BrowserPane::restyle() {
    const QPalette app = Theme::palette();
    const qreal dpr = devicePixelRatioF();
    m_back->setIcon(glyph(QStringLiteral("chevron.left"), 16, Theme::Ink::Primary, dpr));
    m_forward->setIcon(glyph(QStringLiteral("chevron.right"), 16, Theme::Ink::Primary, dpr));
    for (QToolButton* counter : {m_tabs, m_favourites})
        counter->setIcon(glyph(counter->property("symbol").toString(), 14, Theme::Ink::Primary, dpr));
    QPalette line = m_divider->palette();
    line.setColor(QPalette::WindowText, Theme::ink(Theme::Ink::Quaternary, app));
    m_divider->setPalette(line);
    QPalette notice = m_notice->palette();
    notice.setColor(QPalette::WindowText, Theme::ink(Theme::Ink::Warning, app));
    m_notice->setPalette(notice);
    m_globe->setPixmap(Icons::tinted(QStringLiteral("globe"), 14, Theme::ink(Theme::Ink::Secondary, app),
                                     devicePixelRatioF()));
    // The field sits on the rounded box: no background of its own.
    QPalette field = m_address->palette();
    field.setColor(QPalette::Base, Qt::transparent);
    m_address->setPalette(field);
    // The send button is the prominent one: filled with the accent colour while it can be used.
    QPalette prominent = app;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        prominent.setColor(group, QPalette::Button, Theme::ink(Theme::Ink::Accent, app));
        prominent.setColor(group, QPalette::ButtonText, Theme::ink(Theme::Ink::OnAccent, app));
    }
    m_send->setPalette(prominent);
    QIcon send;
    send.addPixmap(
        Icons::tinted(QStringLiteral("arrow.down.circle"), 16, Theme::ink(Theme::Ink::OnAccent, app), dpr),
        QIcon::Normal);
    send.addPixmap(Icons::tinted(QStringLiteral("arrow.down.circle"), 16,
                                 app.color(QPalette::Disabled, QPalette::ButtonText), dpr),
                   QIcon::Disabled);
    m_send->setIcon(send);
    refreshNavigation();
    refreshAddressControls();
}

// ---- the tabs ----

void BrowserPane::syncPanes() {
    const QList<BrowserPage*> pages = m_model.browser().pages();
    for (auto it = m_panes.begin(); it != m_panes.end();) {
        if (!pages.contains(const_cast<BrowserPage*>(it.key()))) {
            WebPane* gone = it.value();
            m_stack->removeWidget(gone);
            delete gone;
            it = m_panes.erase(it);
        } else {
            ++it;
        }
    }
    for (BrowserPage* page : pages) {
        if (m_panes.contains(page))
            continue;
        // A tab opened for a page's new window shows the page the web engine made for it.
        if (m_adopting && !page->view())
            page->attachView(std::exchange(m_adopting, nullptr));
        auto* pane = new WebPane(page, m_profile, m_stack);
        connect(pane, &WebPane::newTabRequested, this, &BrowserPane::adoptNewTab);
        m_stack->addWidget(pane);
        m_panes.insert(page, pane);
    }
    BrowserPage* current = m_model.browser().current();
    m_stack->setCurrentWidget(current && m_panes.contains(current) ? m_panes.value(current) : m_blank);
}

void BrowserPane::currentChanged() {
    for (const auto& c : std::as_const(m_currentConnections))
        disconnect(c);
    m_currentConnections.clear();
    BrowserPage* current = m_model.browser().current();
    const bool another = current != m_current;
    m_current = current;
    if (current) {
        m_currentConnections
            << connect(current, &BrowserPage::currentURLChanged, this, &BrowserPane::currentURLChanged)
            << connect(current, &BrowserPage::isLoadingChanged, this, &BrowserPane::refreshNavigation)
            << connect(current, &BrowserPage::canGoBackChanged, this, &BrowserPane::refreshNavigation)
            << connect(current, &BrowserPage::canGoForwardChanged, this, &BrowserPane::refreshNavigation);
    }
    syncPanes();
    // Another tab shows its own address, or nothing yet.
    if (another)
        showAddress(current ? current->currentURL() : QString());
    refreshNavigation();
    refreshAddressControls();
    refreshCounters();
}

void BrowserPane::currentURLChanged() {
    // The page moved on: its address replaces whatever was being typed.
    if (m_current && !m_current->currentURL().isEmpty())
        showAddress(m_current->currentURL());
    refreshAddressControls();
}

void BrowserPane::refreshNavigation() {
    const BrowserPage* current = m_current;
    m_back->setEnabled(current && current->canGoBack());
    m_forward->setEnabled(current && current->canGoForward());
    const bool loading = current && current->isLoading();
    m_reload->setIcon(glyph(loading ? QStringLiteral("xmark") : QStringLiteral("arrow.clockwise"), 16,
                            Theme::Ink::Primary, devicePixelRatioF()));
    m_reload->setToolTip(
        Strings::text(loading ? QStringLiteral("browser_stop") : QStringLiteral("browser_reload")));
    m_spinner->setVisible(loading);
    m_globe->setVisible(!loading);
}

void BrowserPane::refreshAddressControls() {
    const QString address = pageAddress();
    const bool favourite = pageAddressIsFavourite();
    m_star->setEnabled(!address.isEmpty());
    m_star->setIcon(QIcon(Icons::tinted(favourite ? QStringLiteral("star.fill") : QStringLiteral("star"), 14,
                                        favourite ? starYellow() : Theme::ink(Theme::Ink::Secondary),
                                        devicePixelRatioF())));
    m_star->setToolTip(Strings::text(favourite ? QStringLiteral("menu_remove_favourite")
                                               : QStringLiteral("menu_add_favourite")));
    m_star->setProperty("favourite", favourite);
    m_send->setEnabled(!address.isEmpty());
    refreshSendState();
}

bool BrowserPane::isHandingOver() const {
    const QString address = pageAddress();
    return !address.isEmpty() && m_handOvers->contains(address);
}

void BrowserPane::refreshSendState() {
    const bool sending = isHandingOver();
    m_send->setText(
        Strings::text(sending ? QStringLiteral("button_sending") : QStringLiteral("button_send")));
    m_sending->setVisible(sending);
    for (QAction* action : m_sendMenu->actions()) {
        if (action->objectName() == QLatin1String("menu_send_to_download"))
            action->setEnabled(!sending);
    }
}

void BrowserPane::showNotice(const QString& text) {
    m_noticeText = text;
    if (text.isEmpty()) {
        m_notice->hide();
        return;
    }
    const QString shown = text.size() > 80 ? text.left(80) + QStringLiteral("…") : text;
    const QMap<QString, QString> values{{QStringLiteral("text"), shown}};
    // Before the engine's texts arrive (with the settings that name the search engine) the notice still
    // says something readable rather than its key.
    m_notice->setText(Strings::hasTable()
                          ? Strings::text(QStringLiteral("v2_browser_not_an_address"), values)
                          : Strings::fill(QStringLiteral("“{text}” is not an address, and there is no search "
                                                         "engine to look it up with yet."),
                                          values));
    m_notice->show();
}

void BrowserPane::refreshCounters() {
    const qsizetype pages = m_model.browser().pages().size();
    m_tabs->setText(countText(pages));
    m_tabs->setToolTip(
        Strings::text(QStringLiteral("browser_tabs_count"), {{QStringLiteral("n"), countText(pages)}}));
    const qsizetype favourites = qsizetype(m_model.sessionPart().favourites().size());
    m_favourites->setText(countText(favourites));
    m_favourites->setToolTip(Strings::text(QStringLiteral("browser_favourites_count"),
                                           {{QStringLiteral("n"), countText(favourites)}}));
}

void BrowserPane::fillTabsMenu() {
    m_tabsMenu->clear();
    BrowserSession& session = m_model.browser();
    for (BrowserPage* page : session.pages()) {
        const QString title =
            page->title().isEmpty() ? Strings::text(QStringLiteral("browser_new_tab_title")) : page->title();
        QPointer<BrowserPage> target(page);
        QAction* row = m_tabsMenu->addAction(menuText(title), this, [this, target] {
            if (!target)
                return;
            m_model.browser().setCurrent(target);
            showAddress(target->currentURL());
        });
        row->setObjectName(QStringLiteral("browser_tab_row"));
        row->setData(page->id());
    }
    m_tabsMenu->addSeparator();
    QAction* newTab =
        m_tabsMenu->addAction(menuText(Strings::text(QStringLiteral("browser_new_tab"))), this, [this] {
            m_model.browser().newTab(m_startPage);
            showAddress(QString());
        });
    newTab->setObjectName(QStringLiteral("browser_new_tab"));
    if (session.pages().size() >= 2 && session.current()) {
        // The tab that was shown when the menu opened, whatever happens meanwhile.
        QPointer<BrowserPage> shown(session.current());
        QAction* close = m_tabsMenu->addAction(menuText(Strings::text(QStringLiteral("browser_close_tab"))),
                                               this, [this, shown] {
                                                   if (shown)
                                                       m_model.browser().close(shown);
                                               });
        close->setObjectName(QStringLiteral("browser_close_tab"));
    }
}

void BrowserPane::fillFavouritesMenu() {
    m_favouritesMenu->clear();
    for (const ::Favourite& favourite : m_model.sessionPart().favourites()) {
        const QString url = favourite.url;
        QAction* row =
            m_favouritesMenu->addAction(menuText(favourite.title.isEmpty() ? url : favourite.title), this,
                                        [this, url] { openFavourite(url); });
        row->setObjectName(QStringLiteral("browser_favourite_row"));
        row->setData(url);
    }
}

// ---- actions ----

void BrowserPane::showAddress(const QString& text) {
    m_address->setText(text);
    // A long address shows where it starts, unless the user is in the field.
    if (!m_address->hasFocus())
        m_address->setCursorPosition(0);
}

QString BrowserPane::pageAddress() const {
    if (m_current && !m_current->currentURL().isEmpty())
        return m_current->currentURL();
    return m_address->text();
}

bool BrowserPane::pageAddressIsFavourite() const {
    const QString address = pageAddress();
    if (address.isEmpty())
        return false;
    for (const ::Favourite& favourite : m_model.sessionPart().favourites()) {
        if (favourite.url == address)
            return true;
    }
    return false;
}

void BrowserPane::submit() {
    if (!m_current)
        return;
    const auto& settings = m_model.sessionPart().settings();
    const QString typed = m_address->text();
    const bool loaded =
        m_current->load(typed, settings ? std::optional<QString>(settings->searchURL) : std::nullopt);
    showNotice(loaded ? QString() : typed.trimmed());
}

void BrowserPane::adoptNewTab(WebPageView* view) {
    m_adopting = view;
    BrowserPage* page = m_model.browser().newTab(QString());
    if (m_adopting == view && !page->view())
        page->attachView(view);
    m_adopting = nullptr;
    showNotice(QString());
}

void BrowserPane::goBack() {
    if (m_current && m_current->view())
        m_current->view()->back();
}

void BrowserPane::goForward() {
    if (m_current && m_current->view())
        m_current->view()->forward();
}

void BrowserPane::stopOrReload() {
    if (!m_current || !m_current->view())
        return;
    if (m_current->isLoading())
        m_current->view()->stop();
    else
        m_current->view()->reload();
}

void BrowserPane::toggleFavourite() {
    const QString address = pageAddress();
    if (address.isEmpty())
        return;
    const bool known = pageAddressIsFavourite();
    // Runs to its end even when the pane goes away meanwhile.
    AppModel* model = &m_model;
    spawn(model, [model, address, known]() -> QCoro::Task<void> {
        if (known) {
            co_await model->sessionPart().removeFavourite(address);
            co_return;
        }
        const BrowserPage* current = model->browser().current();
        const QString title = current ? current->title() : QString();
        co_await model->sessionPart().addFavourite(address, title);
    });
}

void BrowserPane::openFavourite(const QString& url) {
    showAddress(url);
    if (m_current)
        showNotice(m_current->load(url, std::nullopt) ? QString() : url.trimmed());
}

void BrowserPane::copyAddress() {
    const QString address = pageAddress();
    if (address.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setText(address);
    QGuiApplication::clipboard()->setMimeData(data);
}

void BrowserPane::handTo(AppModel::Tab tab) {
    const QString address = pageAddress();
    if (address.isEmpty() || (tab == AppModel::Tab::Download && m_handOvers->contains(address)))
        return;
    AppModel* model = &m_model;
    spawn(model, [model, tab, address]() -> QCoro::Task<void> {
        model->sessionPart().noteBrowserSession(address);
        if (tab == AppModel::Tab::Batch) {
            const bool added = model->queuePart().appendBatchURL(address);
            model->promptsPart().setBatchDuplicateNotice(!added);
            model->setTab(AppModel::Tab::Batch);
            co_return;
        }
        // The Browser tab stays in front until the engine has answered about the address; meanwhile the
        // pane says the page is on its way, and sending it again changes nothing.
        QPointer<HandOvers> handOvers(HandOvers::of(*model));
        if (!handOvers->begin(address))
            co_return;
        model->compositionPart().setPastedText(address);
        QPointer<AppModel> alive(model);
        co_await model->compositionPart().analyzeCurrent();
        if (handOvers)
            handOvers->end(address);
        if (alive)
            model->setTab(AppModel::Tab::Download);
    });
}

#include "BrowserPane.moc"
