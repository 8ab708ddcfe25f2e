// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatabaseBuild.h"

#include "CachedDatabase.h"

#include <QDeadlineTimer>
#include <QThread>
#include <mutex>
#include <new>

struct DatabaseBuild::Job {
    std::atomic<bool> cancelled = false;
    // Who hears of the build; null once it is dropped, so that a thread outliving its
    // DatabaseBuild never reaches it.
    std::mutex mutex;
    DatabaseBuild* owner = nullptr;
};

DatabaseBuild::DatabaseBuild(QObject* parent) : QObject(parent) {}

DatabaseBuild::~DatabaseBuild() {
    cancel();
    const QDeadlineTimer deadline(kStopWaitMs);
    for (QThread* thread : std::as_const(threads_)) {
        if (thread->wait(deadline))
            delete thread;
        else
            thread->setParent(nullptr); // deleting a running thread would abort the program
    }
}

void DatabaseBuild::cancel() {
    if (current_) {
        current_->cancelled = true;
        const std::lock_guard lock(current_->mutex);
        current_->owner = nullptr;
    }
    current_.reset();
}

void DatabaseBuild::release(QThread* thread) {
    threads_.removeOne(thread);
    thread->wait();
    delete thread;
}

void DatabaseBuild::start(const InstalledThesaurus& thesaurus) {
    cancel();
    thesaurus_ = thesaurus;
    percent_ = 0;
    auto job = std::make_shared<Job>();
    job->owner = this;
    current_ = job;
    // Only the job that is still current may speak; a cancelled one ends silently.
    const auto report = [job](auto&& signal) {
        const std::lock_guard lock(job->mutex);
        if (DatabaseBuild* owner = job->owner)
            QMetaObject::invokeMethod(
                owner,
                [owner, job, signal] {
                    if (owner->current_ == job)
                        signal(owner);
                },
                Qt::QueuedConnection);
    };
    // Two builds of one database, this one and one just dropped or another process's, take
    // turns through the database's lock file.
    QThread* thread = QThread::create([thesaurus, job, report] {
        int last = -1;
        const ImportProgress onProgress = [&](int percent) {
            if (percent != last) {
                last = percent;
                report([percent](DatabaseBuild* owner) {
                    owner->percent_ = percent;
                    emit owner->progress(percent);
                });
            }
            return !job->cancelled;
        };
        QString reason;
        try {
            PreparedDatabase(thesaurus, onProgress);
        } catch (const ImportCancelled&) {
            return;
        } catch (const std::bad_alloc&) {
            reason = QStringLiteral("out of memory");
        } catch (const std::exception& error) {
            reason = QString::fromUtf8(error.what());
        }
        report([reason](DatabaseBuild* owner) {
            owner->current_.reset();
            emit owner->finished(reason);
        });
    });
    // A child while it runs, so what is still held can be seen.
    thread->setParent(this);
    threads_.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] { release(thread); });
    thread->start(QThread::LowPriority);
}
