#include "Strings.h"

#include "Bootstrap.h"
#include "LanguageListStore.h"
#include "StringTable.h"
#include "TextTrim.h"

#include <QHash>
#include <QReadWriteLock>

#include <vector>

using namespace Qt::StringLiterals;

namespace {
// Written on the GUI thread only; the lock keeps an occasional lookup from another thread safe.
struct Installed {
    QReadWriteLock lock;
    QHash<QString, QString> strings;
    QString language = u"en"_s;
    LanguageListStore* store = nullptr;
};

Installed& installed() {
    static Installed state;
    return state;
}

// Lets the desktop's own menus and dialogs follow the installed language at the next start.
void alignSystemMenus(LanguageListStore* store, const QString& language) {
    if (!store)
        return;
    const std::optional<QStringList> stored = store->languages();
    if (stored && !stored->isEmpty() && stored->first() == language)
        return;
    store->setLanguages(QStringList{language});
}

// Values are held back as markers made of noncharacters while the placeholders are replaced, so a value
// holding "{n}" or a brace is inserted as it is, whatever order the names come in.
constexpr char16_t markOpen = 0xFDD0;
constexpr char16_t markClose = 0xFDD1;

QString marker(qsizetype index) {
    return QChar(markOpen) + QString::number(index) + QChar(markClose);
}

void replacePlaceholders(QString& text, const QString& name, const QString& value) {
    text.replace(u'{' + name + u'}', value);
    const qsizetype open = text.indexOf(u'{' + name + u':');
    if (open < 0)
        return;
    const qsizetype close = text.indexOf(u'}', open);
    if (close < 0)
        return;
    text.replace(open, close - open + 1, value);
}
} // namespace

QString Strings::text(const QString& key) {
    {
        Installed& s = installed();
        QReadLocker locker(&s.lock);
        const auto it = s.strings.constFind(key);
        if (it != s.strings.constEnd())
            return trimSpacesAndTabs(*it);
    }
    if (const std::optional<QString> builtIn = Bootstrap::text(key))
        return trimSpacesAndTabs(*builtIn);
    return trimSpacesAndTabs(key);
}

namespace {
// Whether the table or the built-in texts hold `key` (a lookup that falls back to the key does not).
bool known(const QString& key) {
    {
        Installed& s = installed();
        QReadLocker locker(&s.lock);
        if (s.strings.contains(key))
            return true;
    }
    return Bootstrap::text(key).has_value();
}
} // namespace

QString Strings::text(const QString& key, const QMap<QString, QString>& values) {
    // A count of one reads from the key's "_one" variant, where there is one.
    const auto isOne = [&](const QString& name) {
        const auto it = values.constFind(name);
        return it != values.constEnd() && *it == QLatin1String("1");
    };
    if (isOne(QStringLiteral("count")) || isOne(QStringLiteral("n"))) {
        const QString one = key + QStringLiteral("_one");
        if (known(one))
            return fill(text(one), values);
    }
    return fill(text(key), values);
}

QString Strings::fill(const QString& text, const QMap<QString, QString>& values) {
    if (values.isEmpty())
        return text;
    QString out = text;
    if (text.contains(QChar(markOpen))) {
        // Markers could not be told apart from the text itself: fill directly.
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            replacePlaceholders(out, it.key(), it.value());
        return out;
    }
    std::vector<QString> held;
    held.reserve(values.size());
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        held.push_back(it.value());
        replacePlaceholders(out, it.key(), marker(qsizetype(held.size()) - 1));
    }
    QString result;
    result.reserve(out.size());
    qsizetype i = 0;
    while (i < out.size()) {
        const qsizetype open = out.indexOf(QChar(markOpen), i);
        if (open < 0) {
            result += QStringView(out).sliced(i);
            break;
        }
        result += QStringView(out).sliced(i, open - i);
        const qsizetype close = out.indexOf(QChar(markClose), open);
        result += held.at(QStringView(out).sliced(open + 1, close - open - 1).toULongLong());
        i = close + 1;
    }
    return result;
}

void Strings::install(const StringTable& table) {
    QHash<QString, QString> strings;
    strings.reserve(table.strings.size());
    for (auto it = table.strings.constBegin(); it != table.strings.constEnd(); ++it)
        strings.insert(it.key(), it.value());
    LanguageListStore* store = nullptr;
    {
        Installed& s = installed();
        QWriteLocker locker(&s.lock);
        s.strings = std::move(strings);
        s.language = table.language;
        store = s.store;
    }
    alignSystemMenus(store, table.language);
}

QString Strings::language() {
    Installed& s = installed();
    QReadLocker locker(&s.lock);
    return s.language;
}

bool Strings::hasTable() {
    Installed& s = installed();
    QReadLocker locker(&s.lock);
    return !s.strings.isEmpty();
}

void Strings::setLanguageListStore(LanguageListStore* store) {
    Installed& s = installed();
    QWriteLocker locker(&s.lock);
    s.store = store;
}

void Strings::reset() {
    Installed& s = installed();
    QWriteLocker locker(&s.lock);
    s.strings.clear();
    s.language = u"en"_s;
    s.store = nullptr;
}
