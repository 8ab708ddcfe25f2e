// SPDX-License-Identifier: GPL-3.0-or-later
#include "WordListActions.h"

#include "AppError.h"
#include "CommonDialog.h"
#include "Desktop.h"
#include "ErrorTrap.h"
#include "ListView.h"
#include "Paths.h"
#include "PointerMode.h"
#include "WindowState.h"
#include "WordListFile.h"
#include "WordListText.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <unistd.h>

namespace {
const QString kForm1 = QStringLiteral("Form1");
const QString kLoadTitle = QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
const QString kTextFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");

constexpr int kInsertKey = 45;
constexpr int kDeleteKey = 46;
constexpr int kVKey = 86;
constexpr int kShiftBit = 1;
constexpr int kCtrlBit = 2;

bool isPaste(int keyCode, int shift) {
    return (keyCode == kVKey && shift == kCtrlBit) || (keyCode == kInsertKey && shift == kShiftBit);
}

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// What the dialog would have answered had these files been chosen in it:
// one path, or the folder they share followed by their names below it.
// Empty when they share no folder at all (relative paths).
QStringList dialogChoice(const QStringList& paths) {
    if (paths.size() == 1)
        return paths;
    const auto below = [](const QString& folder) {
        return folder.endsWith(u'/') ? folder : folder + u'/';
    };
    QString folder = QFileInfo(paths.first()).path();
    while (!std::all_of(paths.cbegin(), paths.cend(),
                        [&](const QString& path) { return path.startsWith(below(folder)); })) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            return {};
        folder = parent;
    }
    QStringList parts = {folder};
    const qsizetype skip = below(folder).size();
    for (const QString& path : paths)
        parts << path.mid(skip);
    return parts;
}
} // namespace

WordListActions::WordListActions(ListView& ListView1, CommonDialog& CommonDialog1, Desktop& desktop,
                                 PointerControl& pointer, QObject* parent)
    : QObject(parent), ListView1_(ListView1), CommonDialog1_(CommonDialog1), desktop_(desktop),
      pointer_(pointer) {}

void WordListActions::attach() {
    // These handlers never let events run, so no closing signal can come out
    // of them; events still queued behind a close are dropped here.
    connect(&ListView1_, &ListView::keyDown, this, [this](int keyCode, int shift) {
        if (!desktop_.isClosing())
            ListView1_KeyDown(keyCode, shift);
    });
    connect(&ListView1_, &ListView::dblClick, this, [this] {
        if (!desktop_.isClosing())
            ListView1_DblClick();
    });
    // Drops arrive at the viewport, the part of the list that shows the rows.
    ListView1_.viewport()->setAcceptDrops(true);
    ListView1_.viewport()->installEventFilter(this);
}

bool WordListActions::busy() const {
    return pointer_.pointerMode() == PointerMode::Busy;
}

void WordListActions::PushButton6_Click() {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("PushButton6_Click"));
    QString word;
    trap.line(100, [&] {
        word = desktop_.inputBox(QStringLiteral("Enter word to add: "), desktop_.appTitle());
    });
    if (trap.test(102, [&] { return word.isEmpty(); }))
        return;
    trap.line(104, [&] { ListView1_.append(word); });
}

void WordListActions::PushButton8_Click() {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("PushButton8_Click"));
    trap.line(100, [&] { ListView1_.append(QStringLiteral("random")); });
    trap.line(102, [&] { ListView1_.append(QStringLiteral("look")); });
    trap.line(104, [&] { ListView1_.append(QStringLiteral("advantage")); });
    trap.line(106, [&] { ListView1_.append(QStringLiteral("response")); });
}

void WordListActions::PushButton1_Click() {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("PushButton1_Click"));
    trap.line(100, [&] {
        if (!busy())
            ListView1_.clear();
    });
}

void WordListActions::ListView1_KeyDown(int keyCode, int shift) {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("ListView1_KeyDown"));
    trap.line(100, [&] {
        if (keyCode == kDeleteKey)
            removeSelected();
        else if (isPaste(keyCode, shift))
            pasteClipboard();
    });
}

void WordListActions::ListView1_DblClick() {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("ListView1_DblClick"));
    trap.line(100, [&] { removeSelected(); });
}

void WordListActions::removeSelected() {
    if (busy() || ListView1_.count() == 0)
        return;
    // Entries but no selection: there is nothing the user pointed at.
    const int position = ListView1_.selectedPosition();
    if (position > 0)
        ListView1_.remove(position);
}

void ListViewWords::reserveText(std::size_t bytes) {
    list_.reserveText(bytes);
}

void ListViewWords::appendValidUtf8(QByteArrayView text) {
    list_.appendValidUtf8(text);
}

