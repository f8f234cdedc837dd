#include "ui/chromelayout.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

ListHeights listHeights(int panelHeight, int buttonHeight)
{
    const int rest = panelHeight - 2 * buttonHeight;
    return {rest - 1, rest / 2 - 1, rest / 2};
}

namespace {
constexpr int designWidth = 1024;
constexpr int designHeight = 728;
constexpr int leastWidth = 800;
constexpr int leastHeight = 560;
constexpr int designTaskSelector = 272;
constexpr int leastTaskSelector = 150;
constexpr int timeLeftWidth = 104;
constexpr int speakersWidth = 132;

// Lays out buttons of the given widths from x, with the gaps between them, at y.
int row(int x, int y, std::initializer_list<std::pair<QRect *, int>> items, std::initializer_list<int> gaps)
{
    auto gap = gaps.begin();
    for (const auto &item : items) {
        *item.first = QRect(x, y, item.second, 30);
        x += item.second + (gap != gaps.end() ? *gap++ : 0);
    }
    return x;
}

ChromeLayout layoutFor(const QRect &window)
{
    const int w = window.width();
    const int h = window.height();
    ChromeLayout layout;
    layout.window = window;
    layout.captionWidth = w;
    layout.homePageX = w - 105;
    layout.minX = w - 80;
    layout.maxX = w - 55;
    layout.closeX = w - 30;
    layout.leftPanel = QRect(0, 30, 200, h - 30);
    layout.rightPanel = QRect(200, 30, w - 200, h - 30);
    layout.taskBar = taskBarLayout(w - 200);
    layout.recordBar = recordBarLayout(w - 200);
    layout.textView = QSize(w - 200, h - 30 - 50 - layout.taskBar.height - 10);
    return layout;
}
} // namespace

TaskBarLayout taskBarLayout(int width)
{
    TaskBarLayout bar;
    bar.closeWord = QRect(width - 85, 5, 80, 30);
    // What one row needs besides the task selector: every other control and the gaps between them.
    const int others
        = 5 + 80 + 8 + 7 + 80 + 8 + speakersWidth + 8 + 80 + 10 + 90 + 10 + 80 + 6 + timeLeftWidth + 6 + 85;
    const int selector = std::min(designTaskSelector, width - others);
    if (selector >= leastTaskSelector) {
        bar.height = 40;
        bar.upload = QRect(5, 5, 80, 30);
        bar.tasks = QRect(93, 7, selector, 26);
        row(93 + selector + 7, 5,
            {{&bar.language, 80}, {&bar.speakers, speakersWidth}, {&bar.clearList, 80}, {&bar.beginCover, 90},
                {&bar.stopCover, 80}, {&bar.timeLeft, timeLeftWidth}},
            {8, 8, 10, 10, 6});
        bar.language.adjust(0, 2, 0, -2);
        bar.speakers.adjust(0, 2, 0, -2);
        return bar;
    }
    bar.height = 80;
    bar.upload = QRect(5, 5, 80, 30);
    bar.speakers = QRect(width - 5 - speakersWidth, 7, speakersWidth, 26);
    bar.language = QRect(bar.speakers.x() - 8 - 80, 7, 80, 26);
    bar.tasks = QRect(93, 7, bar.language.x() - 7 - 93, 26);
    const int end = row(5, 45, {{&bar.clearList, 80}, {&bar.beginCover, 90}, {&bar.stopCover, 80}}, {10, 10});
    bar.timeLeft = QRect(end + 6, 45, width - 85 - 6 - (end + 6), 30);
    bar.closeWord.moveTop(45);
    return bar;
}

RecordBarLayout recordBarLayout(int width)
{
    // The clock keeps its 140 pixels at the right; the slider gives up what the bar lacks.
    const int slider = std::min(271, width - 403 - 6 - 144);
    return {QRect(403, 18, slider, 16), QRect(403 + slider + 6, 12, 140, 26)};
}

int screenOf(const QList<ScreenArea> &screens, const QRect &window)
{
    int best = screens.isEmpty() ? -1 : 0;
    qint64 bestOverlap = 0;
    for (int i = 0; i < screens.size(); ++i) {
        if (screens.at(i).geometry.contains(window.center()))
            return i;
        const QRect overlap = screens.at(i).geometry.intersected(window);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (!overlap.isEmpty() && area > bestOverlap) {
            bestOverlap = area;
            best = i;
        }
    }
    return best;
}

namespace {
// Within [least, design] where the room allows, never more than the room.
int fitted(int room, int least, int design)
{
    return room > 0 ? std::min(room, std::clamp(room, least, design)) : design;
}

// Where a window of the given size centred on the screen comes to lie inside the available area.
int placed(int screenStart, int screenSize, int areaStart, int areaSize, int size)
{
    const int centred = screenStart + (screenSize - size) / 2;
    return std::max(areaStart, std::min(centred, areaStart + areaSize - size));
}
} // namespace

ChromeLayout normalLayout(const ScreenArea &screen)
{
    const QRect &area = screen.available;
    const int w = fitted(area.width(), leastWidth, designWidth);
    const int h = fitted(area.height(), leastHeight, designHeight);
    if (area.isEmpty())
        return layoutFor(QRect(0, 0, w, h));
    const int x = placed(screen.geometry.x(), screen.geometry.width(), area.x(), area.width(), w);
    const int y = placed(screen.geometry.y(), screen.geometry.height(), area.y(), area.height(), h);
    return layoutFor(QRect(x, y, w, h));
}

ChromeLayout maximisedLayout(const ScreenArea &screen)
{
    if (screen.available.isEmpty())
        return layoutFor(QRect(0, 0, leastWidth, leastHeight));
    return layoutFor(screen.available);
}
