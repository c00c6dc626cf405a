#pragma once
// A window-less geometric shape drawn with its own pen and brush.

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };
extern const std::vector<std::string> ShapeTypeNames;

class TShape : public TGraphicControl {
  ZX_CLASS(TShape, TGraphicControl)
 public:
  explicit TShape(TComponent* owner);
  ~TShape() override;

  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);
  // Owned; a change of either repaints the shape.
  TBrush* Brush() const { return brush_.get(); }
  void SetBrush(const TBrush* value) { brush_->Assign(value); }
  TPen* Pen() const { return pen_.get(); }
  void SetPen(const TPen* value) { pen_->Assign(value); }

 protected:
  void Paint() override;

 private:
  void StyleChanged(TObject*);

  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};
