#include "ui/widget.h"

#include "app/appstate.h"
#include "app/deployment.h"
#include "media/recorder.h"
#include "pipeline/livetranscription.h"
#include "platform/processes.h"
#include "ui/chromelayout.h"
#include "ui/library/librarypane.h"
#include "ui/notice.h"
#include "ui/player/playerpane.h"
#include "ui/tasks/taskpane.h"
#include "ui/theme.h"
#include "ui/windowdrag.h"

#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>
#include <QWindow>

#include <algorithm>

#include <phonon/SeekSlider>

void Widget::mousePressEvent(QMouseEvent *event)
{
    // The platform moves the window where it can (on Wayland nothing else may); elsewhere we do.
    if (event->button() == Qt::LeftButton && !maximised && windowHandle() && windowHandle()->startSystemMove())
        return;
    WindowDrag::press(event, dragging, dragPos);
}

void Widget::mouseReleaseEvent(QMouseEvent *event)
{
    WindowDrag::release(event, dragging);
}

void Widget::mouseMoveEvent(QMouseEvent *event)
{
    // A maximised window stays where it is.
    if (!maximised)
        WindowDrag::move(this, event, dragging, dragPos);
}

void Widget::slotShowMaxSize()
{
    maximised = !maximised;
    const ScreenArea screen = currentScreen(false);
    applyLayout(maximised ? maximisedLayout(screen) : normalLayout(screen));
}

ScreenArea Widget::currentScreen(bool atStart) const
{
    // Only the desktop's sizes are known (the tests give those): one screen from 0,0.
    if (AppState::screens.isEmpty()) {
        return {QRect(0, 0, AppState::screenWidth, AppState::screenHeight),
            QRect(0, 0, AppState::screenWidth, AppState::availableHeight)};
    }
    // A window is first placed on the primary screen; later on the screen it is on.
    return AppState::screens.at(atStart ? 0 : std::max(0, screenOf(AppState::screens, frameGeometry())));
}

void Widget::applyLayout(const ChromeLayout &layout)
{
    maxBtn->setStyleSheet(QString::fromUtf8(maximised ? Theme::restoreButton : Theme::maximiseButton));
    maxBtn->setToolTip(maximised ? tr("还原") : tr("最大化"));
    maxBtn->setAccessibleName(maxBtn->toolTip());
    setFixedSize(layout.window.size());
    captionLabel->resize(layout.captionWidth, 30);
    move(layout.window.topLeft());
    // 25 pixels apart, so the first three give up a pixel rather than overlap their neighbour.
    homePageBtn->setGeometry(layout.homePageX, 2, 25, 26);
    minBtn->setGeometry(layout.minX, 2, 25, 26);
    maxBtn->setGeometry(layout.maxX, 2, 25, 26);
    closeBtn->setGeometry(layout.closeX, 2, 26, 26);
    leftPanel->setGeometry(layout.leftPanel);
    rightPanel->setGeometry(layout.rightPanel);
    recordBar->setGeometry(0, 0, rightPanel->width(), 50);
    playerPane->placeIn(layout.recordBar.seekSlider, layout.recordBar.playClock);
    taskPane->placeIn(layout.taskBar);
    wordTextEdit->setGeometry(QRect(rightPanel->mapTo(this, QPoint(0, 50 + layout.taskBar.height)), layout.textView));

    // Toggling the checked page buttons shares the new panel height between the visible lists.
    for (QPushButton *pageButton : {wavBtn, txtBtn}) {
        if (pageButton->isChecked()) {
            pageButton->setChecked(false);
            pageButton->setChecked(true);
        }
    }
}

void Widget::slotClose()
{
    // A recording is finished as its stop button does, so the file is whole when the program ends.
    recorder->finishForClose();
    if (liveActive())
        live->finishForClose();
    // Text whose document could not be written exists nowhere else.
    if (viewHoldsUnwrittenText()) {
        const QString failure = writeOpenDocument();
        if (!failure.isEmpty())
            Notice::information(this, failure);
    }
    // The run ends as stopped first: its ffmpeg killed under it would read as audio it could not cut.
    if (runActive())
        conversionEngine->stop();
    killRunningProcesses({recorder->recordProcess(), convertProcess, lengthProcess, cutProcess});
    QFile::remove(AppState::dataDir + QStringLiteral("/recordTest.wav"));
    close();
}

void Widget::showHomePage()
{
    QDesktopServices::openUrl(QUrl(deploymentConfig().homePageAddress));
}

void Widget::slotWavBtnChecked(bool checked)
{
    libraryPane->showWavPage(checked);
}

void Widget::slotTxtBtnChecked(bool checked)
{
    libraryPane->showTxtPage(checked);
}
