#pragma once

#include <QRect>

// Heights of the two file lists for a left panel of the given height and page-button height.
struct ListHeights
{
    int full; // one list shown
    int upper; // both shown: the audio list
    int lower; // both shown: the document list
};
ListHeights listHeights(int panelHeight, int buttonHeight);

// Where the controls of the task bar go for a bar of the given width (relative to the bar). A bar too
// narrow for one row puts the conversion controls in a second row below the task selector.
struct TaskBarLayout
{
    int height; // 40 for one row, 80 for two
    QRect upload, tasks, language, clearList, beginCover, stopCover, timeLeft, closeWord;
};
TaskBarLayout taskBarLayout(int width);

// The record bar's slider and playback clock for a bar of the given width; the rest stays put.
struct RecordBarLayout
{
    QRect seekSlider, playClock;
};
RecordBarLayout recordBarLayout(int width);

// Where the window's parts go in the normal (1024 x 728 where it fits) or maximised state.
struct ChromeLayout
{
    QRect window;
    int captionWidth;
    int homePageX, minX, maxX, closeX; // caption buttons at y 2, 25 apart (the close button 26 wide)
    QRect leftPanel;
    QRect rightPanel;
    QSize textView; // 10 pixels short of the window's bottom, as a maximise or restore leaves it
    TaskBarLayout taskBar;
    RecordBarLayout recordBar;
};
// The design's size, made smaller where the available area (from 0,0: the width of the screens and the
// height left by the desktop's panels) is smaller, though never under 800 x 560; centred on the
// screen and moved inside the available area. A size of 0 (no screen known) counts as large.
ChromeLayout normalLayout(int screenWidth, int screenHeight, int availableHeight);
ChromeLayout maximisedLayout(int screenWidth, int availableHeight);
