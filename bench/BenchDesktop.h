// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QtDesktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

// The program's own desktop with the boxes answered at once, so a workload
// runs as a user would see it without anyone pressing OK. It also measures
// the yields: how many, and the longest gap between two of them.
class BenchDesktop : public QtDesktop {
  public:
    int messageBox(const QString& text, int, const QString&) override {
        boxes << text;
        return answer;
    }
    QString inputBox(const QString&, const QString&) override { return QString(); }
    QStringList openFileDialog(const FileDialogRequest&) override { return openAnswer; }
    QString saveFileDialog(const FileDialogRequest&) override { return saveAnswer; }
    QString clipboardText() override { return QString(); }
    long shellExecute(const QString&, const QString&, const QString&, const QString&,
                      int) override {
        return 42;
    }

    void startMeasuring() {
        yields = 0;
        longestGapMs = 0;
        sinceYield.start();
    }

    QStringList boxes;
    int answer = Ok;
    QStringList openAnswer;
    QString saveAnswer;
    long long yields = 0;
    double longestGapMs = 0;

  protected:
    void processEvents() override {
        if (sinceYield.isValid()) {
            longestGapMs = std::max(longestGapMs, sinceYield.nsecsElapsed() / 1e6);
            sinceYield.restart();
        }
        ++yields;
        QtDesktop::processEvents();
    }

  private:
    QElapsedTimer sinceYield;
};
