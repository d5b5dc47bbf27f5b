#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QProgressDialog;
class Ui_MainWindow;
class Worker;

// The GUI front end: the user picks a segment, types the classpaths and the TSS gold file, and
// "Run Test" runs that segment's job on a worker thread behind a busy dialog.
//
// Idle: no worker, dialog hidden, window usable. Running: the window owns one worker, its
// controls are disabled and the dialog stands above it until the worker reports done, when the
// worker is deleted (joining its thread) and the window is idle again. The dialog cannot be closed
// before then; a request to close the window or the dialog meanwhile is remembered, and the window
// closes, ending the program, once the run has ended and stored its results.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

signals:
    // Starts the held worker's job in its thread (queued to the worker's work()).
    void runTest();

public slots:
    // Writes the profile into the run configuration and starts the checked segment's job.
    void beginTest();
    // Closes the busy dialog and deletes the worker whose job has ended.
    void endTest();

protected:
    // Keeps the busy dialog open while a job runs: Escape is dropped, a close request is kept
    // for the end of the run.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // While a job runs, keeps the request for the end of the run.
    void closeEvent(QCloseEvent* event) override;

private:
    friend class MainWindowTest;

    // Takes the window's controls from the user for a run, and gives them back as they were.
    void holdControls();
    void releaseControls();

    Ui_MainWindow* ui;
    QProgressDialog* progress;
    Worker* worker;
    // A close was asked for while a job ran.
    bool closeRequested = false;
    // The parts of the window that the running job disabled, and where the focus was.
    QList<QPointer<QWidget>> heldControls;
    QPointer<QWidget> focusBeforeRun;
};

#endif
