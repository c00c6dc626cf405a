#pragma once
// Screen-reader access to window-less controls. They have no window for the
// system to describe, so a top-level window answers WM_GETOBJECT for its
// client area with an object of its own whose children are the window-less
// controls under it, at any depth, each with the role, name, state, place and
// default action the control reports. Windowed controls keep the system's
// objects.

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"

// The window-less controls a screen reader is shown under a top-level
// control, in the order of their child ids 1, 2, ... (depth first, in
// creation order; controls of hidden pages too, marked invisible).
std::vector<TControl*> AccessibleControls(const TWinControl* top);
// The child id of a window-less control in its top-level window's object, or 0.
long AccessibleChildId(const TControl* control);
// Tells listening screen readers of an event of a window-less control
// (EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_FOCUS...); nothing when the control
// is not shown to them or its top-level window has no handle.
void NotifyAccessibleEvent(DWORD event, const TControl* control);
// The answer to WM_GETOBJECT for the client object of a top-level control, or
// 0 when it has no window-less control to show or the object cannot be made.
LRESULT AccessibleClientObject(TWinControl* top, WPARAM wParam);
// The text without its accelerator marks; "&&" stays as one "&".
std::string StripAccelChars(const std::string& text);
