// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeView>
#include <functional>

class ListModel;

// A list in report view with the operations the program uses: columns with
// header texts and widths, items addressed by 1-based position (each a text
// and, on a list with check boxes, a check mark), appended at the end and
// removed by position or all at once. Built for millions of rows.
class ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit ListView(bool checkBoxes, QWidget* parent = nullptr);

    // Columns, 1-based.
    void addColumn(const QString& header);
    void setColumnWidthTwips(int column, int twips);
    int columnCount() const;
    QString columnHeader(int column) const;

    // Items, 1-based; a position outside 1..count() throws AppError.
    int count() const;
    QString text(int position) const;
    // Append the text to out, for callers that gather many rows. In UTF-8, a
    // text that UTF-8 cannot carry (a lone surrogate) is encoded as any UTF-8
    // encoder would, with a replacement character.
    void appendTextTo(QString& out, int position) const;
    void appendUtf8To(QByteArray& out, int position) const;
    // The text's length in code points, without making the text.
    int textLength(int position) const;
    QString subItemText(int position, int column) const;
    bool checked(int position) const;
    void append(const QString& text);
    // Text already known to be well-formed UTF-8, stored without decoding.
    void appendValidUtf8(QByteArrayView text);
    void reserveText(std::size_t bytes);
    // What a row means, told below the list's own tool-tip when the pointer rests on the row,
    // and to screen readers as the row's accessible description: made when asked, by the
    // describer, from the key of the row's run and its text (see ListModel).
    void setDescriber(std::function<QString(QByteArrayView key, QByteArrayView rowUtf8)> describer);
    // The rows appended from now on form a run with this key.
    void startRun(QByteArrayView key);
    // Empty when the row carries none.
    QString description(int position) const;
    // What the tool-tip shows over the row at position (0: over no row): the list's own
    // tool-tip, then the row's description on a line of its own.
    QString toolTipOver(int position) const;
    void remove(int position);
    void clear();
    // 0 when nothing is selected.
    int selectedPosition() const;

    // The user ticks rows with the mouse; these are for setting marks from
    // the program. Both do nothing on a list without check boxes.
    void setChecked(int position, bool checked);
    void setAllChecked(bool checked);

    ListModel& listModel() const;

  signals:
    // Windows key codes (Delete is 46); shift: 1 Shift, 2 Ctrl, 4 Alt.
    void keyDown(int keyCode, int shift);
    void dblClick();
    void mouseMove();

  protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    ListModel* model_;
};
