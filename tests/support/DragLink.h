#pragma once

// The link gesture between two grids. The headless platform runs no drag
// loop of its own, so the test delivers the drag's events itself.

#include "browse/DBGrid.h"
#include "support/ScriptedMsgBox.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>

// Alt+double-click on the source grid's cell at from, then a move of 9
// pixels: the drag starts. Its data; none where the double-click left no
// drag pending or the move started none.
inline const QMimeData* StartLinkDrag(TDBGrid* source, const QPoint& from) {
    ScopedModifiers alt(Qt::AltModifier);
    QTest::mouseDClick(source->viewport(), Qt::LeftButton, Qt::AltModifier, from);
    if (!source->DragPending()) return nullptr;
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, 9)),
                     source->viewport()->mapToGlobal(QPointF(from + QPoint(0, 9))), Qt::LeftButton,
                     Qt::LeftButton, Qt::AltModifier);
    QApplication::sendEvent(source->viewport(), &move);
    if (source->DragPending()) return nullptr;
    const auto* drag = source->findChild<QDrag*>();
    return drag ? drag->mimeData() : nullptr;
}

// Whether the widget takes the drag's data entering at at.
inline bool LinkDragEnters(QWidget* viewport, const QPoint& at, const QMimeData* data) {
    QDragEnterEvent event(at, Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
    return event.isAccepted();
}

// Whether the widget takes the drag's data dropped at at.
inline bool DropLink(QWidget* viewport, const QPoint& at, const QMimeData* data) {
    QDropEvent event(at, Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
    return event.isAccepted();
}
