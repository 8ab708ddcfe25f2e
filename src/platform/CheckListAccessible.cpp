// SPDX-License-Identifier: GPL-3.0-or-later
#include "CheckListAccessible.h"

#include "ListModel.h"
#include "ListView.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>

namespace {
// As the view numbers its children in the focus and selection events it sends: the header's
// cells first while the header shows, then each row's cells.
int HeaderRows(const QTreeView& view) {
    return view.header()->isHidden() ? 0 : 1;
}

int ChildIndex(const QTreeView& view, int row, int column) {
    return (row + HeaderRows(view)) * view.model()->columnCount() + column;
}

// A row's cell, or with row -1 a header cell.
class Cell : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    Cell(QTreeView* view, int row, int column) : view_(view), row_(row), column_(column) {}

    int childIndex() const { return ChildIndex(*view_, row_, column_); }

    bool isValid() const override {
        return view_ && (row_ < 0 ? column_ < view_->model()->columnCount() : index().isValid());
    }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text type) const override {
        if (row_ < 0)
            return type == QAccessible::Name
                       ? view_->model()->headerData(column_, Qt::Horizontal).toString()
                       : QString();
        if (type == QAccessible::Name)
            return index().data().toString();
        if (type == QAccessible::Description)
            return index().data(Qt::AccessibleDescriptionRole).toString();
        return QString();
    }
    QRect rect() const override {
        if (row_ < 0) {
            const QHeaderView* header = view_->header();
            return QRect(header->mapToGlobal(QPoint(header->sectionViewportPosition(column_), 0)),
                         QSize(header->sectionSize(column_), header->height()));
        }
        const QRect place = view_->visualRect(index());
        return place.isNull() ? place
                              : place.translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override {
        if (row_ < 0)
            return QAccessible::ColumnHeader;
        return checkable() ? QAccessible::CheckBox : QAccessible::TreeItem;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (row_ < 0) {
            state.invisible = view_->header()->isHidden();
            return state;
        }
        const QModelIndex cell = index();
        state.invisible = !view_->viewport()->rect().intersects(view_->visualRect(cell));
        state.selectable = state.focusable = true;
        state.selected = view_->selectionModel()->isSelected(cell);
        state.focused = view_->currentIndex() == cell;
        state.checkable = checkable();
        state.checked = state.checkable && cell.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface && checkable()
                   ? static_cast<QAccessibleActionInterface*>(this)
                   : nullptr;
    }
    // Ticks or clears the row's mark, as a click on its box does.
    QStringList actionNames() const override { return {toggleAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& action) override {
        if (action != toggleAction() || !checkable())
            return;
        const bool checked = index().data(Qt::CheckStateRole).toInt() == Qt::Checked;
        view_->model()->setData(index(), int(checked ? Qt::Unchecked : Qt::Checked),
                                Qt::CheckStateRole);
    }

  private:
    QModelIndex index() const { return view_->model()->index(row_, column_); }
    bool checkable() const {
        return row_ >= 0 && index().flags().testFlag(Qt::ItemIsUserCheckable);
    }

    QPointer<QTreeView> view_;
    const int row_;
    const int column_;
};

// The list as Qt's own tree reads it, but with the cells above. Cells are made when a reader
// asks for them, as a list may hold millions of rows.
class CheckList : public QAccessibleWidget, public QAccessibleTableInterface {
  public:
    explicit CheckList(QTreeView* view) : QAccessibleWidget(view, QAccessible::Tree) {}
    ~CheckList() override { forgetCells(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    int childCount() const override { return ChildIndex(*view(), rowCount(), 0); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto known = cells_.constFind(index); known != cells_.constEnd())
            return QAccessible::accessibleInterface(*known);
        const int columns = columnCount();
        auto* cell = new Cell(view(), index / columns - HeaderRows(*view()), index % columns);
        cells_.insert(index, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* cell = dynamic_cast<const Cell*>(child);
        return cell && cell->parent() == this ? cell->childIndex() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? child(ChildIndex(*view(), at.row(), at.column())) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = view()->currentIndex();
        return current.isValid() ? child(ChildIndex(*view(), current.row(), current.column()))
                                 : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QString columnDescription(int column) const override {
        return model()->headerData(column, Qt::Horizontal).toString();
    }
    QString rowDescription(int) const override { return QString(); }
    int columnCount() const override { return model()->columnCount(); }
    int rowCount() const override { return model()->rowCount(); }
    int selectedCellCount() const override { return int(selection()->selectedIndexes().size()); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selection()->selectedRows().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& index : selection()->selectedIndexes())
            cells << child(ChildIndex(*view(), index.row(), index.column()));
        return cells;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        QList<int> rows;
        for (const QModelIndex& index : selection()->selectedRows())
            rows << index.row();
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override {
        return selection()->isRowSelected(row, QModelIndex());
    }
    bool selectRow(int row) override {
        return setRowSelected(row, QItemSelectionModel::ClearAndSelect);
    }
    bool unselectRow(int row) override {
        return setRowSelected(row, QItemSelectionModel::Deselect);
    }
    bool selectColumn(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        return child(ChildIndex(*view(), row, column));
    }
    // A cell stands for a place, which rows inserted or removed before it give to another row;
    // rows appended, as a lookup appends them, leave every place as it was.
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        const auto change = event->modelChangeType();
        const bool appended = change == QAccessibleTableModelChangeEvent::RowsInserted &&
                              event->lastRow() == rowCount() - 1;
        if (change != QAccessibleTableModelChangeEvent::DataChanged && !appended)
            forgetCells();
    }

  private:
    bool setRowSelected(int row, QItemSelectionModel::SelectionFlags how) {
        const QModelIndex index = model()->index(row, 0);
        if (!index.isValid())
            return false;
        selection()->select(index, how | QItemSelectionModel::Rows);
        return true;
    }
    void forgetCells() {
        for (const QAccessible::Id id : std::as_const(cells_))
            QAccessible::deleteAccessibleInterface(id);
        cells_.clear();
    }
    QTreeView* view() const { return static_cast<QTreeView*>(widget()); }
    QAbstractItemModel* model() const { return view()->model(); }
    QItemSelectionModel* selection() const { return view()->selectionModel(); }

    mutable QHash<int, QAccessible::Id> cells_;
};
} // namespace

QAccessibleInterface* CheckListAccessible(const QString&, QObject* object) {
    auto* view = qobject_cast<ListView*>(object);
    return view && view->listModel().checkBoxes() ? new CheckList(view) : nullptr;
}

void AnnounceCheckMarks(QTreeView& view) {
    QObject::connect(
        view.model(), &QAbstractItemModel::dataChanged, &view,
        [&view](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
            if (!QAccessible::isActive() ||
                (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole)))
                return;
            // The one mark changed, or of many changed at once the current row's, where the
            // reader is.
            const QModelIndex row = first == last ? first : view.currentIndex();
            if (!row.isValid() || row.row() < first.row() || row.row() > last.row())
                return;
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent event(&view, changed);
            event.setChild(ChildIndex(view, row.row(), row.column()));
            QAccessible::updateAccessibility(&event);
        });
}
