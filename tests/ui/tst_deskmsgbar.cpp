#include "app/appstate.h"
#include "common/testmain.h"
#include "ui/deskmsgbar.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
void sendMouse(
    QWidget *target, QEvent::Type type, const QPoint &local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
} // namespace

class TestDeskMsgBar : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        AppState::screenWidth = 1920;
        AppState::screenHeight = 1080;
    }

    void placedOnTheDesktopCentre_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("1920x1080") << 1920 << 1080 << QPoint(800, 430);
        QTest::newRow("two screens") << 3840 << 1080 << QPoint(1760, 430);
        QTest::newRow("smaller than the box") << 301 << 201 << QPoint(-9, -9);
    }

    void placedOnTheDesktopCentre()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        AppState::screenWidth = width;
        AppState::screenHeight = height;
        deskMsgBar box(nullptr, QStringLiteral("程序已经启动！"));
        QTEST(box.pos(), "expected");
        QCOMPARE(box.size(), QSize(320, 220));
        QCOMPARE(box.findChild<QLabel *>("textLabel")->text(), QStringLiteral("程序已经启动！"));
        QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!box.testAttribute(Qt::WA_QuitOnClose));
    }

    // Enter presses the button and Escape closes, as the keyboard's user expects; other keys do nothing.
    void escapeAndEnterClose()
    {
        deskMsgBar box(nullptr, QStringLiteral("消息"));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_A);
        QTest::keyClick(&box, Qt::Key_Space);
        QVERIFY(box.isVisible());
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_Return);
        QVERIFY(!box.isVisible());
        box.show();
        box.sureButton->click();
        QVERIFY(!box.isVisible());
    }

    void closeButtonCloses()
    {
        deskMsgBar box(nullptr, QStringLiteral("消息"));
        box.show();
        box.closeButton->click();
        QVERIFY(!box.isVisible());
    }

    void dragging()
    {
        deskMsgBar box(nullptr, QStringLiteral("消息"));
        box.show();
        const QPoint start = box.pos();
        QWidget *face = box.findChild<QLabel *>("textLabel");

        // Right button: nothing.
        sendMouse(face, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
        sendMouse(face, QEvent::MouseMove, {60, 10}, Qt::NoButton, Qt::RightButton);
        sendMouse(face, QEvent::MouseButtonRelease, {60, 10}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(box.pos(), start);

        // Left button: follows the pointer.
        sendMouse(face, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(face, QEvent::MouseMove, {60, 30}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(box.pos(), start + QPoint(50, 20));

        // A right press during the drag stops the following; releasing it ends the drag.
        const QPoint moved = box.pos();
        sendMouse(face, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        sendMouse(face, QEvent::MouseMove, {40, 10}, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(box.pos(), moved);
        sendMouse(face, QEvent::MouseButtonRelease, {40, 10}, Qt::RightButton, Qt::LeftButton);
        sendMouse(face, QEvent::MouseMove, {80, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(box.pos(), moved);
        QVERIFY(!box.dragging);
    }
};

QUILLORA_TEST_MAIN(TestDeskMsgBar)
#include "tst_deskmsgbar.moc"
