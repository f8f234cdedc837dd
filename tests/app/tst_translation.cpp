#include "app/translation.h"
#include "common/testmain.h"
#include "common/windowfixture.h"
#include "ui/tasks/speakerchoice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTextEdit>
#include <QToolTip>
#include <QtTest>

// The interface in the language the locale asks for: English unless the user reads Chinese, whose
// texts are the design's own.
class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Translation::uninstall(); }

    void keepsSourceTexts_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<bool>("keeps");
        QTest::newRow("mainland Chinese") << QStringList {"zh-CN"} << true;
        QTest::newRow("Chinese with script") << QStringList {"zh-Hans-CN"} << true;
        QTest::newRow("Taiwan") << QStringList {"zh-TW"} << true;
        QTest::newRow("Chinese first, English after") << QStringList {"zh-CN", "en-US"} << true;
        QTest::newRow("English first, Chinese after") << QStringList {"en-US", "zh-CN"} << false;
        QTest::newRow("American English") << QStringList {"en-US"} << false;
        QTest::newRow("German, which has no translation") << QStringList {"de-DE"} << false;
        QTest::newRow("C locale") << QStringList {"C"} << false;
        QTest::newRow("nothing known") << QStringList() << false;
    }
    void keepsSourceTexts()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(bool, keeps);
        QCOMPARE(Translation::keepsSourceTexts(uiLanguages), keeps);
    }

    void windowTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QStringList>("buttons"); // upload, clear list, start, stop, close document
        QTest::addColumn<QString>("language"); // the selector's third item
        QTest::addColumn<QString>("placeholder");
        QTest::addColumn<QString>("notice"); // starting with no task
        QTest::newRow("English") << "en_US" << true
                                 << QStringList {"Add files", "Clear list", "Convert", "Stop", "Close doc"} << "English"
                                 << "Audio/video files"
                                 << "Please add the files to convert first!";
        QTest::newRow("British English") << "en_GB" << true
                                         << QStringList {"Add files", "Clear list", "Convert", "Stop", "Close doc"}
                                         << "English"
                                         << "Audio/video files"
                                         << "Please add the files to convert first!";
        QTest::newRow("Chinese") << "zh_CN" << false
                                 << QStringList {"上传文件", "清空列表", "开始转换", "停止转换", "关闭文档"} << "英文"
                                 << "支持所有主流[音/视频]格式"
                                 << "请先添加需要转换的文件！";
    }
    void windowTexts()
    {
        QFETCH(QString, locale);
        QFETCH(bool, english);
        QFETCH(QStringList, buttons);
        QFETCH(QString, language);
        QFETCH(QString, placeholder);
        QFETCH(QString, notice);
        QCOMPARE(Translation::install(QLocale(locale)), english);
        WindowFixture f;
        Widget *window = f.start();
        QCOMPARE(QStringList({window->uploadBtn->text(), window->clearListBtn->text(), window->beginCoverBtn->text(),
                     window->stopCoverBtn->text(), window->closeWordBtn->text()}),
            buttons);
        QCOMPARE(window->languageBox->itemText(2), language);
        // What is sent and remembered stays the design's text whatever is shown.
        QCOMPARE(window->languageBox->itemData(2).toString(), QStringLiteral("英文"));
        QCOMPARE(window->taskLineEdit->placeholderText(), placeholder);
        window->slotBeginCover();
        QCOMPARE(f.notices, QStringList {notice});
    }

    // The window's geometry is fixed in pixels: every English text must fit the control that shows it.
    void englishFitsItsControls()
    {
        QVERIFY(Translation::install(QLocale(QStringLiteral("en_US"))));
        WindowFixture f;
        Widget *window = f.start();
        const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
        int checked = 0;
        for (const QPushButton *button : buttons) {
            if (button->text().isEmpty() || !button->isVisibleTo(window))
                continue;
            const int room = button->width() - (button->icon().isNull() ? 4 : button->iconSize().width() + 8);
            const int needed = button->fontMetrics().horizontalAdvance(button->text());
            QVERIFY2(needed <= room,
                qPrintable(QStringLiteral("%1: %2 px in %3").arg(button->text()).arg(needed).arg(room)));
            ++checked;
        }
        QVERIFY(checked >= 5);
        // The start button also shows the run's progress in the longest form it takes.
        for (const char *progress : {"转写:%1%", "分割:%1%"}) {
            const QString text = QCoreApplication::translate("ConversionEngine", progress).arg("100.0");
            const int needed = window->beginCoverBtn->fontMetrics().horizontalAdvance(text);
            QVERIFY2(needed <= window->beginCoverBtn->width() - 4,
                qPrintable(
                    QStringLiteral("%1: %2 px in %3").arg(text).arg(needed).arg(window->beginCoverBtn->width() - 4)));
        }
        // The choices of language and of speakers, each item in the field that shows it.
        for (QComboBox *choice : {window->languageBox, static_cast<QComboBox *>(window->speakerChoice)}) {
            choice->ensurePolished();
            QStyleOptionComboBox option;
            option.initFrom(choice);
            const int room = choice->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, choice)
                                 .width()
                - 8; // the text's margins inside the field
            for (int i = 0; i < choice->count(); ++i) {
                const int needed = choice->fontMetrics().horizontalAdvance(choice->itemText(i));
                QVERIFY2(needed <= room,
                    qPrintable(QStringLiteral("%1: %2 px in %3").arg(choice->itemText(i)).arg(needed).arg(room)));
            }
        }
        // A long tooltip wraps (at about 80 characters) instead of running on in one line off the screen,
        // and keeps its line breaks.
        for (QWidget *tipped :
            {static_cast<QWidget *>(window->liveCheck), static_cast<QWidget *>(window->wordTextEdit)}) {
            QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), tipped->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(tipped, &help);
            QTRY_VERIFY(QToolTip::isVisible());
            QWidget *tip = nullptr;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (top->inherits("QTipLabel") && top->isVisible())
                    tip = top;
            }
            QVERIFY(tip);
            const int room = tip->fontMetrics().averageCharWidth() * 84;
            QVERIFY2(tip->width() <= room, qPrintable(QStringLiteral("%1 px in %2").arg(tip->width()).arg(room)));
            QVERIFY(tip->height() >= 2 * tip->fontMetrics().height()); // two lines or more
            QToolTip::hideText();
        }
    }
};

QUILLORA_TEST_MAIN(TestTranslation)
#include "tst_translation.moc"
