// The shared layout pieces on one sheet, in the states they are used in.
#include "Shots.h"

#include "kit/Card.h"
#include "kit/EmptyNotice.h"
#include "kit/PaneContent.h"
#include "kit/SegmentedBar.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include "Strings.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

QWidget* kitSheet(ShotContext&) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(PaneMetrics::sectionSpacing);

    auto* heading = new QLabel(Strings::text(QStringLiteral("tab_downloads")));
    TextStyle::apply(heading, TextStyle::Role::Title2, QFont::DemiBold);
    layout->addWidget(heading);

    auto* bar = new SegmentedBar;
    QList<QVariant> values;
    for (const char* c : {"all", "video", "audio", "playlists", "channels", "shorts", "thumbnails"})
        values << QString::fromLatin1(c);
    bar->setValues(values,
                   [](const QVariant& v) { return Strings::text(QStringLiteral("dl_tab_") + v.toString()); });
    bar->setSelection(QStringLiteral("video"));
    layout->addWidget(bar);

    auto* text = new QLabel(Strings::text(QStringLiteral("hint_transcription_switch")));
    text->setWordWrap(true);
    layout->addWidget(card(text, 14));

    auto* secondary = new QLabel(Strings::text(QStringLiteral("hint_transcription")));
    Theme::setForeground(secondary, Theme::Ink::Secondary);
    TextStyle::apply(secondary, TextStyle::Role::Caption);
    layout->addWidget(card(secondary, 16));

    auto* notice =
        new EmptyNotice(Strings::text(QStringLiteral("title_downloads")), QStringLiteral("arrow.down.circle"),
                        Strings::text(QStringLiteral("hint_transcription_switch")));
    notice->setMinimumHeight(220);
    layout->addWidget(notice, 1);
    column->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    return paneContent(column);
}

const ShotRegistration kit("kit", kitSheet, {.size = {900, 620}});

} // namespace
