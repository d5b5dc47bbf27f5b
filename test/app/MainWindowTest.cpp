// Drives the main window on the offscreen platform: the form as built, and runs of each segment
// with the job held in its thread while the busy dialog is checked.
#include "MainWindow.h"

#include "Logger.h"
#include "Options.h"
#include "Worker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>

// Qt's offscreen platform plugin never frees the screen and cursor that it creates with the
// application. Full stacks let the leak check recognise those allocations, and only those.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QGuiApplicationPrivate::createPlatformIntegration\n";
}

namespace {

// The whole suite shares one application, one logger and one log directory.
class GuiEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app.reset(new QApplication(argc, argv));
        ASSERT_TRUE(logDir.isValid());
        Logger::init(logDir.path());
        Options::opts->logDir = logDir.path();

        // The jobs run for real, from a working directory where every path that the tests type
        // and every standard gold file exists and is empty, so that the runs load nothing and
        // log no more than the warnings and errors that say so.
        ASSERT_TRUE(workDir.isValid());
        const QDir root(workDir.path());
        for (const char* dir : {"data", "lib/a", "classes", "fw/one", "fw/two", "gold", "second"})
            ASSERT_TRUE(root.mkpath(dir));
        for (const char* gold : {"j2ee8", "j2se8", "IOS", "VELM_common", "FormerlyCORBA",
                                 "TSS_type_independent", "TSS_type_abstraction"}) {
            QFile file(root.filePath(QString("data/%1.javagold").arg(gold)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        for (const char* gold : {"gold/x.javagold", "gold/y.javagold"}) {
            QFile file(root.filePath(gold));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QDir::setCurrent(workDir.path()));
    }
    void TearDown() override { app.reset(); }

    static int argc;
    static char* argv[];
    std::unique_ptr<QApplication> app;
    QTemporaryDir logDir;
    QTemporaryDir workDir;
};

int GuiEnvironment::argc = 1;
char* GuiEnvironment::argv[] = {const_cast<char*>("main_window_tests"), nullptr};

const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// Holds every job at its start, in the worker thread, until the test lets it go, and records
// the log lines of the jobs.
class JobGate
{
public:
    JobGate()
    {
        connection = QObject::connect(
            Logger::logger, &Logger::log, Logger::logger,
            [this](Logger::Level, const QString& msg) {
                {
                    QMutexLocker lock(&mutex);
                    lines.append(msg);
                }
                if (QThread::currentThread() != qApp->thread() &&
                    msg == "Worker thread beginning work")
                    permits.acquire();
            },
            Qt::DirectConnection);
    }
    // Every window, and so every job, is gone before its gate.
    ~JobGate() { QObject::disconnect(connection); }

    void release() { permits.release(); }

    // Waits, handling events, until a job has reached the gate in its thread.
    bool waitForStart()
    {
        for (int i = 0; i < 6000 && !logged().contains("Worker thread beginning work"); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return logged().contains("Worker thread beginning work");
    }

    QStringList logged()
    {
        QMutexLocker lock(&mutex);
        return lines;
    }

    // The classpaths that class loaders were made for, in order.
    QStringList loadedClasspaths()
    {
        const QString prefix = "Processing classpath: ";
        QStringList found;
        for (const QString& line : logged())
            if (line.startsWith(prefix))
                found.append(line.mid(prefix.size()));
        return found;
    }

private:
    QMetaObject::Connection connection;
    QSemaphore permits;
    QMutex mutex;
    QStringList lines;
};

template <typename T> T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void expectTidy(QLayout* layout)
{
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->spacing(), 6) << layout->objectName().toStdString();
    EXPECT_EQ(layout->contentsMargins(), QMargins(11, 11, 11, 11))
        << layout->objectName().toStdString();
}

// Texts handed through the translator come back tagged with the context that was asked for.
class TaggingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        return QString("%1|%2").arg(QString::fromLatin1(context), QString::fromUtf8(sourceText));
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.reset(new MainWindow(nullptr));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        progress = window->findChild<QProgressDialog*>();
        ASSERT_NE(progress, nullptr);
        resultsFile = QDir(Options::opts->logDir).filePath("results.txt");
        QFile::remove(resultsFile);
    }

