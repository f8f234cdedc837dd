#include "ui/widget.h"

#include <QFileInfo>

void Widget::showTimeLeft(const QString &task, int segmentsDone, int segmentCount)
{
    if (!runClock.isValid())
        runClock.start();
    timeLeft.progress(task, QFileInfo(task).size(), segmentsDone, segmentCount, runClock.elapsed());
    QList<TimeLeftEstimator::QueuedFile> queued;
    for (const QString &path : qAsConst(taskFiles)) {
        if (path != task)
            queued.append({QFileInfo(path).suffix(), QFileInfo(path).size()});
    }
    const QString text = TimeLeft::text(timeLeft.estimate(queued));
    timeLeftLabel->setText(text);
    timeLeftLabel->setAccessibleName(QString(text).replace(QLatin1Char('\n'), tr("，")));
    timeLeftLabel->setVisible(!text.isEmpty());
}

void Widget::hideTimeLeft()
{
    timeLeft.reset();
    runClock.invalidate();
    timeLeftLabel->hide();
    timeLeftLabel->clear();
}
