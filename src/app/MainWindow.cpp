#include "MainWindow.h"

#include "Classpath.h"
#include "IosTestWorker.h"
#include "Options.h"
#include "OssTestWorker.h"
#include "PcsTestWorker.h"
#include "PssTestWorker.h"
#include "TssTestWorker.h"
#include "Ui_MainWindow.h"
#include "Worker.h"

#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QWidget>

namespace {

Classpath classpathFrom(const QLineEdit* edit)
{
    Classpath classpath;
    classpath.append(edit->text());
    return classpath;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new Ui_MainWindow), progress(new QProgressDialog(this)),
      worker(nullptr)
{
    ui->setupUi(this);
    // An empty range makes the bar an endless busy indicator; a run cannot be cancelled.
    progress->setRange(0, 0);
    progress->setCancelButton(nullptr);
    // A progress dialog shows itself a few seconds after construction unless it is reset; the
    // busy dialog must stay hidden until a run opens it.
    progress->reset();
    progress->installEventFilter(this);
    connect(ui->btn_runtest, &QPushButton::clicked, this, &MainWindow::beginTest);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The busy dialog stands for the running job: closed early (its title bar, alt+F4, Escape)
    // it would give the window back while the job still runs. endTest closes it without a close
    // event. While the dialog is up it is the window that the user can act on, so its close
    // request (alt+F4 goes to it) stands for closing the window.
    if (watched == progress && worker) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            closeRequested = true;
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program, but not before the running job has stored its
    // results: endTest closes the window then.
    if (worker) {
        event->ignore();
        closeRequested = true;
        return;
    }
    QMainWindow::closeEvent(event);
}

MainWindow::~MainWindow()
{
    delete ui;
    if (worker) {
        // A job may still be running when the window goes away. Its thread is stopped and
        // joined here, before the job object is deleted: the worker's own destructor joins the
        // thread only after the job's part of the object has already been destroyed, while the
        // job might still be using it.
        // A worker whose thread could not start lives in this thread and has none to join.
        QThread* thread = worker->QObject::thread();
        if (thread != QThread::currentThread()) {
            thread->quit();
            thread->wait();
        }
        delete worker;
    }
}

void MainWindow::beginTest()
{
    // One run at a time: the job reads the profile in its own thread, so nothing may change
    // until it has ended. The disabled controls keep the window from the user meanwhile; this
    // holds for a call that does not come through the window.
    if (worker)
        return;

    if (ui->radioButton_3->isChecked())
        Options::opts->profile = 2;
    else if (ui->radioButton_4->isChecked())
        Options::opts->profile = 3;
    else
        Options::opts->profile = 1;

    if (ui->segment_IOS->isChecked()) {
        worker = new IosTestWorker(classpathFrom(ui->classpath),
                                   classpathFrom(ui->frameworkclasspath), nullptr);
    } else if (ui->segment_OSS->isChecked()) {
        worker = new OssTestWorker(classpathFrom(ui->classpath), nullptr);
    } else if (ui->segment_PCS->isChecked()) {
        worker = new PcsTestWorker(classpathFrom(ui->classpath), ui->tssgoldfilename->text(),
                                   classpathFrom(ui->frameworkclasspath), nullptr);
    } else if (ui->segment_TSS->isChecked()) {
        worker = new TssTestWorker(classpathFrom(ui->classpath), ui->tssgoldfilename->text(),
                                   classpathFrom(ui->frameworkclasspath), nullptr);
    } else if (ui->segment_PSS->isChecked()) {
        worker = new PssTestWorker(classpathFrom(ui->classpath), ui->tssgoldfilename->text(),
                                   classpathFrom(ui->frameworkclasspath), nullptr);
    } else {
        return;
    }

    // The worker lives in its own thread, so both connections are queued.
    connect(this, &MainWindow::runTest, worker, &Worker::work);
    connect(worker, &Worker::done, this, &MainWindow::endTest);
    holdControls();
    // Not open(): that makes the dialog window-modal, and the window system's close of a window
    // behind a modal dialog (its title bar, a window manager) never reaches the window, so the
    // request could not be kept for the end of the run. Parented to the window, the dialog
    // stays above it.
    progress->show();
    emit runTest();
}

void MainWindow::endTest()
{
    progress->done(0);
    if (!worker)
        return;
    disconnect(this, &MainWindow::runTest, worker, &Worker::work);
    disconnect(worker, &Worker::done, this, &MainWindow::endTest);
    delete worker;
    worker = nullptr;
    releaseControls();
    if (closeRequested) {
        closeRequested = false;
        close();
    }
}

void MainWindow::holdControls()
{
    // The window itself stays enabled: disabling it would disable the busy dialog, its child,
    // as well. Its parts are disabled instead (the central widget, and a menu bar, tool bars or
    // a status bar where there are any), which takes mouse and keyboard from all of the form.
    // Disabling moves the focus out of the form; it is put back when the run ends.
    focusBeforeRun = focusWidget();
    for (QWidget* part : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        // A part that was disabled already stays so when the run ends.
        if (part->isWindow() || !part->isEnabled())
            continue;
        part->setEnabled(false);
        heldControls.append(part);
    }
}

void MainWindow::releaseControls()
{
    for (const QPointer<QWidget>& part : qAsConst(heldControls))
        if (part)
            part->setEnabled(true);
    heldControls.clear();
    if (focusBeforeRun)
        focusBeforeRun->setFocus();
    focusBeforeRun = nullptr;
}
