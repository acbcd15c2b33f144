#include "Bootstrap.h"

#include <QHash>
#include <QLocale>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
using Table = QHash<QString, QHash<QString, QString>>;

const Table& table() {
    static const Table t{
        {u"en"_s,
         {
             {u"v2_engine_retry"_s, u"Try again"_s},
             {u"v2_engine_python_not_found"_s, u"No Python interpreter found. Looked in:\n{paths}"_s},
             {u"v2_engine_server_not_found"_s, u"The engine isn’t where it was expected: {path}"_s},
             {u"v2_engine_not_running"_s, u"The engine isn’t running."_s},
             {u"v2_engine_support_busy"_s,
              u"Another copy of Vamber is already using this support folder. Close it before opening this one."_s},
             {u"v2_engine_other_copy"_s,
              u"Another copy of Vamber is already open. Both write to the same files: close it before opening this one."_s},
             {u"v2_engine_stopped"_s,
              u"The engine stopped. Downloads in progress weren’t lost on disk, but it has to be restarted."_s},
         }},
        {u"fr"_s,
         {
             {u"v2_engine_retry"_s, u"Réessayer"_s},
             {u"v2_engine_python_not_found"_s, u"Aucun interpréteur Python trouvé. Cherché :\n{paths}"_s},
             {u"v2_engine_server_not_found"_s,
              u"Le moteur est introuvable à l'emplacement attendu : {path}"_s},
             {u"v2_engine_not_running"_s, u"Le moteur n'est pas démarré."_s},
             {u"v2_engine_support_busy"_s,
              u"Une autre copie de Vamber utilise déjà ce dossier de support. Fermez-la avant d'ouvrir celle-ci."_s},
             {u"v2_engine_other_copy"_s,
              u"Une autre copie de Vamber est déjà ouverte. Les deux écrivent dans les mêmes fichiers : fermez-la avant d'ouvrir celle-ci."_s},
             {u"v2_engine_stopped"_s,
              u"Le moteur s'est arrêté. Les téléchargements en cours n'ont pas été perdus sur le disque, mais il faut le relancer."_s},
         }},
        {u"nl"_s,
         {
             {u"v2_engine_retry"_s, u"Opnieuw"_s},
             {u"v2_engine_python_not_found"_s, u"Geen Python-interpreter gevonden. Gezocht in:\n{paths}"_s},
             {u"v2_engine_server_not_found"_s, u"De engine staat niet waar hij verwacht werd: {path}"_s},
             {u"v2_engine_not_running"_s, u"De engine is niet gestart."_s},
             {u"v2_engine_support_busy"_s,
              u"Een andere kopie van Vamber gebruikt deze ondersteuningsmap al. Sluit die voordat u deze opent."_s},
             {u"v2_engine_other_copy"_s,
              u"Een andere kopie van Vamber is al open. Beide schrijven naar dezelfde bestanden: sluit die voordat u deze opent."_s},
             {u"v2_engine_stopped"_s,
              u"De engine is gestopt. Lopende downloads zijn niet verloren op de schijf, maar hij moet opnieuw worden gestart."_s},
         }},
        {u"es"_s,
         {
             {u"v2_engine_retry"_s, u"Reintentar"_s},
             {u"v2_engine_python_not_found"_s,
              u"No se ha encontrado ningún intérprete de Python. Se ha buscado en:\n{paths}"_s},
             {u"v2_engine_server_not_found"_s, u"El motor no está donde se esperaba: {path}"_s},
             {u"v2_engine_not_running"_s, u"El motor no está en marcha."_s},
             {u"v2_engine_support_busy"_s,
              u"Otra copia de Vamber ya está usando esta carpeta de soporte. Ciérrala antes de abrir esta."_s},
             {u"v2_engine_other_copy"_s,
              u"Ya hay otra copia de Vamber abierta. Las dos escriben en los mismos archivos: ciérrala antes de abrir esta."_s},
             {u"v2_engine_stopped"_s,
              u"El motor se ha detenido. Las descargas en curso no se han perdido en el disco, pero hay que volver a arrancarlo."_s},
         }},
        {u"de"_s,
         {
             {u"v2_engine_retry"_s, u"Erneut versuchen"_s},
             {u"v2_engine_python_not_found"_s,
              u"Kein Python-Interpreter gefunden. Gesucht wurde in:\n{paths}"_s},
             {u"v2_engine_server_not_found"_s,
              u"Die Engine liegt nicht dort, wo sie erwartet wurde: {path}"_s},
             {u"v2_engine_not_running"_s, u"Die Engine läuft nicht."_s},
             {u"v2_engine_support_busy"_s,
              u"Eine andere Kopie von Vamber benutzt diesen Support-Ordner bereits. Schließe sie, bevor du diese öffnest."_s},
             {u"v2_engine_other_copy"_s,
              u"Eine andere Kopie von Vamber ist bereits offen. Beide schreiben in dieselben Dateien: Schließe sie, bevor du diese öffnest."_s},
             {u"v2_engine_stopped"_s,
              u"Die Engine hat gestoppt. Laufende Downloads sind auf dem Volume nicht verloren, aber sie muss neu gestartet werden."_s},
         }},
    };
    return t;
}

