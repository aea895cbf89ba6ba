// Compiled against one layer's include roots: the first header is one the layer
// may use, the second one it must not see.
#include QMK_PROBE_ALLOWED
#include QMK_PROBE_FORBIDDEN
