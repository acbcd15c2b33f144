#include "TextTrim.h"

bool isSpaceOrTab(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimSpacesAndTabs(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text.at(begin)))
        ++begin;
    while (end > begin && isSpaceOrTab(text.at(end - 1)))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.sliced(begin, end - begin);
}
