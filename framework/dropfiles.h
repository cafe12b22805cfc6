#pragma once
// Files dropped from the desktop: a windowed control that accepts them gets WM_DROPFILES with a
// drop handle in WParam; whoever handles it reads the files and finishes the drop.
#include "framework/control.h"

#include <string>
#include <vector>

namespace sv {

struct TDropHandle {
    std::vector<std::string> Files; // full paths, in the order the desktop gave them
    TPoint Point;                   // client coordinates of the control
};
using HDROP = TDropHandle*;

// Registers (or unregisters) the control for drops; the registration goes with its widget.
void DragAcceptFiles(TWinControl* control, bool accept);
int DragQueryFileCount(HDROP drop);
// The full path; no length limit.
std::string DragQueryFile(HDROP drop, int index);
TPoint DragQueryPoint(HDROP drop);
// Frees the handle.
void DragFinish(HDROP drop);

// Delivers a drop to the control as WM_DROPFILES through its WindowProc; a drop that nobody
// finished is finished afterwards. Returns whether the control accepts drops.
bool DeliverDrop(TWinControl* control, const std::vector<std::string>& files, TPoint point);

} // namespace sv
