// The interface through which the control talks to a collapse (folding)
// handler without knowing the component, and the component type the
// control's CollapseHandler property holds.
#pragma once

#include <ZarvMemo/support/store/ParRecords.h>

#include <QObject>
#include <QtPlugin>

class QPainter;

namespace zarv {

class IzvCollapseHandler {
public:
  virtual ~IzvCollapseHandler() = default;
  // Attaches (Link) or detaches the handler from a control.
  virtual void LinkMemo(QObject* Memo, bool Link) = 0;
  // Draws the fold marks of one display line; XOffset is the control's
  // horizontal scroll.
  virtual void PaintLine(QObject* Memo, QPainter* DC, int XOffset, int LineHeight, const ParInfo& Par,
                         const LineInfo& Line) = 0;
};

// Base of collapse-handler components; a concrete handler also implements
// IzvCollapseHandler.
class TzvsCollapseHandler : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
};

} // namespace zarv

Q_DECLARE_INTERFACE(zarv::IzvCollapseHandler, "{DF25A9E7-E02B-4763-99B0-0341F0DE3D74}")
