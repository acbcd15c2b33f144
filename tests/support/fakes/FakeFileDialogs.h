#pragma once

#include "FileDialogs.h"

#include <QList>

#include <stdexcept>

// Answers at once with the answer the test set; each call is recorded.
class FakeFileDialogs : public FileDialogs {
public:
    struct Call {
        enum Kind { Folder, Save, Files } kind;
        QString message;
        QString startFolder;
        QString proposedName;
        QString confirmTitle = {};
        QStringList nameFilters = {};
    };

    std::optional<QString> folderAnswer;
    std::optional<QString> saveAnswer;
    std::optional<QStringList> filesAnswer;
    bool fail = false; // the dialog cannot be shown: both throw
    QList<Call> calls;

    QCoro::Task<std::optional<QString>> chooseFolder(QString message, QString startFolder) override {
        calls.append({Call::Folder, message, startFolder, QString()});
        if (fail)
            throw std::runtime_error("no folder dialog");
        // A copy: returning the member itself would move it out, and a second call would get an empty text.
        auto answer = folderAnswer;
        co_return answer;
    }
    QCoro::Task<std::optional<QStringList>> chooseFiles(QString message, QString confirmTitle,
                                                        QStringList nameFilters) override {
        calls.append({Call::Files, message, QString(), QString(), confirmTitle, nameFilters});
        if (fail)
            throw std::runtime_error("no open dialog");
        // A copy: returning the member itself would move it out, and a second call would get an empty text.
        auto answer = filesAnswer;
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> saveFile(QString message, QString startFolder,
                                                 QString proposedName) override {
        calls.append({Call::Save, message, startFolder, proposedName});
        if (fail)
            throw std::runtime_error("no save dialog");
        // A copy: returning the member itself would move it out, and a second call would get an empty text.
        auto answer = saveAnswer;
        co_return answer;
    }
};
