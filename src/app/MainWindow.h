#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

class QProgressDialog;
class Ui_MainWindow;
class Worker;

// The GUI front end: the user picks a segment, types the classpaths and the TSS gold file, and
// "Run Test" runs that segment's job on a worker thread behind a window-modal busy dialog.
//
// Idle: no worker, dialog hidden, window usable. Running: the window owns one worker and the
// dialog covers the window until the worker reports done, when the worker is deleted (joining
// its thread) and the window is idle again. The dialog cannot be closed before then.
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
    // Keeps the busy dialog open while a job runs: close requests and Escape are dropped.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class MainWindowTest;

    Ui_MainWindow* ui;
    QProgressDialog* progress;
    Worker* worker;
};

#endif
