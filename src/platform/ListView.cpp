// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListView.h"

#include "AppError.h"
#include "CheckListAccessible.h"
#include "ListModel.h"
#include "Twips.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {
// A new column is an inch wide until the program gives it a width.
constexpr int kDefaultColumnTwips = 1440;

// The program's key handlers compare against Windows virtual-key codes.
int windowsKeyCode(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key; // Qt numbers these keys by their ASCII code, as Windows does
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}

void requireInRange(int index, int count) {
    if (index < 1 || index > count)
        throw AppError("Index out of bounds");
}

int shiftBits(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}
// Some styles outline a check box in a shade of the window colour, which under
// a dark palette all but vanishes into the list's base. The box is outlined
// again in the list's own text colour, so it shows whatever palette or skin
// gives the list its colours.
class CheckBoxOutline : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        if (!item.features.testFlag(QStyleOptionViewItem::HasCheckIndicator))
            return;
        const QWidget* view = item.widget;
        const QStyle* style = view ? view->style() : QApplication::style();
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, view);
        QColor outline = item.palette.color(QPalette::Text);
        outline.setAlpha(160);
        painter->save();
        painter->setPen(outline);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box.adjusted(1, 1, -2, -2));
        painter->restore();
    }
};
} // namespace

ListView::ListView(bool checkBoxes, QWidget* parent)
    : QTreeView(parent), model_(new ListModel(checkBoxes, this)) {
    static const bool accessible = [] {
        QAccessible::installFactory(CheckListAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setModel(model_);
    if (checkBoxes) {
        setItemDelegate(new CheckBoxOutline(this));
        AnnounceCheckMarks(*this);
    }
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    // Lets the view place any row by arithmetic instead of measuring rows.
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Columns keep the widths the program gives them, scrolling sideways
    // when wider than the list, and keep their order: the program addresses
    // them by number.
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    header()->setMinimumSectionSize(0);

    // The program follows the pointer over the list without a button held.
    viewport()->setMouseTracking(true);
}

ListModel& ListView::listModel() const {
    return *model_;
}

void ListView::addColumn(const QString& header) {
    // Screen readers name the list by its first header, as it reads on screen.
    if (model_->columns() == 0 && accessibleName().isEmpty())
        setAccessibleName(header.trimmed());
    model_->addColumn(header);
    setColumnWidth(model_->columns() - 1, TwipsToPixels(kDefaultColumnTwips));
}

void ListView::setColumnWidthTwips(int column, int twips) {
    requireInRange(column, columnCount());
    setColumnWidth(column - 1, TwipsToPixels(qMax(0, twips)));
}

int ListView::columnCount() const {
    return model_->columns();
}

QString ListView::columnHeader(int column) const {
    requireInRange(column, columnCount());
    return model_->header(column - 1);
}

int ListView::count() const {
    return model_->size();
}

QString ListView::text(int position) const {
    requireInRange(position, count());
    return model_->textAt(position - 1);
}

QString ListView::subItemText(int position, int column) const {
    requireInRange(position, count());
    requireInRange(column, columnCount());
    // Only the first column has texts; the others are there for their headers.
    return column == 1 ? model_->textAt(position - 1) : QString();
}

void ListView::appendTextTo(QString& out, int position) const {
    requireInRange(position, count());
    model_->appendTextTo(out, position - 1);
}

void ListView::appendUtf8To(QByteArray& out, int position) const {
    requireInRange(position, count());
    model_->appendUtf8To(out, position - 1);
}

int ListView::textLength(int position) const {
    requireInRange(position, count());
    return model_->codePointLengthAt(position - 1);
}

bool ListView::checked(int position) const {
    requireInRange(position, count());
    return model_->checkedAt(position - 1);
}

void ListView::append(const QString& text) {
    model_->append(text);
}

void ListView::appendValidUtf8(QByteArrayView text) {
    model_->appendValidUtf8(text);
}

void ListView::reserveText(std::size_t bytes) {
    model_->reserveText(bytes);
}

void ListView::setDescriber(
    std::function<QString(QByteArrayView key, QByteArrayView rowUtf8)> describer) {
    model_->setDescriber(std::move(describer));
}

void ListView::startRun(QByteArrayView key) {
    model_->startRun(key);
}

QString ListView::description(int position) const {
    requireInRange(position, count());
    return model_->descriptionAt(position - 1);
}

QString ListView::toolTipOver(int position) const {
    const QString own = toolTip();
    const QString rows = position > 0 ? description(position) : QString();
    if (rows.isEmpty())
        return own;
    return own.isEmpty() ? rows : own + u'\n' + rows;
}

bool ListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QTreeView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString tip = toolTipOver(index.isValid() ? index.row() + 1 : 0);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // Tied to the row's place, so that moving to another row shows that row's tip.
        QToolTip::showText(help->globalPos(), tip, viewport(),
                           index.isValid() ? visualRect(index) : QRect());
    }
    return true;
}

void ListView::remove(int position) {
    requireInRange(position, count());
    model_->removeAt(position - 1);
}

void ListView::clear() {
    model_->clear();
}

int ListView::selectedPosition() const {
    const QItemSelection selection = selectionModel()->selection();
    return selection.isEmpty() ? 0 : selection.first().top() + 1;
}

void ListView::setChecked(int position, bool checked) {
    requireInRange(position, count());
    model_->setCheckedAt(position - 1, checked);
}

void ListView::setAllChecked(bool checked) {
    model_->setAllChecked(checked);
}

void ListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(windowsKeyCode(event->key()), shiftBits(event->modifiers()));
    QTreeView::keyPressEvent(event);
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The base class first makes the entry under the pointer the selection,
    // which is what the program's handler then acts on.
    QTreeView::mouseDoubleClickEvent(event);
    emit dblClick();
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    QTreeView::mouseMoveEvent(event);
    emit mouseMove();
}
