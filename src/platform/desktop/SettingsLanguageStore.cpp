#include "SettingsLanguageStore.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace {

const QString key = QStringLiteral("languages");

std::unique_ptr<QSettings> open(const QString& iniFile) {
    return iniFile.isEmpty() ? std::make_unique<QSettings>()
                             : std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

} // namespace

SettingsLanguageStore::SettingsLanguageStore(QString iniFile) : m_iniFile(std::move(iniFile)) {}

SettingsLanguageStore::~SettingsLanguageStore() {
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
}

std::optional<QStringList> SettingsLanguageStore::languages() const {
    const auto settings = open(m_iniFile);
    if (!settings->contains(key))
        return std::nullopt;
    return settings->value(key).toStringList();
}

void SettingsLanguageStore::setLanguages(const QStringList& languages) {
    auto settings = open(m_iniFile);
    settings->setValue(key, languages);
    settings->sync();
}

QStringList SettingsLanguageStore::systemLanguages() const {
    return QLocale::system().uiLanguages();
}

void SettingsLanguageStore::apply() {
    const QStringList stored = languages().value_or(QStringList());
    if (stored.isEmpty() || stored.first().isEmpty())
        return;
    const QLocale locale(stored.first());
    QLocale::setDefault(locale);
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator.get()))
        m_translator = std::move(translator);
}
