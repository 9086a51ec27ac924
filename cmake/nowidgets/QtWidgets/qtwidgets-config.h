// Found before Qt's own header only when compiling qormap_core: the core must
// stay usable without a widget stack (CLI, tests, threads).
#error "qormap_core must not include QtWidgets headers"