// The window's frame before the engine's table arrives: the menus, the tray and its panel, the failure
// view's log button, the log sheet and the file chooser the menus open, and the verbs' refusal. The same
// words as the engine's English and French tables, so nothing changes when the table comes; the other
// languages read the English ones, as their engine tables do.
const Table& frameTable() {
    static const Table t{
        {u"en"_s,
         {
             {u"v2_menu_file"_s, u"File"_s},
             {u"menu_clipboard_url"_s, u"Paste Address from Clipboard"_s},
             {u"button_choose_files"_s, u"Choose Files…"_s},
             {u"menu_settings"_s, u"Settings…"_s},
             {u"menu_quit"_s, u"Quit {app}"_s},
             {u"v2_menu_tabs"_s, u"View"_s},
             {u"tab_download"_s, u"Download"_s},
             {u"tab_batch"_s, u"Batch"_s},
             {u"tab_transcription"_s, u"Transcription"_s},
             {u"tab_downloads"_s, u"Downloads"_s},
             {u"tab_browser"_s, u"Browser"_s},
             {u"menu_account"_s, u"Account"_s},
             {u"menu_clear_browser_data"_s, u"Clear Browser Data…"_s},
             {u"menu_check_updates"_s, u"Check for Updates…"_s},
             {u"v2_menu_show_log"_s, u"Log"_s},
             {u"menu_report_problem"_s, u"Report a Problem…"_s},
             {u"v2_menu_help"_s, u"Help"_s},
             {u"menu_help_online"_s, u"Vamber Help"_s},
             {u"menu_release_notes"_s, u"Release Notes"_s},
             {u"button_open_group"_s, u"Open"_s},
             {u"menu_paste"_s, u"Paste"_s},
             {u"placeholder_url"_s, u"Paste a video address"_s},
             {u"button_download"_s, u"Download"_s},
             {u"status_ready"_s, u"Ready"_s},
             {u"button_show_log"_s, u"Show Log"_s},
             {u"title_error"_s, u"Error"_s},
             {u"button_clear_log"_s, u"Clear Log"_s},
             {u"menu_copy"_s, u"Copy"_s},
             {u"button_close"_s, u"Close"_s},
             {u"hint_transcription"_s, u"Choose audio or video files to transcribe."_s},
             {u"button_transcribe"_s, u"Transcribe"_s},
             {u"status_enter_url"_s, u"Copy a video address first."_s},
         }},
        {u"fr"_s,
         {
             {u"v2_menu_file"_s, u"Fichier"_s},
             {u"menu_clipboard_url"_s, u"Coller l'adresse du presse-papiers"_s},
             {u"button_choose_files"_s, u"Choisir des fichiers…"_s},
             {u"menu_settings"_s, u"Réglages…"_s},
             {u"menu_quit"_s, u"Quitter {app}"_s},
             {u"v2_menu_tabs"_s, u"Affichage"_s},
             {u"tab_download"_s, u"Télécharger"_s},
             {u"tab_batch"_s, u"Lot"_s},
             {u"tab_transcription"_s, u"Transcription"_s},
             {u"tab_downloads"_s, u"Téléchargements"_s},
             {u"tab_browser"_s, u"Navigateur"_s},
             {u"menu_account"_s, u"Compte"_s},
             {u"menu_clear_browser_data"_s, u"Effacer les données du navigateur…"_s},
             {u"menu_check_updates"_s, u"Rechercher des mises à jour…"_s},
             {u"v2_menu_show_log"_s, u"Journal"_s},
             {u"menu_report_problem"_s, u"Signaler un problème…"_s},
             {u"v2_menu_help"_s, u"Aide"_s},
             {u"menu_help_online"_s, u"Aide de Vamber"_s},
             {u"menu_release_notes"_s, u"Notes de version"_s},
             {u"button_open_group"_s, u"Ouvrir"_s},
             {u"menu_paste"_s, u"Coller"_s},
             {u"placeholder_url"_s, u"Collez l'adresse d'une vidéo"_s},
             {u"button_download"_s, u"Télécharger"_s},
             {u"status_ready"_s, u"Prêt"_s},
             {u"button_show_log"_s, u"Afficher le journal"_s},
             {u"title_error"_s, u"Erreur"_s},
             {u"button_clear_log"_s, u"Effacer le journal"_s},
             {u"menu_copy"_s, u"Copier"_s},
             {u"button_close"_s, u"Fermer"_s},
             {u"hint_transcription"_s, u"Choisissez des fichiers audio ou vidéo à transcrire."_s},
             {u"button_transcribe"_s, u"Transcrire"_s},
             {u"status_enter_url"_s, u"Copiez d'abord l'adresse d'une vidéo."_s},
         }},
    };
    return t;
}

