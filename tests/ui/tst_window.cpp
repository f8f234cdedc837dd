#include "app/appstate.h"
#include "common/appfolders.h"
#include "common/scriptedserver.h"
#include "common/testmain.h"
#include "ui/chromelayout.h"
#include "ui/library/mylistwidget.h"
#include "ui/notice.h"
#include "ui/tasks/speakerchoice.h"
#include "ui/widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {
// Sends a mouse event through the application, so an ignoring child passes it on to its parent.
void sendMouse(
    QWidget *target, QEvent::Type type, const QPoint &local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void drag(QWidget *target, Qt::MouseButton pressed, Qt::MouseButtons heldWhileMoving, const QPoint &by)
{
    const QPoint start(40, 10);
    sendMouse(target, QEvent::MouseButtonPress, start, pressed, pressed);
    sendMouse(target, QEvent::MouseMove, start + by, Qt::NoButton, heldWhileMoving);
    sendMouse(target, QEvent::MouseButtonRelease, start + by, pressed, Qt::NoButton);
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir appDir;
    std::unique_ptr<Widget> window;

    void setDesktop(int width, int height, int available)
    {
        AppState::screenWidth = width;
        AppState::screenHeight = height;
        AppState::availableHeight = available;
    }

private slots:
    void init()
    {
        QVERIFY(appDir.isValid());
        useAppFolder(appDir.path());
        AppState::screens.clear();
        setDesktop(1920, 1080, 1040);
        window = std::make_unique<Widget>(nullptr);
        window->move(448, 176);
    }

    void cleanup() { window.reset(); }

    void liveCheckBoxIsDrawn_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<bool>("checked");
        for (const char *style : {"Fusion", "Windows"}) {
            for (qreal scale : {1.0, 1.5, 2.0}) {
                for (bool checked : {false, true})
                    QTest::addRow("%s, %.1fx, %s", style, scale, checked ? "checked" : "unchecked")
                        << QString::fromLatin1(style) << scale << checked;
            }
        }
    }

    // The box of "边录边转" is seen whether ticked or not, in every style and at every scale: a frame darker
    // than the bar round it, and a tick that changes it.
    void liveCheckBoxIsDrawn()
    {
        QFETCH(QString, style);
        QFETCH(qreal, scale);
        QFETCH(bool, checked);
        QCheckBox *box = window->liveCheck;
        QStyle *base = QStyleFactory::create(style);
        QVERIFY(base);
        base->setParent(box); // outlives the box's use of it, however the test ends
        box->setStyle(base);
        box->setChecked(checked);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QPixmap picture(box->size() * scale);
        picture.setDevicePixelRatio(scale);
        picture.fill(Qt::white);
        box->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
        const QImage image = picture.toImage();
        int dark = 0;
        const QRect area(indicator.topLeft() * scale, indicator.size() * scale);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 160;
        }
        QVERIFY2(dark >= 2 * area.width(), qPrintable(QString::number(dark)));
    }

    void constructedState()
    {
        QCOMPARE(window->size(), QSize(1024, 728));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillora"));
        for (const char *folder : {"/myWordFiles", "/myWAVFiles", "/myTmpWAVFiles"})
            QVERIFY(QDir(appDir.path() + folder).exists());
        QVERIFY(window->wavList->isHidden());
        QVERIFY(window->wordList->isHidden());
        QVERIFY(window->wordTextEdit->isHidden());
        QVERIFY(window->pauseBtn->isHidden());
        QVERIFY(!window->stopCoverBtn->isEnabled());
        QCOMPARE(window->beginCoverBtn->text(), QStringLiteral("开始转换"));
        QCOMPARE(window->recordTimeLabel->text(), QStringLiteral("00:00:00"));
        QCOMPARE(window->playTimeLabel->text(), QStringLiteral("00:00:00 / 00:00:00"));
        // The speakers' choice beside the language takes the design's width past one row of the task bar.
        QCOMPARE(window->wordTextEdit->geometry(), QRect(200, 160, 824, 568));
        QCOMPARE(window->closeWordBtn->geometry(), QRect(739, 45, 80, 30));
        QCOMPARE(window->speakerChoice->currentText(), QStringLiteral("不区分说话人"));
        QCOMPARE(window->speakerChoice->speakers(), -1);
        QCOMPARE(window->speakerChoice->itemText(1), QStringLiteral("自动区分说话人"));
        QCOMPARE(window->speakerChoice->itemText(2), QStringLiteral("2 位说话人"));
        QStringList languages;
        for (int i = 0; i < window->languageBox->count(); ++i)
            languages << window->languageBox->itemText(i);
        QCOMPARE(languages, QStringList({"中文近场", "中文远场", "英文", "粤语", "四川话"}));
        QCOMPARE(window->languageBox->currentText(), QStringLiteral("中文近场"));
        QCOMPARE(window->audioCombo->count(), 0);
        QCOMPARE(window->audioCombo->lineEdit()->placeholderText(), QStringLiteral("支持所有主流[音/视频]格式"));
        QVERIFY(window->audioCombo->lineEdit()->isReadOnly());
        // The record clock lies above the record bar, between the record and play buttons.
        QCOMPARE(window->recordTimeLabel->parentWidget(), window->rightPanel);
        const QObjectList siblings = window->rightPanel->children();
        QVERIFY(siblings.indexOf(window->recordTimeLabel) > siblings.indexOf(window->recordBar));
        for (QPushButton *button : window->findChildren<QPushButton *>())
            QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }

    void existingFolderContentsKept()
    {
        window.reset();
        QFile keep(appDir.path() + "/myWAVFiles/keep.wav");
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("RIFF");
        keep.close();
        window = std::make_unique<Widget>(nullptr);
        QVERIFY(QFile::exists(appDir.path() + "/myWAVFiles/keep.wav"));
    }

    void listHeightsRule_data()
    {
        QTest::addColumn<int>("panel");
        QTest::addColumn<int>("full");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("lower");
        QTest::newRow("normal") << 698 << 597 << 298 << 299;
        QTest::newRow("maximised 1040") << 1010 << 909 << 454 << 455;
        QTest::newRow("odd rest") << 699 << 598 << 298 << 299;
    }

    void listHeightsRule()
    {
        QFETCH(int, panel);
        const ListHeights heights = listHeights(panel, 50);
        QTEST(heights.full, "full");
        QTEST(heights.upper, "upper");
        QTEST(heights.lower, "lower");
    }

    void pageButtonsShareTheHeight()
    {
        window->wavBtn->setChecked(true);
        QVERIFY(!window->wavList->isHidden());
        QCOMPARE(window->wavList->height(), 597);
        window->txtBtn->setChecked(true);
        QCOMPARE(window->wavList->height(), 298);
        QCOMPARE(window->wordList->height(), 299);
        window->wavBtn->setChecked(false);
        QVERIFY(window->wavList->isHidden());
        QCOMPARE(window->wordList->height(), 597);
        window->txtBtn->setChecked(false);
        QVERIFY(window->wordList->isHidden());
    }

    void maximiseAndRestore()
    {
        window->wavBtn->setChecked(true);
        window->txtBtn->setChecked(true);
        window->maxBtn->click();
        QCOMPARE(window->size(), QSize(1920, 1040));
        QCOMPARE(window->pos(), QPoint(0, 0));
        QCOMPARE(window->closeBtn->x(), 1920 - 30);
        QCOMPARE(window->homePageBtn->x(), 1920 - 105);
        QCOMPARE(window->maxBtn->toolTip(), QStringLiteral("还原"));
        QVERIFY(window->maxBtn->styleSheet().contains("normal_p.png"));
        QCOMPARE(window->rightPanel->geometry(), QRect(200, 30, 1720, 1010));
        QCOMPARE(window->taskBar->width(), 1720);
        QCOMPARE(window->closeWordBtn->x(), 1720 - 85);
        QCOMPARE(window->wordTextEdit->geometry(), QRect(200, 120, 1720, 910));
        QVERIFY(!window->wavList->isHidden() && !window->wordList->isHidden());
        QCOMPARE(window->wavList->height(), 454);
        QCOMPARE(window->wordList->height(), 455);

        window->txtBtn->setChecked(false);
        window->maxBtn->click();
        QCOMPARE(window->size(), QSize(1024, 728));
        QCOMPARE(window->pos(), QPoint(448, 176));
        QCOMPARE(window->maxBtn->toolTip(), QStringLiteral("最大化"));
        QCOMPARE(window->closeBtn->x(), 994);
        QCOMPARE(window->wordTextEdit->size(), QSize(824, 558));
        QCOMPARE(window->wavList->height(), 597);
        QVERIFY(window->wordList->isHidden());
    }

    void maximiseSpansTwoScreens()
    {
        setDesktop(3840, 1080, 1040);
        window->maxBtn->click();
        QCOMPARE(window->geometry(), QRect(0, 0, 3840, 1040));
        window->maxBtn->click();
        QCOMPARE(window->pos(), QPoint(1408, 176));
    }

    // On any screen from 800 x 600 up, normal and maximised: the window lies inside the area the
    // desktop leaves free, and no two controls of a bar overlap or leave it.
    void layoutFitsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("available");
        QTest::addColumn<QSize>("normal");
        QTest::newRow("800x600") << QSize(800, 600) << 600 << QSize(800, 600);
        QTest::newRow("800x600 with a panel") << QSize(800, 600) << 570 << QSize(800, 570);
        QTest::newRow("1024x768 with a panel") << QSize(1024, 768) << 728 << QSize(1024, 728);
        QTest::newRow("1280x720 with a panel") << QSize(1280, 720) << 690 << QSize(1024, 690);
        QTest::newRow("1366x768") << QSize(1366, 768) << 768 << QSize(1024, 728);
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1040 << QSize(1024, 728);
    }

    void layoutFitsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(int, available);
        setDesktop(screen.width(), screen.height(), available);
        window = std::make_unique<Widget>(nullptr);
        QTEST(window->size(), "normal");
        const QRect area(0, 0, screen.width(), available);
        for (bool maximised : {false, true, false}) {
            if (maximised != window->maximised)
                window->maxBtn->click();
            QVERIFY2(area.contains(window->geometry()), qPrintable(QString("maximised %1").arg(maximised)));
            if (maximised)
                QCOMPARE(window->geometry(), area);
            for (QWidget *bar : {static_cast<QWidget *>(window->captionLabel),
                     static_cast<QWidget *>(window->recordBar), static_cast<QWidget *>(window->taskBar)}) {
                QVERIFY(window->rect().contains(QRect(bar->mapTo(window.get(), QPoint()), bar->size())));
                QList<QWidget *> controls = bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
                if (bar == window->recordBar)
                    controls << window->recordTimeLabel; // lies over the bar, in the right panel
                controls.removeOne(window->pauseBtn); // takes the play button's place while playing
                for (int i = 0; i < controls.size(); ++i) {
                    QRect a = controls[i]->geometry();
                    if (controls[i] == window->recordTimeLabel)
                        a.translate(-window->recordBar->pos());
                    QVERIFY2(bar->rect().contains(a), qPrintable(controls[i]->accessibleName()));
                    for (int j = i + 1; j < controls.size(); ++j) {
                        QRect b = controls[j]->geometry();
                        if (controls[j] == window->recordTimeLabel)
                            b.translate(-window->recordBar->pos());
                        QVERIFY2(!a.intersects(b),
                            qPrintable(controls[i]->accessibleName() + " / " + controls[j]->accessibleName()));
                    }
                }
            }
            const QRect view(window->wordTextEdit->geometry());
            QVERIFY(window->rect().contains(view));
            QVERIFY(!view.intersects(QRect(window->taskBar->mapTo(window.get(), QPoint()), window->taskBar->size())));
        }
    }

    // Screens as geometry, available area pairs (the primary first); where the window is moved before
    // it is maximised (none: it stays where it was placed); then where it is placed, maximised and
    // restored. The window never lies beyond the available area of its screen.
    void placementInTheAvailableArea_data()
    {
        QTest::addColumn<QVector<QRect>>("screens");
        QTest::addColumn<QPoint>("moveTo");
        QTest::addColumn<QRect>("placed");
        QTest::addColumn<QRect>("maximised");
        QTest::addColumn<QRect>("restored");
        QTest::newRow("panel on the left")
            << QVector<QRect> {{0, 0, 1024, 768}, {48, 0, 976, 768}} << QPoint() << QRect(48, 20, 976, 728)
            << QRect(48, 0, 976, 768) << QRect(48, 20, 976, 728);
        QTest::newRow("panel at the top")
            << QVector<QRect> {{0, 0, 1024, 768}, {0, 32, 1024, 736}} << QPoint() << QRect(0, 32, 1024, 728)
            << QRect(0, 32, 1024, 736) << QRect(0, 32, 1024, 728);
        QTest::newRow("two screens, maximised on the second")
            << QVector<QRect> {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, {1920, 0, 1280, 1024}, {1920, 24, 1280, 1000}}
            << QPoint(2000, 100) << QRect(448, 176, 1024, 728) << QRect(1920, 24, 1280, 1000)
            << QRect(2048, 148, 1024, 728);
        QTest::newRow("scale 2 on 2560x1800 with a panel")
            << QVector<QRect> {{0, 0, 1280, 900}, {0, 0, 1280, 860}} << QPoint() << QRect(128, 86, 1024, 728)
            << QRect(0, 0, 1280, 860) << QRect(128, 86, 1024, 728);
        QTest::newRow("scale 2 on a screen smaller than the least size")
            << QVector<QRect> {{0, 0, 700, 500}, {0, 0, 700, 470}} << QPoint() << QRect(0, 0, 700, 470)
            << QRect(0, 0, 700, 470) << QRect(0, 0, 700, 470);
    }

    void placementInTheAvailableArea()
    {
        QFETCH(QVector<QRect>, screens);
        QFETCH(QPoint, moveTo);
        for (int i = 0; i + 1 < screens.size(); i += 2)
            AppState::screens.append({screens.at(i), screens.at(i + 1)});
        window = std::make_unique<Widget>(nullptr);
        QTEST(window->geometry(), "placed");
        if (!moveTo.isNull())
            window->move(moveTo);
        window->maxBtn->click();
        QTEST(window->geometry(), "maximised");
        window->maxBtn->click();
        QTEST(window->geometry(), "restored");
        QFETCH(QRect, restored);
        QVERIFY(std::any_of(AppState::screens.cbegin(), AppState::screens.cend(),
            [&](const AppState::Screen &screen) { return screen.available.contains(restored); }));
        AppState::screens.clear();
    }

    void dragRules_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("pressed");
        QTest::addColumn<int>("held");
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left on caption") << "caption" << int(Qt::LeftButton) << int(Qt::LeftButton) << false << true;
        QTest::newRow("left on task bar") << "taskBar" << int(Qt::LeftButton) << int(Qt::LeftButton) << false << true;
        QTest::newRow("right on caption")
            << "caption" << int(Qt::RightButton) << int(Qt::RightButton) << false << false;
        QTest::newRow("both buttons held")
            << "caption" << int(Qt::LeftButton) << int(Qt::LeftButton | Qt::RightButton) << false << false;
        QTest::newRow("push button") << "uploadBtn" << int(Qt::LeftButton) << int(Qt::LeftButton) << false << false;
        QTest::newRow("maximised") << "caption" << int(Qt::LeftButton) << int(Qt::LeftButton) << true << false;
    }

    void dragRules()
    {
        QFETCH(QString, target);
        QFETCH(int, pressed);
        QFETCH(int, held);
        QFETCH(bool, maximised);
        QFETCH(bool, moves);
        if (maximised)
            window->maxBtn->click();
        QWidget *widget = target == "caption" ? static_cast<QWidget *>(window->captionLabel)
            : target == "taskBar"             ? static_cast<QWidget *>(window->taskBar)
                                              : static_cast<QWidget *>(window->uploadBtn);
        const QPoint before = window->pos();
        drag(widget, Qt::MouseButton(pressed), Qt::MouseButtons(held), QPoint(100, 0));
        QCOMPARE(window->pos(), moves ? before + QPoint(100, 0) : before);
        QVERIFY(!window->dragging);
    }

    void closeRemovesTestRecording()
    {
        const QString leftover = appDir.path() + "/recordTest.wav";
        QFile file(leftover);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        window->closeBtn->click();
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(!window->isVisible());
    }

    // Closing during a conversion, then deleting the window as start-up does after the event loop:
    // the transcoder ends, and its end reaches no slot of the window being destroyed.
    void closeDuringConversionEndsCleanly()
    {
        QStringList notices;
        Notice::setTestHook([&notices](const QString &text) {
            notices << text;
            return QMessageBox::Ok;
        });
        // A transcoder that runs until it is ended.
        QFile wrapper(appDir.filePath("ffmpeg"));
        QVERIFY(wrapper.open(QIODevice::WriteOnly));
        wrapper.write("#!/bin/sh\nexec ffmpeg -nostdin -loglevel error -f lavfi -i anullsrc -f null -\n");
        wrapper.close();
        QVERIFY(wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeUser));
        QFile task(appDir.filePath("talk.mp3"));
        QVERIFY(task.open(QIODevice::WriteOnly));
        task.close();
        ScriptedServer server;
        window->testSeams.serviceHost = server.hostAndPort();
        window->accessToken = QStringLiteral("test-token");
        window->languageBox->setCurrentText(QStringLiteral("英文"));
        window->addTask(task.fileName());
        window->slotBeginCover();
        QTRY_COMPARE_WITH_TIMEOUT(window->convertProcess->state(), QProcess::Running, 10000);
        QVERIFY(window->convertProcess->waitForStarted(10000));
        const qint64 pid = window->convertProcess->processId();

        window->closeBtn->click();
        window.reset();

        Notice::setTestHook({});
        QCOMPARE(notices, QStringList());
        QVERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)));
    }
};

QUILLORA_TEST_MAIN(TestWindow)
#include "tst_window.moc"
