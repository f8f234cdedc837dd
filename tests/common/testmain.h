#pragma once

#include <QApplication>
#include <QtTest>

#include <initializer_list>

// The one main of the tests that build widgets (widget-free tests use QTEST_GUILESS_MAIN): headless
// unless QT_QPA_PLATFORM says otherwise. A test file may give child modes, which a test starts as a
// separate process of its own executable ("--convert APP TASK HOST"), and work that must be done
// before the application object exists.
namespace TestMain {

struct ChildMode
{
    const char *option; // the first argument
    int argc; // the whole argument count the mode takes, program name included
    int (*run)(int argc, char *argv[]);
};

// QT_QPA_PLATFORM=offscreen when it is unset.
void useHeadlessDefault();

template <class Test>
int run(int argc, char *argv[], const char *sourceFile, std::initializer_list<ChildMode> modes = {},
    void (*beforeApplication)() = nullptr)
{
    useHeadlessDefault();
    for (const ChildMode &mode : modes) {
        if (argc == mode.argc && qstrcmp(argv[1], mode.option) == 0)
            return mode.run(argc, argv);
    }
    if (beforeApplication)
        beforeApplication();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    Test test;
    QTest::setMainSourcePath(sourceFile);
    return QTest::qExec(&test, argc, argv);
}

} // namespace TestMain

// QUILLORA_TEST_MAIN(TestClass) or QUILLORA_TEST_MAIN(TestClass, {child modes}, beforeApplication)
#define QUILLORA_TEST_MAIN(Test, ...)                                                                                  \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        return TestMain::run<Test>(argc, argv, __FILE__, ##__VA_ARGS__);                                               \
    }
