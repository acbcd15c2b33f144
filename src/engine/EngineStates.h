#pragma once

#include <QString>

// The states the engine names by a word in "transcribe.state", "model.state" and "clip.state", read into
// these once, where the events are decoded; nothing past the decoding compares the words. Other stands
// for a word the application does not know.
enum class TranscriptionStatus { Queued, Running, Done, Failed, Cancelled, Other };
enum class ModelStatus { Installed, Deleted, Cancelled, Failed, Other };
enum class ClipStatus { Running, Done, Failed, Cancelled, Other };

TranscriptionStatus transcriptionStatusOf(const QString& word);
ModelStatus modelStatusOf(const QString& word);
ClipStatus clipStatusOf(const QString& word);
