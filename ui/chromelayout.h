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

// Where the window's parts go in the normal (1024 x 728, centred) or maximised state.
struct ChromeLayout
{
    QRect window;
    int captionWidth;
    int homePageX, minX, maxX, closeX; // caption buttons, each 26 x 26 at y 2
    QRect leftPanel;
    QRect rightPanel;
    QSize textView;
};
ChromeLayout normalLayout(int screenWidth, int screenHeight);
ChromeLayout maximisedLayout(int screenWidth, int availableHeight);
