// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;
class QTreeView;

// How a list with check boxes meets a screen reader. Qt reads such rows as plain cells whose
// one action selects them, and its AT-SPI bridge drops their checkable state; a row that can
// be ticked therefore reads as a check box, checked or not, whose action ticks it.
//
// The factory answers for such a list (see QAccessible::installFactory).
QAccessibleInterface* CheckListAccessible(const QString& className, QObject* object);

// Tells screen readers of a changed mark on the list's rows from now on.
void AnnounceCheckMarks(QTreeView& view);
