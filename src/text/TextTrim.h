#pragma once

#include <QString>

// True for the tab and every Unicode space separator (the no-break space included), false for line
// breaks and other white space.
bool isSpaceOrTab(QChar c);

// Removes spaces and tabs from both ends and keeps line breaks, unlike QString::trimmed().
QString trimSpacesAndTabs(const QString& text);
