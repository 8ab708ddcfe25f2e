#include "DatabaseBuild.h"

#include "CachedDatabase.h"

#include <QThread>
#include <new>

struct DatabaseBuild::Job {
    std::atomic<bool> cancelled = false;
};

DatabaseBuild::DatabaseBuild(QObject* parent) : QObject(parent) {}

DatabaseBuild::~DatabaseBuild() {
    cancel();
    for (QThread* thread : std::as_const(threads_)) {
        thread->wait();
        delete thread;
    }
}

void DatabaseBuild::cancel() {
    if (current_)
        current_->cancelled = true;
    current_.reset();
}

void DatabaseBuild::start(const InstalledThesaurus& thesaurus) {
    cancel();
    thesaurus_ = thesaurus;
    percent_ = 0;
    auto job = std::make_shared<Job>();
    current_ = job;
    // Only the job that is still current may speak; a cancelled one ends silently.
    const auto report = [this, job](auto&& signal) {
        QMetaObject::invokeMethod(
            this,
            [this, job, signal] {
                if (current_ == job)
                    signal();
            },
            Qt::QueuedConnection);
    };
    // A dropped build may still be finishing a phase, perhaps writing the very file this one
    // is to write: each build begins once the one before it has ended.
    QThread* previous = threads_.isEmpty() ? nullptr : threads_.last();
    QThread* thread = QThread::create([this, thesaurus, job, report, previous] {
        if (previous)
            previous->wait();
        int last = -1;
        const ImportProgress onProgress = [&](int percent) {
            if (percent != last) {
                last = percent;
                report([this, percent] {
                    percent_ = percent;
                    emit progress(percent);
                });
            }
            return !job->cancelled;
        };
        QString reason;
        try {
            BuildDatabase(thesaurus, onProgress);
        } catch (const ImportCancelled&) {
            return;
        } catch (const std::bad_alloc&) {
            reason = QStringLiteral("out of memory");
        } catch (const std::exception& error) {
            reason = QString::fromUtf8(error.what());
        }
        report([this, reason] {
            current_.reset();
            emit finished(reason);
        });
    });
    // Kept to the end, as the next build may wait for it: one small object per choice.
    threads_.append(thread);
    thread->start(QThread::LowPriority);
}
