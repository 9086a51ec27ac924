// Compiled with the core library's settings: it must not build, since the core may not use
// the widget stack.
#include <QtWidgets/QWidget>

int ProbeWidgets() { return int(sizeof(QWidget)); }
