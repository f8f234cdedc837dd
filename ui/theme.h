#pragma once

// Every colour and style sheet of the program's windows. Blue #0c80e8 (captions, the message box's
// buttons), action blue #217cff, border grey #b6bbc2, selection #e4eef8, slider blue #0177ff.
// Each sheet is set on its own widget; there is no application-wide sheet.
namespace Theme {

// Caption strips: the main window's and the rename dialog's title.
extern const char *const caption;
extern const char *const captionIcon;
extern const char *const homePageButton;
extern const char *const minimiseButton;
extern const char *const maximiseButton;
extern const char *const restoreButton;
extern const char *const closeButton;

// The left panel with the two page buttons and their lists.
extern const char *const leftPanel;
extern const char *const wavPageButton;
extern const char *const addWavButton;
extern const char *const txtPageButton;
extern const char *const fileList;

// The right panel: record bar and task bar.
extern const char *const rightPanel;
extern const char *const strip; // record bar and task bar
extern const char *const comboBox;
extern const char *const recordButton;
extern const char *const recordClock;
extern const char *const liveCheck; // the live-text check box in the record bar
extern const char *const playButton;
extern const char *const pauseButton;
extern const char *const stopButton;
extern const char *const seekSlider;
extern const char *const playClock;
extern const char *const actionButton; // blue, grey when disabled
extern const char *const clearListButton; // blue, no disabled look
extern const char *const timeLeft;
extern const char *const textView;
extern const char *const findBar; // and its match count
constexpr unsigned matchColour = 0xfff0a0; // every match of the find field in the text view
constexpr unsigned currentMatchColour = 0xffb347; // the match the view's cursor is at
constexpr unsigned spokenWordColour = 0xa8d8ff; // the word being played from the document's source

// The message box.
extern const char *const messageBackground;
extern const char *const messageTitle; // %1: font size
extern const char *const messageText; // %1: font size
extern const char *const messageCloseButton;
extern const char *const messageAcceptButton;

// The rename dialog (its title is `caption`, its close button `closeButton`).
extern const char *const renameOkButton;

// Font size of the caption and message texts, in pixels.
constexpr int captionFontPx = 14;

} // namespace Theme
