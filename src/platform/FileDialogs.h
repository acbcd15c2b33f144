#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

// The desktop's folder and save-file choosers. Both return at once and finish when the user answers;
// nothing means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // A single existing folder. `startFolder` empty: where the desktop starts by default.
    virtual QCoro::Task<std::optional<QString>> chooseFolder(QString message, QString startFolder) = 0;

    // One or more existing files (no folders), in the order the dialog gives them. `confirmTitle` names
    // the confirm button; `nameFilters` ("Label (*.a *.b)") empty lets any file be chosen, otherwise the
    // dialog offers them in that order and starts on the first.
    virtual QCoro::Task<std::optional<QStringList>> chooseFiles(QString message, QString confirmTitle,
                                                                QStringList nameFilters) = 0;

    // A file path to save to; folders may be created. `proposedName` empty: no name proposed.
    virtual QCoro::Task<std::optional<QString>> saveFile(QString message, QString startFolder,
                                                         QString proposedName) = 0;
};
