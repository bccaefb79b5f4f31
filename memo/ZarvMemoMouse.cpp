// The mouse: clicks, double clicks and drags over the text.
// (Being written: for now events go to the scroll area unchanged.)
#include <ZarvMemo/memo/ZarvMemo.h>

#include <QMouseEvent>

namespace zarv {

void TZarvMemo::mousePressEvent(QMouseEvent* e) { QAbstractScrollArea::mousePressEvent(e); }
void TZarvMemo::mouseMoveEvent(QMouseEvent* e) { QAbstractScrollArea::mouseMoveEvent(e); }
void TZarvMemo::mouseReleaseEvent(QMouseEvent* e) { QAbstractScrollArea::mouseReleaseEvent(e); }
void TZarvMemo::mouseDoubleClickEvent(QMouseEvent* e) { QAbstractScrollArea::mouseDoubleClickEvent(e); }
void TZarvMemo::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) {}
void TZarvMemo::MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, int32_t, int32_t) {}
void TZarvMemo::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) {}
void TZarvMemo::DblClick() {}

} // namespace zarv
