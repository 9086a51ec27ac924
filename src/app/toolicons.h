#pragma once
// ImageList1: the images of the main window's tool bar actions, drawn in code on a 16-unit
// grid so that they stay crisp at 16 px and at 32 px on high-DPI screens.
#include <QIcon>
#include <QStringList>

// The image of the action with that object name ("acCursorPan", "acZoomIN", ...), at 16 x 16
// and 32 x 32; a null icon for a name without an image.
QIcon ToolIcon(const QString& actionName);

// The action names ToolIcon draws.
QStringList ToolIconNames();
