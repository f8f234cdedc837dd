#pragma once

#include <QString>

// File dialog filters. Groups are written "Name(*.a;*.b)" with ";;" between groups, but Qt's own
// dialog (the one used on Linux) reads the patterns of a group as separated by spaces.
namespace FileDialogFilter {

// The filter of the upload button: audio, video and all files.
QString openFilesFilter();

// The file name ends in one of the audio or video group's suffixes, in any mix of case.
bool isMediaFileName(const QString &fileName);

// Makes each group's patterns usable on this platform: ";" separators become spaces, each pattern
// also matches its upper-case spelling, and "*.*" becomes "*" so "all files" also shows files without
// an extension. Group names stay as they are.
QString forPlatform(const QString &filter);

} // namespace FileDialogFilter
