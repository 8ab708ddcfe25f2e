// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThesaurusCatalog.h"

#include <QObject>
#include <atomic>
#include <memory>

class QThread;

// Builds one thesaurus's database on a thread of its own, so the window goes on answering.
// Progress and the end arrive as signals on the thread that started the build. Starting
// another build or cancel() drops the current one: it stops at its next progress report
// (a few milliseconds apart, also while SQLite sorts, commits or vacuums), leaves nothing
// half-built, and reports nothing more. A thread is released as soon as its build ends.
class DatabaseBuild : public QObject {
    Q_OBJECT
  public:
    explicit DatabaseBuild(QObject* parent = nullptr);
    // Waits at most kStopWaitMs for builds still under way to stop; one that does not (a
    // stalled disk) is left to end with the process, and can no longer reach this object.
    ~DatabaseBuild() override;
    static constexpr int kStopWaitMs = 500;

    void start(const InstalledThesaurus& thesaurus);
    void cancel();
    bool running() const { return current_ != nullptr; }
    const InstalledThesaurus& thesaurus() const { return thesaurus_; }
    int percent() const { return percent_; }

  signals:
    void progress(int percent);
    // reason is empty when the database is built, else why it could not be.
    void finished(const QString& reason);

  private:
    struct Job;
    void release(QThread* thread);
    InstalledThesaurus thesaurus_;
    std::shared_ptr<Job> current_;
    QList<QThread*> threads_;
    int percent_ = 0;
};
