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

    QStringList boxTexts() const {
        QStringList texts;
        for (const Box& box : boxes)
            texts << box.text;
        return texts;
    }

    QList<Box> boxes;
    QList<int> answers;
    std::function<void(const Box&)> onBox;
    int yields = 0;
    std::map<int, std::function<void()>> onYield;

  protected:
    void processEvents() override {
        const auto hook = onYield.find(++yields);
        if (hook != onYield.end())
            hook->second();
    }
};