std::optional<QString> lookUp(const Table& t, const QString& key, const QString& language) {
    const auto lang = t.constFind(language);
    if (lang != t.constEnd()) {
        const auto it = lang->constFind(key);
        if (it != lang->constEnd())
            return *it;
    }
    const QHash<QString, QString>& english = *t.constFind(u"en"_s);
    const auto it = english.constFind(key);
    if (it != english.constEnd())
        return *it;
    return std::nullopt;
}

// Index into Bootstrap::languages() of the chosen language, or -1 before the first choice.
std::atomic<int> chosenLanguage{-1};

int indexFor(const QStringList& preferred) {
    return int(Bootstrap::languages().indexOf(Bootstrap::languageFor(preferred)));
}

int chosenIndex() {
    int index = chosenLanguage.load(std::memory_order_acquire);
    if (index >= 0)
        return index;
    int fresh = indexFor(Bootstrap::systemPreferredLanguages());
    // Another thread may have chosen meanwhile; the first choice stays.
    if (chosenLanguage.compare_exchange_strong(index, fresh, std::memory_order_acq_rel))
        return fresh;
    return index;
}
} // namespace

const QStringList& Bootstrap::languages() {
    static const QStringList list{u"en"_s, u"fr"_s, u"nl"_s, u"es"_s, u"de"_s};
    return list;
}

const QStringList& Bootstrap::frameKeys() {
    static const QStringList list = frameTable().value(u"en"_s).keys();
    return list;
}

const QStringList& Bootstrap::keys() {
    static const QStringList list{
        u"v2_engine_retry"_s,       u"v2_engine_python_not_found"_s, u"v2_engine_server_not_found"_s,
        u"v2_engine_not_running"_s, u"v2_engine_support_busy"_s,     u"v2_engine_other_copy"_s,
        u"v2_engine_stopped"_s};
    return list;
}

std::optional<QString> Bootstrap::text(const QString& key) {
    return text(key, languages().at(chosenIndex()));
}

std::optional<QString> Bootstrap::text(const QString& key, const QString& language) {
    if (std::optional<QString> text = lookUp(table(), key, language))
        return text;
    return lookUp(frameTable(), key, language);
}

QString Bootstrap::language() {
    return languages().at(chosenIndex());
}

QString Bootstrap::languageFor(const QStringList& preferred) {
    for (const QString& entry : preferred) {
        const QString code = entry.left(2).toLower();
        if (languages().contains(code))
            return code;
    }
    return u"en"_s;
}

QStringList Bootstrap::systemPreferredLanguages() {
    return QLocale::system().uiLanguages();
}

void Bootstrap::choosePreferredLanguages(const QStringList& preferred) {
    chosenLanguage.store(indexFor(preferred), std::memory_order_release);
}