    void TearDown() override
    {
        gate.release();
        window.reset();
    }

    Worker* worker() const { return window->worker; }

    QRadioButton* radio(const char* name) { return child<QRadioButton>(window.get(), name); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(window.get(), name); }

    void type(const char* name, const QString& text)
    {
        QLineEdit* line = edit(name);
        line->clear();
        QTest::keyClicks(line, text);
    }

    // Clicks a radio button where a user would: on its indicator (the middle of a wide button
    // may lie beyond its label, where a click does nothing).
    void choose(const char* name)
    {
        QRadioButton* button = radio(name);
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect indicator =
            button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
        click(button, indicator.center());
    }

    // Clicks through the window system, as a user does, so that what keeps a user from the
    // window keeps the click from it too.
    void click(QWidget* target, QPoint at)
    {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          target->mapTo(window.get(), at));
        QCoreApplication::processEvents();
    }

    void clickRunTest()
    {
        QPushButton* button = child<QPushButton>(window.get(), "btn_runtest");
        click(button, button->rect().center());
    }

    // Lets the held job go and waits, handling events, until the window is idle again.
    bool finishRun()
    {
        gate.release();
        for (int i = 0; i < 6000 && worker(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return worker() == nullptr;
    }

    JobGate gate;
    std::unique_ptr<MainWindow> window;
    QProgressDialog* progress = nullptr;
    QString resultsFile;
};

TEST_F(MainWindowTest, FormHoldsItsWidgetsInOrder)
{
    MainWindow* w = window.get();
    EXPECT_EQ(w->objectName(), "MainWindow");
    EXPECT_EQ(w->size(), QSize(701, 832));
    EXPECT_EQ(w->windowTitle(), "Java Conformance");

    QWidget* central = child<QWidget>(w, "centralWidget");
    ASSERT_NE(central, nullptr);
    EXPECT_EQ(w->centralWidget(), central);
    auto* vertical = child<QVBoxLayout>(w, "verticalLayout");
    ASSERT_NE(vertical, nullptr);
    EXPECT_EQ(central->layout(), vertical);

    // Top to bottom: each box with its title and the layout that holds its contents.
    struct Box
    {
        const char* name;
        const char* title;
        const char* layout;
    };
    const Box boxes[] = {
        {"groupBox", "Programming Language", "horizontalLayout"},
        {"groupBox_2", "Operating System Profile", "gridLayout"},
        {"groupBox_4", "Operating System Segment", "gridLayout_3"},
        {"groupBox_5", "Classpath", "horizontalLayout_2"},
        {"groupBox_7", "Computing Framework Classpath", nullptr},
        {"groupBox_6", "TSS Gold Filename", "horizontalLayout_5"},
        {"groupBox_3", "Log Directory", "horizontalLayout_4"},
    };
    ASSERT_EQ(vertical->count(), 8);
    for (int i = 0; i < 7; ++i) {
        auto* box = child<QGroupBox>(w, boxes[i].name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(vertical->itemAt(i)->widget(), box) << boxes[i].name;
        EXPECT_EQ(box->title(), boxes[i].title);
        if (boxes[i].layout) {
            EXPECT_EQ(box->layout(), w->findChild<QLayout*>(boxes[i].layout)) << boxes[i].name;
            expectTidy(box->layout());
        } else {
            EXPECT_EQ(box->layout(), nullptr);
        }
    }
    QWidget* bottom = child<QWidget>(w, "widget");
    EXPECT_EQ(vertical->itemAt(7)->widget(), bottom);
    expectTidy(vertical);

    auto* language = radio("radioButton");
    EXPECT_EQ(language->text(), "Java (J2SE8+J2EE8)");
    EXPECT_TRUE(language->isChecked());

    // Profiles: only "General Purpose" can be chosen.
    auto* profiles = child<QGridLayout>(w, "gridLayout");
    struct Cell
    {
        const char* name;
        const char* text;
        int row;
        int column;
    };
    const Cell profileCells[] = {{"radioButton_2", "General Purpose", 0, 0},
                                 {"radioButton_4", "Safety Base", 0, 1},
                                 {"radioButton_3", "Safety Extended", 1, 0},
                                 {"radioButton_5", "Security", 1, 1}};
    for (const Cell& cell : profileCells) {
        auto* button = radio(cell.name);
        EXPECT_EQ(button->text(), cell.text);
        EXPECT_EQ(profiles->itemAtPosition(cell.row, cell.column)->widget(), button) << cell.name;
        const bool general = button == radio("radioButton_2");
        EXPECT_EQ(button->isEnabled(), general) << cell.name;
        EXPECT_EQ(button->isCheckable(), general) << cell.name;
        EXPECT_EQ(button->isChecked(), general) << cell.name;
    }

    auto* segments = child<QGridLayout>(w, "gridLayout_3");
    const Cell segmentCells[] = {{"segment_PCS", "PCS", 0, 0},
                                 {"segment_TSS", "TSS", 0, 1},
                                 {"segment_PSS", "PSS", 0, 2},
                                 {"segment_IOS", "IOS", 1, 0},
                                 {"segment_OSS", "OSS", 1, 1}};
    for (const Cell& cell : segmentCells) {
        auto* button = radio(cell.name);
        EXPECT_EQ(button->text(), cell.text);
        EXPECT_EQ(segments->itemAtPosition(cell.row, cell.column)->widget(), button) << cell.name;
        EXPECT_TRUE(button->isEnabled());
        EXPECT_FALSE(button->isChecked()) << cell.name;
    }

    EXPECT_EQ(child<QLayout>(w, "horizontalLayout_2")->itemAt(0)->widget(), edit("classpath"));
    EXPECT_EQ(child<QLayout>(w, "horizontalLayout_5")->itemAt(0)->widget(),
              edit("tssgoldfilename"));
    EXPECT_EQ(child<QLayout>(w, "horizontalLayout_4")->itemAt(0)->widget(), edit("logdir"));
    QLineEdit* framework = edit("frameworkclasspath");
    EXPECT_EQ(framework->parentWidget(), child<QGroupBox>(w, "groupBox_7"));
    EXPECT_EQ(framework->geometry(), QRect(20, 40, 643, 30));
    for (const char* name : {"classpath", "frameworkclasspath", "tssgoldfilename", "logdir"})
        EXPECT_TRUE(edit(name)->text().isEmpty()) << name;

    // The button sits at the right, pushed there by the spacer.
    auto* buttonRow = child<QHBoxLayout>(w, "horizontalLayout_3");
    ASSERT_NE(buttonRow, nullptr);
    expectTidy(buttonRow);
    EXPECT_EQ(bottom->layout(), buttonRow);
    ASSERT_EQ(buttonRow->count(), 2);
    QSpacerItem* spacer = buttonRow->itemAt(0)->spacerItem();
    ASSERT_NE(spacer, nullptr);
    EXPECT_EQ(spacer->sizeHint(), QSize(576, 20));
    EXPECT_EQ(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    auto* run = child<QPushButton>(w, "btn_runtest");
    EXPECT_EQ(buttonRow->itemAt(1)->widget(), run);
    EXPECT_EQ(run->text(), "Run Test");

    // Idle: the busy dialog is hidden, endless and without a cancel button, and nothing will
    // show it behind the window's back.
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 0);
    EXPECT_EQ(progress->findChild<QPushButton*>(), nullptr);
    for (QTimer* timer : progress->findChildren<QTimer*>())
        EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(worker(), nullptr);

    const QString shot = QDir(QStringLiteral(VELM_ARTIFACT_DIR)).filePath("MainWindow.png");
    EXPECT_TRUE(w->grab().save(shot)) << shot.toStdString();
}

TEST_F(MainWindowTest, TextsComeFromTheMainWindowContext)
{
    TaggingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    MainWindow translated(nullptr);
    QCoreApplication::removeTranslator(&translator);

    EXPECT_EQ(translated.windowTitle(), "MainWindow|Java Conformance");
    const QStringList titles = {"MainWindow|Programming Language",
                                "MainWindow|Operating System Profile",
                                "MainWindow|Operating System Segment",
                                "MainWindow|Classpath",
                                "MainWindow|Computing Framework Classpath",
                                "MainWindow|TSS Gold Filename",
                                "MainWindow|Log Directory"};
    QStringList seen;
    for (QGroupBox* box : translated.findChildren<QGroupBox*>())
        seen.append(box->title());
    EXPECT_EQ(seen, titles);
    seen.clear();
    for (QRadioButton* button : translated.findChildren<QRadioButton*>())
        seen.append(button->text());
    EXPECT_EQ(seen, QStringList({"MainWindow|Java (J2SE8+J2EE8)", "MainWindow|General Purpose",
                                 "MainWindow|Safety Base", "MainWindow|Safety Extended",
                                 "MainWindow|Security", "MainWindow|PCS", "MainWindow|TSS",
                                 "MainWindow|PSS", "MainWindow|IOS", "MainWindow|OSS"}));
    EXPECT_EQ(translated.findChild<QPushButton*>("btn_runtest")->text(), "MainWindow|Run Test");
}

TEST_F(MainWindowTest, ProfilesOtherThanGeneralCannotBeChosen)
{
    for (const char* name : {"radioButton_4", "radioButton_3", "radioButton_5"}) {
        choose(name);
        QRadioButton* button = radio(name);
        button->setChecked(true);
        EXPECT_FALSE(button->isChecked()) << name;
    }
    EXPECT_TRUE(radio("radioButton_2")->isChecked());
}

TEST_F(MainWindowTest, RunTestWithoutSegmentDoesNothing)
{
    Options::opts->profile = 0;
    type("classpath", "a.jar");
    clickRunTest();
    QCoreApplication::processEvents();
    EXPECT_EQ(worker(), nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(gate.logged().isEmpty());
    // The profile is written before the segment is looked at.
    EXPECT_EQ(Options::opts->profile, 1);
}

namespace {

// A segment's button, the job it must start, and what the job's loaders must and must not be
// given. The loaders log every classpath they are made for, so the texts show what reached the
// job: the classpath "lib/a::classes", the framework classpath "fw/one:fw/two" and the
// TSS gold text "gold/x.javagold::gold/y.javagold" as typed in the test.
struct Segment
{
    const char* button;
    const char* job;
    const char* progressLine;
    QStringList loaded;
    QStringList notLoaded;
};

std::ostream& operator<<(std::ostream& out, const Segment& s)
{
    return out << s.button;
}

} // namespace

class SegmentRunTest : public MainWindowTest, public ::testing::WithParamInterface<Segment>
{
};

TEST_P(SegmentRunTest, StartsItsJobBehindTheBusyDialog)
{
    const Segment& segment = GetParam();
    Options::opts->profile = 3;
    type("classpath", "lib/a::classes");
    type("frameworkclasspath", "fw/one:fw/two");
    type("tssgoldfilename", "gold/x.javagold::gold/y.javagold");
    choose(segment.button);
    ASSERT_TRUE(radio(segment.button)->isChecked());

    int clicks = 0;
    QObject::connect(child<QPushButton>(window.get(), "btn_runtest"), &QPushButton::clicked,
                     [&clicks] { ++clicks; });
    clickRunTest();
    EXPECT_EQ(clicks, 1);

    // Running: the job exists with the inputs as typed, and the dialog stands above the window.
    Worker* job = worker();
    ASSERT_NE(job, nullptr);
    EXPECT_STREQ(job->metaObject()->className(), segment.job);
    EXPECT_EQ(job->parent(), nullptr);
    EXPECT_EQ(Options::opts->profile, 1);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->parentWidget(), window.get());

    // The window takes no input while the job runs: neither a click nor the space bar that
    // would press the button, which had the focus.
    QPushButton* run = child<QPushButton>(window.get(), "btn_runtest");
    clickRunTest();
    QTest::keyClick(window->windowHandle(), Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(worker(), job);
    EXPECT_FALSE(run->isEnabled());

    // Afterwards the window is as it was: the button usable and focused, the profiles that
    // cannot be chosen still disabled.
    ASSERT_TRUE(finishRun());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(run->isEnabled());
    EXPECT_EQ(window->focusWidget(), run);
    EXPECT_FALSE(radio("radioButton_4")->isEnabled());
    EXPECT_TRUE(gate.logged().contains(segment.progressLine));
    EXPECT_TRUE(gate.logged().contains("Workered thread ended"));
    EXPECT_TRUE(QFileInfo::exists(resultsFile));

    const QStringList loaded = gate.loadedClasspaths();
    // The code under test gets a loader of its own; the general profile puts J2EE first.
    EXPECT_TRUE(loaded.contains("lib/a:classes")) << loaded.join('\n').toStdString();
    EXPECT_FALSE(
        loaded.filter(QRegularExpression("^data/j2ee8.javagold:data/j2se8.javagold")).isEmpty())
        << loaded.join('\n').toStdString();
    for (const QString& text : segment.loaded)
        EXPECT_FALSE(loaded.filter(text).isEmpty()) << text.toStdString() << " in\n"
                                                    << loaded.join('\n').toStdString();
    for (const QString& text : segment.notLoaded)
        EXPECT_TRUE(loaded.filter(text).isEmpty()) << text.toStdString() << " in\n"
                                                   << loaded.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Segments, SegmentRunTest,
    ::testing::Values(
        Segment{"segment_PCS",
                "PcsTestWorker",
                "Running PCS test",
                {"data/IOS.javagold:data/VELM_common.javagold:data/FormerlyCORBA.javagold:"
                 "data/TSS_type_independent.javagold:gold/x.javagold:gold/y.javagold:"
                 "fw/one:fw/two"},
                {}},
        Segment{"segment_TSS",
                "TssTestWorker",
                "Running TSS test",
                {"data/TSS_type_independent.javagold:gold/x.javagold:gold/y.javagold",
                 "data/FormerlyCORBA.javagold:lib/a:classes:fw/one:fw/two"},
                {}},
        Segment{"segment_PSS",
                "PssTestWorker",
                "Running PSS test",
                {"data/FormerlyCORBA.javagold:data/IOS.javagold:"
                 "data/TSS_type_independent.javagold:gold/x.javagold:gold/y.javagold:"
                 "fw/one:fw/two"},
                {}},
        Segment{"segment_IOS",
                "IosTestWorker",
                "Running IOS test",
                {"data/FormerlyCORBA.javagold:lib/a:classes:fw/one:fw/two"},
                {"gold/"}},
        Segment{"segment_OSS", "OssTestWorker", "Running OSS test", {}, {"fw/", "gold/"}}),
    [](const ::testing::TestParamInfo<Segment>& info) { return std::string(info.param.button); });

TEST_F(MainWindowTest, RunsFollowOneAnotherInOneWindow)
{
    choose("segment_TSS");
    clickRunTest();
    Worker* first = worker();
    ASSERT_NE(first, nullptr);
    const QString shot = QDir(QStringLiteral(VELM_ARTIFACT_DIR)).filePath("BusyDialog.png");
    EXPECT_TRUE(progress->grab().save(shot)) << shot.toStdString();
    ASSERT_TRUE(finishRun());
    EXPECT_FALSE(progress->isVisible());

    // The second run sees the fields as they are now.
    type("classpath", "second");
    choose("segment_OSS");
    clickRunTest();
    ASSERT_NE(worker(), nullptr);
    EXPECT_STREQ(worker()->metaObject()->className(), "OssTestWorker");
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(finishRun());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(gate.loadedClasspaths().contains("second"));
    EXPECT_EQ(gate.logged().count("Worker thread started"), 2);
    EXPECT_EQ(gate.logged().count("Workered thread ended"), 2);
}

TEST_F(MainWindowTest, EmptyFieldsRunAsTheyAreAndTheLogDirectoryFieldIsIgnored)
{
    type("logdir", "typed-logs");
    choose("segment_TSS");
    clickRunTest();
    ASSERT_NE(worker(), nullptr);
    ASSERT_TRUE(finishRun());

    // No classpath and no TSS gold: the reference API is TSS-IND alone.
    const QStringList loaded = gate.loadedClasspaths();
    EXPECT_TRUE(loaded.contains("data/TSS_type_independent.javagold"))
        << loaded.join('\n').toStdString();
    EXPECT_TRUE(loaded.contains(QString())) << loaded.join('\n').toStdString();
    // Results go to the command line's log directory.
    EXPECT_TRUE(QFileInfo::exists(resultsFile));
    EXPECT_FALSE(QFileInfo::exists("typed-logs"));
}

TEST_F(MainWindowTest, BusyDialogStaysUntilTheJobEnds)
{
    choose("segment_PCS");
    clickRunTest();
    Worker* job = worker();
    ASSERT_NE(job, nullptr);

    // Escape, a close through the window system (alt+F4, the title bar) and a close call would
    // each give the window back while the job still runs.
    QTest::keyClick(progress, Qt::Key_Escape);
    EXPECT_TRUE(progress->isVisible());
    progress->windowHandle()->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->close());
    EXPECT_TRUE(progress->isVisible());
    Options::opts->profile = 0;
    clickRunTest();
    EXPECT_EQ(worker(), job);
    EXPECT_EQ(Options::opts->profile, 0);

    ASSERT_TRUE(finishRun());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(gate.logged().count("Worker thread started"), 1);
}

TEST_F(MainWindowTest, ClosingTheWindowWaitsForTheRunningJob)
{
    choose("segment_IOS");
    clickRunTest();
    ASSERT_NE(worker(), nullptr);
    ASSERT_TRUE(gate.waitForStart());
    gate.release();
    window.reset();
    EXPECT_TRUE(gate.logged().contains("Running IOS test"));
    EXPECT_TRUE(gate.logged().contains("Workered thread ended"));
}

namespace {

// A way for the user to ask for the window's close during a run.
struct CloseRoute
{
    const char* name;
    void (*send)(MainWindow* window, QProgressDialog* progress);
};

std::ostream& operator<<(std::ostream& out, const CloseRoute& r)
{
    return out << r.name;
}

} // namespace

class CloseDuringRunTest : public MainWindowTest, public ::testing::WithParamInterface<CloseRoute>
{
};

TEST_P(CloseDuringRunTest, CloseRequestedDuringARunEndsTheProgramAfterTheRun)
{
    choose("segment_OSS");
    clickRunTest();
    ASSERT_NE(worker(), nullptr);
    ASSERT_TRUE(gate.waitForStart());

    GetParam().send(window.get(), progress);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(QFileInfo::exists(resultsFile));

    // The event loop of the program ends once the run has stored its results.
    gate.release();
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(60000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(worker(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(resultsFile));
    EXPECT_FALSE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Routes, CloseDuringRunTest,
    ::testing::Values(
        // The window's title bar or a window manager: a close through the window system.
        CloseRoute{"TitleBar", [](MainWindow* w, QProgressDialog*) { w->windowHandle()->close(); }},
        // alt+F4 goes to the busy dialog while it is up.
        CloseRoute{"BusyDialog",
                   [](MainWindow*, QProgressDialog* p) { p->windowHandle()->close(); }},
        CloseRoute{"Call", [](MainWindow* w, QProgressDialog*) { EXPECT_FALSE(w->close()); }}),
    [](const ::testing::TestParamInfo<CloseRoute>& info) { return std::string(info.param.name); });

TEST(GuiModeTest, ProgramShowsTheWindowAndKeepsRunning)
{
    QTemporaryDir logDir;
    ASSERT_TRUE(logDir.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(VELM_JCT_PATH, {"--logdir", logDir.path()});
    ASSERT_TRUE(program.waitForStarted());

    // The window's event loop runs until the window is closed, so the program is still there
    // once its start-up line is in the log.
    QFile log(QDir(logDir.path()).filePath("log.txt"));
    bool started = false;
    for (int i = 0; i < 3000 && !started && program.state() == QProcess::Running; ++i) {
        program.waitForFinished(10);
        if (log.open(QIODevice::ReadOnly)) {
            started = log.readAll().contains(" INFO: Starting in GUI mode.\n");
            log.close();
        }
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().constData();
    program.kill();
    program.waitForFinished();
}
