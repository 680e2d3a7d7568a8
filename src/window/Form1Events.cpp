// Form1's keys, drops and resizing.
#include "Form1.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QFrame>
#include <algorithm>
#include <cmath>

#include "GridView.h"

namespace dex {

using namespace form1;

namespace {

int keyCodeOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_F3: return kKeyF3;
    case Qt::Key_F5: return kKeyF5;
    case Qt::Key_Escape: return kKeyEscape;
    default: return 0;
    }
}

int shiftStateOf(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? kShiftMask : 0) | (m & Qt::ControlModifier ? kCtrlMask : 0) |
           (m & Qt::AltModifier ? kAltMask : 0);
}

}  // namespace

void Form1::Form_KeyDown(int keyCode, int shift) {
    switch (RouteKey(keyCode, shift)) {
    case KeyAction::NextDifference: cmdMove_Click(0); break;
    case KeyAction::PreviousDifference: cmdMove_Click(1); break;
    case KeyAction::Compare: cmdComp_Click(); break;
    case KeyAction::Close: close(); break;
    case KeyAction::None: break;
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (watched == spList && gridKeyFilter(event)) return true;
        return keyPressFilter(watched, event);
    }
    for (int i = 0; i < 2; ++i)
        if (watched == txtDBPath[i]) return pathBoxFilter(i, event);
    return false;
}

bool Form1::keyPressFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    // A key travels from the focused control up through its parents; the
    // window handles it once, when it is delivered to its first receiver.
    QWidget* focus = QApplication::focusWidget();
    QWidget* first = (focus && focus->window() == this) ? focus : this;
    if (widget != first) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // A handler may move the focus (a message box, a path box focused): the
    // same press then reaches the parents of its first receiver, which
    // must not handle it again.
    if (event == lastKey_ && key->timestamp() == lastKeyTime_ && lastKeyReceiver_ &&
        widget->isAncestorOf(qobject_cast<QWidget*>(lastKeyReceiver_)))
        return false;
    const int code = keyCodeOf(key->key());
    if (code != 0) {
        lastKey_ = event;
        lastKeyTime_ = key->timestamp();
        lastKeyReceiver_ = widget;
        Form_KeyDown(code, shiftStateOf(key->modifiers()));
    }
    return false;  // the control receives the key afterwards
}

bool Form1::gridKeyFilter(QEvent* event) {
    // Enter on a cell opens its row's details; the grid itself would only
    // pass the key on.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    Qt::KeyboardModifiers mods = key->modifiers();
    mods.setFlag(Qt::KeypadModifier, false);
    if (mods != Qt::KeyboardModifiers()) return false;
    const QModelIndex current = spList->currentIndex();
    if (!current.isValid()) return false;
    openRowDetails(current.row() + 1);
    return true;
}

bool Form1::pathBoxFilter(int index, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: txtDBPath_GotFocus(index); return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (txtDBPath_OLEDragOver(index, drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (txtDBPath_OLEDragDrop(index, drop->mimeData())) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        } else {
            drop->ignore();
        }
        return true;
    }
    default: return false;
    }
}

void Form1::updateMinimumSize() {
    // The rule is about the outer size; the frame's share is known once the
    // window has one.
    const QSize frame = isWindow() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    const int minW = static_cast<int>(std::ceil(design::minOuter * logicalDpiX() / 1440.0)) - frame.width();
    const int minH = static_cast<int>(std::ceil(design::minOuter * logicalDpiY() / 1440.0)) - frame.height();
    const QSize minimum(std::max(1, minW), std::max(1, minH));
    if (minimumSize() != minimum) setMinimumSize(minimum);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    guarded("Form_Resize", [this] { Form_Resize(); });
}

void Form1::Form_Resize() {
    if (isMinimized()) return;
    updateMinimumSize();
    const int w = std::max(width(), minimumWidth()), h = std::max(height(), minimumHeight());
    if (w != width() || h != height()) resize(w, h);
    const ResizeLayout l = ComputeResize(pixelsToTwipsX(w), pixelsToTwipsY(h));
    Frame1->setGeometry(0, 0, twipsToPixelsX(l.frameWidth), Frame1->height());
    for (int i = 0; i < 2; ++i) {
        txtDBPath[i]->resize(twipsToPixelsX(l.pathWidth[i]), txtDBPath[i]->height());
        cmdAccess[i]->move(twipsToPixelsX(l.accessLeft), cmdAccess[i]->y());
        cmdCompact[i]->move(twipsToPixelsX(l.compactLeft), cmdCompact[i]->y());
        ProgressBar1[i]->setGeometry(0, twipsToPixelsY(l.barTop[i]), twipsToPixelsX(l.barWidth),
                                     ProgressBar1[i]->height());
        ProgressBar1[i]->raise();
    }
    // The status line takes the bottom of the grid's area.
    const int statusHeight = lblStatus->height();
    spList->setGeometry(twipsToPixelsX(l.gridLeft), spList->y(), twipsToPixelsX(l.gridWidth),
                        std::max(0, twipsToPixelsY(l.gridHeight) - statusHeight));
    lblStatus->setGeometry(0, spList->geometry().bottom() + 1, twipsToPixelsX(l.gridWidth), statusHeight);
}

}  // namespace dex
