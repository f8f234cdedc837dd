#include "ui/chromelayout.h"

ListHeights listHeights(int panelHeight, int buttonHeight)
{
    const int rest = panelHeight - 2 * buttonHeight;
    return {rest - 1, rest / 2 - 1, rest / 2};
}

ChromeLayout normalLayout(int screenWidth, int screenHeight)
{
    ChromeLayout layout;
    layout.window = QRect((screenWidth - 1024) / 2, (screenHeight - 728) / 2, 1024, 728);
    layout.captionWidth = 1024;
    layout.homePageX = 919;
    layout.minX = 944;
    layout.maxX = 969;
    layout.closeX = 994;
    layout.leftPanel = QRect(0, 30, 200, 698);
    layout.rightPanel = QRect(200, 30, 824, 698);
    layout.textView = QSize(824, 598);
    return layout;
}

ChromeLayout maximisedLayout(int screenWidth, int availableHeight)
{
    ChromeLayout layout;
    layout.window = QRect(0, 0, screenWidth, availableHeight);
    layout.captionWidth = screenWidth;
    layout.homePageX = screenWidth - 105;
    layout.minX = screenWidth - 80;
    layout.maxX = screenWidth - 55;
    layout.closeX = screenWidth - 30;
    layout.leftPanel = QRect(0, 30, 200, availableHeight - 30);
    layout.rightPanel = QRect(200, 30, screenWidth - 200, availableHeight - 30);
    layout.textView = QSize(screenWidth - 200, availableHeight - 130);
    return layout;
}
