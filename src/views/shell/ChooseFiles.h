#pragma once

#include <QCoro/QCoroTask>

class AppModel;

// Asks for media files to transcribe (several at once, no folders, only the engine's media types once it
// has named them) and hands each to the state object in the dialog's order, after showing the
// Transcription tab. Cancelling changes nothing; files the state refuses are reported by it, and the
// others still go. Used by the menu and the transcription pane.
QCoro::Task<void> chooseFilesToTranscribe(AppModel* model);
