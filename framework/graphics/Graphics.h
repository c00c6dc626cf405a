#pragma once
// The graphics layer in one include: colours, font, pen, brush and canvas
// (Canvas.h), bitmaps (Bitmaps.h), icons (Icons.h), JPEG images (Jpeg.h) and
// pictures (Pictures.h). Image lists are in Imglist.h.

#include "Canvas.h"
#include "Bitmaps.h"
#include "Icons.h"
#include "Jpeg.h"
#include "Pictures.h"