void ListViewWords::append(const QString& text) {
    list_.append(text);
}

void WordListActions::pasteClipboard() {
    // A file's line breaks, but no empty entry: a copied text often ends in a
    // line break, and an empty entry would only look up nothing.
    const QString text = desktop_.clipboardText();
    ForEachLinePiece(QStringView(text), [&](QStringView piece) {
        if (!piece.isEmpty())
            ListView1_.append(piece.toString());
    });
}

void WordListActions::PushButton3_Click() {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("PushButton3_Click"));
    trap.line(100, [&] { CommonDialog1_.FileName.clear(); });
    trap.line(102, [&] {
        CommonDialog1_.Flags = CommonDialog::OFN_READONLY | CommonDialog::OFN_ALLOWMULTISELECT |
                               CommonDialog::OFN_EXPLORER | CommonDialog::OFN_LONGNAMES;
    });
    trap.line(104, [&] { CommonDialog1_.DialogTitle = kLoadTitle; });
    trap.line(106, [&] { CommonDialog1_.Filter = kTextFilter; });
    trap.line(108, [&] { CommonDialog1_.ShowOpen(); });
    if (trap.test(110, [&] { return CommonDialog1_.FileName.isEmpty(); }))
        return;
    QStringList parts;
    trap.line(112, [&] { parts = CommonDialog1_.FileName.split(QChar(0)); });
    loadChosenFiles(trap, parts);
}

void WordListActions::ListView1_OLEDragDrop(const QStringList& paths) {
    ErrorTrap trap(desktop_, kForm1, QStringLiteral("ListView1_OLEDragDrop"));
    const QStringList parts = dialogChoice(paths);
    if (!parts.isEmpty()) {
        loadChosenFiles(trap, parts);
        return;
    }
    for (const QString& path : paths)
        loadChosenFiles(trap, {path});
}

void WordListActions::loadGivenFiles(const QStringList& paths) {
    // A shell's glob may name thousands: the message names the first few.
    constexpr qsizetype kNamed = 20;
    QStringList readable, problems;
    qsizetype unreadable = 0;
    for (const QString& path : paths) {
        QString problem;
        const int fd = OpenWordFile(path, problem);
        if (fd >= 0) {
            ::close(fd);
            readable << path;
        } else if (++unreadable <= kNamed) {
            problems << problem;
        }
    }
    if (unreadable > kNamed)
        problems
            << QStringLiteral("and %1 more files that cannot be read").arg(unreadable - kNamed);
    if (!problems.isEmpty())
        desktop_.message(problems.join(QStringLiteral("\r\n")));
    if (!readable.isEmpty())
        ListView1_OLEDragDrop(readable);
}

void WordListActions::loadChosenFiles(ErrorTrap& trap, const QStringList& parts) {
    // Loaded from inside a lookup run's yield, the pointer must stay busy
    // afterwards: it is the only thing that keeps the list from being
    // emptied under the run.
    const bool runUnderWay = busy();
    trap.line(114, [&] { pointer_.setPointerMode(PointerMode::Busy); });
    const qsizetype n = parts.size() - 1;
    if (trap.test(116, [&] { return n == 0; })) {
        QString path;
        trap.line(118, [&] { path = parts.at(0); });
        trap.line(120, [&] { LoadListviewFromFile(words_, path, desktop_); });
    } else if (trap.test(122, [&] { return n >= 1; })) {
        // 124 to 128 take the loop's bounds, once, before it starts.
        for (qsizetype i = 1; i <= n; ++i) {
            // A window closed during a "File not found" box reads no further file.
            desktop_.unwindIfClosing();
            QString path;
            trap.line(130, [&] { path = parts.at(0) + u'/' + parts.at(i); });
            trap.line(132, [&] { path = CollapseSlashes(path); });
            trap.line(134, [&] { LoadListviewFromFile(words_, path, desktop_); });
        }
    }
    trap.line(138, [&] {
        if (!runUnderWay)
            pointer_.setPointerMode(PointerMode::Plain);
    });
}

bool WordListActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ListView1_.viewport())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Only a copy: a move would have the source delete the files.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (localFiles(drag->mimeData()).isEmpty() || !(drag->possibleActions() & Qt::CopyAction))
            break;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (paths.isEmpty() || !(drop->possibleActions() & Qt::CopyAction))
            break;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The load waits until the drop has been answered: the source is
        // kept waiting meanwhile, and loading may show boxes.
        QMetaObject::invokeMethod(
            this,
            [this, paths] {
                if (desktop_.isClosing())
                    return;
                try {
                    ListView1_OLEDragDrop(paths);
                } catch (const ClosingSignal&) {
                    // The window closed during one of the load's boxes.
                }
            },
            Qt::QueuedConnection);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
