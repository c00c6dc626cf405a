#include "Shape.h"

#include <algorithm>

const std::vector<std::string> ShapeTypeNames = {"stRectangle",   "stSquare",  "stRoundRect",
                                                 "stRoundSquare", "stEllipse", "stCircle"};

const TClassInfo& TShape::StaticClass() {
  static const TClassInfo info = DefineClass<TShape>("TShape", [](TClassBuilder<TShape>& c) {
    c.Obj("Brush", &TShape::Brush)
        .Obj("Pen", &TShape::Pen)
        .Enum("Shape", ShapeTypeNames, &TShape::Shape, &TShape::SetShape, stRectangle);
  });
  return info;
}

TShape::TShape(TComponent* owner)
    : TGraphicControl(owner), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  ControlStyle << csReplicatable;
  pen_->OnChange = TNotifyEvent(this, &TShape::StyleChanged);
  brush_->OnChange = TNotifyEvent(this, &TShape::StyleChanged);
  SetBounds(0, 0, 65, 65);
}

TShape::~TShape() = default;

void TShape::SetShape(TShapeType value) {
  if (shape_ == value) return;
  shape_ = value;
  Invalidate();
}

void TShape::StyleChanged(TObject*) { Invalidate(); }

void TShape::Paint() {
  TCanvas& canvas = *Canvas();
  canvas.SetPen(pen_.get());
  canvas.SetBrush(brush_.get());
  // A wide pen is centred on the outline: inset the figure by half the pen so
  // that the whole stroke stays inside the control.
  const int penWidth = pen_->Width();
  int x = penWidth / 2;
  int y = x;
  int w = Width() - penWidth + 1;
  int h = Height() - penWidth + 1;
  if (penWidth == 0) {
    --w;
    --h;
  }
  const int side = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - side) / 2;
    y += (h - side) / 2;
    w = side;
    h = side;
  }
  switch (shape_) {
    case stRectangle:
    case stSquare: canvas.Rectangle(x, y, x + w, y + h); break;
    case stRoundRect:
    case stRoundSquare: canvas.RoundRect(x, y, x + w, y + h, side / 4, side / 4); break;
    case stEllipse:
    case stCircle: canvas.Ellipse(x, y, x + w, y + h); break;
  }
}
