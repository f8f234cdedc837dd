#include "common/testmain.h"
#include "conversiontestutil.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace ConversionTest;

// The time-left label through a real run of two files against the scripted service.
class TestTimeLeftView : public QObject
{
    Q_OBJECT

private slots:
    void shownOnceSegmentsAreRecognisedGoneAtTheEnd()
    {
        Fixture f;
        const QString a = f.media.filePath("a.wav");
        const QString b = f.media.filePath("b.wav");
        QVERIFY(makeNoiseWav(a, 2008000)); // 125.5 s: three segments
        QVERIFY(makeNoiseWav(b, 480000)); // 30 s: one segment
        f.addTask(b);
        f.addTask(a);

        // What the label said when the start button took each text: the label follows right after it.
        QStringList seen;
        connect(f.window.get(), &Widget::startButtonTextChanged, this, [&](const QString &text) {
            seen << text + " | " + (f.window->timeLeftLabel->isHidden() ? "-" : f.window->timeLeftLabel->text());
        });
        f.window->slotBeginCover();
        QVERIFY(QTest::qWaitFor([&] { return f.idle(); }, 60000));
        QCOMPARE(f.notices, QStringList {"文件已经全部转换完成！"});

        const QRegularExpression estimate("^文件剩余 \\d\\d:\\d\\d\n全部剩余 \\d\\d:\\d\\d$");
        QStringList shape;
        for (const QString &entry : seen) {
            const QString label = entry.section(" | ", 1);
            shape << entry.section(" | ", 0, 0)
                    + (label == "-"                            ? " -"
                            : estimate.match(label).hasMatch() ? " t"
                                                               : " ?");
        }
        shape.removeDuplicates();
        QCOMPARE(shape,
            (QStringList {"转换中... -", "预处理... -", "转写:0.0% -", "转写:33.3% t", "转写:66.7% t", "转写:100.0% t",
                "预处理... t", "开始转换 t"}));
        QVERIFY(f.window->timeLeftLabel->isHidden());
        QVERIFY(f.window->timeLeftLabel->text().isEmpty());
        // Fits the task bar beside the conversion buttons.
        QVERIFY(f.window->taskBar->rect().contains(f.window->timeLeftLabel->geometry()));
        QVERIFY(!f.window->timeLeftLabel->geometry().intersects(f.window->stopCoverBtn->geometry()));
        QVERIFY(!f.window->timeLeftLabel->geometry().intersects(f.window->closeWordBtn->geometry()));
    }
};

QUILLORA_TEST_MAIN(TestTimeLeftView)
#include "tst_timeleftview.moc"
