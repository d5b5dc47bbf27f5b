#include "CLI.h"

#include "BuildJavaGoldWorker.h"
#include "IosTestWorker.h"
#include "ListContentsWorker.h"
#include "Options.h"
#include "OssTestWorker.h"
#include "PcsTestWorker.h"
#include "PssTestWorker.h"
#include "TssAbsIfaceTestWorker.h"
#include "TssAbsTestWorker.h"
#include "TssTestWorker.h"

#include <QCoreApplication>

CLI::CLI(QObject* parent) : QObject(parent), worker(nullptr) {}

CLI::~CLI()
{
    delete worker;
}

void CLI::begin()
{
    const Options& o = *Options::opts;
    Worker* job = nullptr;
    switch (o.command) {
    case 1:
        job = new PcsTestWorker(o.classpath, o.tssGold, o.frameworkClasspath);
        break;
    case 2:
        job = new PssTestWorker(o.classpath, o.tssGold, o.frameworkClasspath);
        break;
    case 3:
        job = new OssTestWorker(o.classpath);
        break;
    case 4:
        job = new TssTestWorker(o.classpath, o.tssGold, o.frameworkClasspath);
        break;
    case 5:
        job = new TssAbsTestWorker(o.classpath, o.tssGold, o.frameworkClasspath);
        break;
    case 6:
        job = new TssAbsIfaceTestWorker(o.classpath, o.frameworkClasspath);
        break;
    case 7:
        job = new IosTestWorker(o.classpath, o.frameworkClasspath);
        break;
    case 8:
        job = new BuildJavaGoldWorker(o.classpath, o.goldFile);
        break;
    case 9:
        // The run configuration outlives the job, so the listing may keep a reference to it.
        job = new ListContentsWorker(o.classpath);
        break;
    default:
        return;
    }
    worker = job;
    connect(this, &CLI::run, worker, &Worker::work);
    connect(worker, &Worker::done, this, &CLI::end);
    emit run();
}

void CLI::end()
{
    const int status = worker ? worker->exitStatus() : 0;
    delete worker;
    worker = nullptr;
    QCoreApplication::exit(status);
}
