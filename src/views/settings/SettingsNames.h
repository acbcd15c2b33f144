#pragma once

#include <QString>

// How the settings pane names what the engine lists: folders, interface languages, cookie sources,
// appearances and download speeds.
namespace SettingsNames {

// The last component of the download folder, "—" when there is none.
QString folderName(const QString& outputDir);
// A language's name in its own language; unknown codes read "English".
QString languageName(const QString& code);
// "None" and "Built-in Browser" are looked up; a browser's name is capitalised word by word.
QString cookieName(const QString& source);
// The text key of an appearance value: "auto" is the system's choice.
QString appearanceKey(const QString& value);
QString speedKey(const QString& mode);

} // namespace SettingsNames
