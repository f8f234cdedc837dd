#pragma once

#include "app/appstate.h"

#include <QList>
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
    QRect upload, tasks, language, speakers, clearList, beginCover, stopCover, timeLeft, closeWord;
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
// A screen: its whole geometry and the part of it the desktop's panels leave free, in desktop
// coordinates (the available area need not start at 0,0: a panel on the left or at the top).
using ScreenArea = AppState::Screen;
// The screen a window with the given geometry is on: the one holding its centre, else the one it
// overlaps most, else the first. -1 when there is none.
int screenOf(const QList<ScreenArea> &screens, const QRect &window);
// The design's size, made smaller where the screen's available area is smaller (down to 800 x 560
// where there is that room, never more than there is), centred on the screen and moved inside the
// available area. An area of size 0 (no screen known) counts as large.
ChromeLayout normalLayout(const ScreenArea &screen);
// The whole available area of the screen.
ChromeLayout maximisedLayout(const ScreenArea &screen);
