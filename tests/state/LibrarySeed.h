#pragma once

// Writes items straight into the stand-in engine's library before it starts, through the engine's own
// library module, so tests see a library the engine really keeps.

#include "SourceDir.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>

inline bool seedLibrary(const QString& supportDir, const QJsonArray& items) {
    static const char* script = R"(
import json, os, sys
sys.path.insert(0, sys.argv[1])
from vamber_engine.librarydb import Item, Library
os.makedirs(sys.argv[2], exist_ok=True)
lib = Library(os.path.join(sys.argv[2], "library.sqlite3"))
for i, fields in enumerate(json.load(sys.stdin)):
    fields.setdefault("addedAt", 1000.0 - i)
    lib.add(Item(**fields))
lib.close()
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(script),
                  QStringLiteral(VAMBER_SOURCE_DIR "/Engine"), supportDir});
    python.write(QJsonDocument(items).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}
