/* viewer_state.cpp - the viewer's one process-wide state record.
 * Defines g_viewer; static storage makes it zero at start.
 */
#include "viewer.h"

ViewerState g_viewer;
