// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Desktop.h"

#include <QList>
#include <QString>
#include <functional>
#include <map>

// A desktop for tests: records every box, answers from a queue, and runs a
// test's own action at the n-th event yield.
class ScriptedDesktop : public Desktop {
  public:
    struct Box {
        QString text;
        int style;
        QString title;
    };

    int messageBox(const QString& text, int style, const QString& title) override {
        boxes.append({text, style, title});
        if (onBox)
            onBox(boxes.last());
        return answers.isEmpty() ? int(Ok) : answers.takeFirst();
    }

    QString inputBox(const QString& prompt, const QString& title) override {
        inputs.append({prompt, title});
        return typed.isEmpty() ? QString() : typed.takeFirst();
    }

    QStringList openFileDialog(const FileDialogRequest& request) override {
        dialogs.append(request);
        if (onDialog)
            onDialog();
        return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
    }

    QString saveFileDialog(const FileDialogRequest& request) override {
        dialogs.append(request);
        if (onDialog)
            onDialog();
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }

    bool clearClipboard() override {
        ++clipboardClears;
        return clipboardFailures.isEmpty() || !clipboardFailures.takeFirst();
    }

    bool setClipboardText(const QString& text) override {
        ++clipboardSets;
        if (!clipboardFailures.isEmpty() && clipboardFailures.takeFirst())
            return false;
        clipboard = text;
        return true;
    }

    QString clipboardText() override { return clipboard; }

    long shellExecute(const QString& operation, const QString& file, const QString& parameters,
                      const QString& directory, int showCommand) override {
        shellCalls.append({operation, file, parameters, directory, showCommand});
        return 42;
    }

    QStringList boxTexts() const {
        QStringList texts;
        for (const Box& box : boxes)
            texts << box.text;
        return texts;
    }

    struct Input {
        QString prompt;
        QString title;
    };
    struct ShellCall {
        QString operation, file, parameters, directory;
        int showCommand;
    };

    QList<Box> boxes;
    QList<Input> inputs;
    QStringList typed; // answers of the input box, in order; empty means Cancel
    QList<FileDialogRequest> dialogs;
    QList<QStringList> openAnswers;
    QStringList saveAnswers;
    QString clipboard;
    int clipboardClears = 0;
    int clipboardSets = 0;
    QList<bool> clipboardFailures; // true: that clipboard call fails
    QList<ShellCall> shellCalls;
    QList<int> answers;
    std::function<void(const Box&)> onBox;
    std::function<void()> onDialog; // as a file dialog is about to answer
    int yields = 0;
    std::map<int, std::function<void()>> onYield;

  protected:
    void processEvents() override {
        const auto hook = onYield.find(++yields);
        if (hook != onYield.end())
            hook->second();
    }
};
