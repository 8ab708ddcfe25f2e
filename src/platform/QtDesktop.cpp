// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>
#include <ctime>

int QtDesktop::messageBox(const QString& text, int style, const QString& title) {
    QMessageBox box(owner_);
    box.setWindowTitle(title);
    // Left to guess, Qt takes a text with tags in it (a file named
    // "<i>x</i>.txt") for a page, drops the tags and the line breaks.
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(text));
    switch (style & 0x70) {
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    const bool yesNo = (style & 0x7) == YesNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((style & DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Ok;
    }
}

QString QtDesktop::inputBox(const QString& prompt, const QString& title) {
    QInputDialog box(owner_);
    box.setWindowTitle(title);
    box.setLabelText(displayText(prompt));
    // The dialog offers no text format of its own; its only label is the prompt.
    if (auto* label = box.findChild<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    box.setInputMode(QInputDialog::TextInput);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

namespace {
// Qt's own dialog on every desktop: the same behaviour everywhere, no
// overwrite question of its own and no suffix added to a typed name.
//
// Qt reads typed text that holds a double quote as a list of quoted names,
// even when saving: `synonyms of "words.txt"` would come back as words.txt
// and the export would overwrite that file. A quote is an ordinary character
// in a file name here, so a typed name is taken as it stands unless it has
// the shape of a list ("a.txt" "b.txt") in a dialog that may choose several.
class FileDialog : public QFileDialog {
  public:
    FileDialog(QWidget* owner, const FileDialogRequest& request) : QFileDialog(owner) {
        setWindowTitle(request.title);
        setNameFilter(request.nameFilters);
        setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    }

    QStringList chosen() {
        if (exec() != QDialog::Accepted)
            return {};
        return typedPath_.isEmpty() ? selectedFiles() : QStringList{typedPath_};
    }

  protected:
    void accept() override {
        typedPath_.clear();
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text() : QString();
        QString path = typed;
        if (path.startsWith(QLatin1String("~/")))
            path = QDir::homePath() + path.mid(1);
        path = QDir(directory()).absoluteFilePath(path);
        if (!typed.contains(u'"') ||
            (fileMode() == ExistingFiles && looksLikeList(typed) && !QFileInfo::exists(path))) {
            QFileDialog::accept();
            return;
        }
        if (QFileInfo(path).isDir()) {
            // As Qt does with a folder's name: go into it.
            setDirectory(path);
            edit->clear();
            return;
        }
        typedPath_ = path;
        QDialog::accept();
    }

  private:
    // `"a.txt" "b.txt"`, as the dialog itself writes several chosen files.
    static bool looksLikeList(const QString& typed) {
        const QString trimmed = typed.trimmed();
        return trimmed.size() >= 2 && trimmed.startsWith(u'"') && trimmed.endsWith(u'"') &&
               trimmed.count(u'"') % 2 == 0;
    }

    QString typedPath_;
};
} // namespace

QStringList QtDesktop::openFileDialog(const FileDialogRequest& request) {
    FileDialog dialog(owner_, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's multi-selection mode only offers files that exist; a file removed
    // meanwhile is still caught by the loader.
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    return dialog.chosen();
}

QString QtDesktop::saveFileDialog(const FileDialogRequest& request) {
    FileDialog dialog(owner_, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList chosen = dialog.chosen();
    return chosen.isEmpty() ? QString() : chosen.first();
}

bool QtDesktop::clearClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    return true;
}

bool QtDesktop::setClipboardText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return clipboard->text() == text;
}

QString QtDesktop::clipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

long QtDesktop::shellExecute(const QString& /*operation*/, const QString& file,
                             const QString& /*parameters*/, const QString& /*directory*/,
                             int /*showCommand*/) {
    // The shell takes the target in double quotes; the URL is what is inside.
    QString target = file;
    if (target.size() >= 2 && target.startsWith(u'"') && target.endsWith(u'"'))
        target = target.mid(1, target.size() - 2);
    constexpr long kShellOk = 42, kShellFileNotFound = 2;
    return QDesktopServices::openUrl(QUrl::fromUserInput(target)) ? kShellOk : kShellFileNotFound;
}

QString QtDesktop::displayText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

namespace {
// Milliseconds on a clock that is cheap to read, for a check made at every
// yield. On Linux the coarse clock costs a few nanoseconds and moves every
// few milliseconds.
qint64 cheapMilliseconds() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
#else
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
#endif
}
} // namespace

void QtDesktop::processEvents() {
    // Long operations yield once per word, row or cell: millions of times in
    // an export, each step taking well under a microsecond. Asking the event
    // loop every time costs a system call and several locks, far more than
    // the step itself, so events are taken in once per tick of the clock
    // above: within a few milliseconds of arriving, sooner than anyone can
    // click twice. The closing check after each yield is untouched.
    const qint64 now = cheapMilliseconds();
    if (now == lastEventsMs_)
        return;
    lastEventsMs_ = now;
    QCoreApplication::processEvents();
}
