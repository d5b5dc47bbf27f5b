#ifndef CLI_H
#define CLI_H

#include <QObject>

class Worker;

// The console front end: runs the one job that the run configuration names and then quits the
// event loop. Lives in the main thread; owns the worker while the job runs.
class CLI : public QObject
{
    Q_OBJECT

public:
    explicit CLI(QObject* parent = nullptr);
    // Deletes a worker still held, which waits for its job to finish.
    ~CLI() override;

signals:
    void run();

public slots:
    // Starts the job of Options::opts->command; called once, from the running event loop.
    void begin();
    // The job has ended: joins its thread and quits the event loop with the job's exit status.
    void end();

private:
    Worker* worker;

    Q_DISABLE_COPY(CLI)
};

#endif
