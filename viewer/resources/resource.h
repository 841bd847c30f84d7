/* resource.h - identifiers of the viewer's resources and of the commands they send.
 * Included by velkor.rc and by the viewer's code.
 */
#ifndef VELKOR_RESOURCE_H
#define VELKOR_RESOURCE_H

/* Strings */
#define IDS_APP_TITLE       103   /* window title */
#define IDS_WINDOW_CLASS    109   /* window class name */

/* Icons */
#define IDI_VELKOR          107   /* large icon of the window class */
#define IDI_SMALL           108   /* small icon of the window class */

/* Accelerator tables */
#define IDA_VELKOR          109   /* Alt+"?" and Alt+"/" */

/* Commands */
#define IDM_ACCELERATOR     104   /* sent by both accelerators; handled by default processing */
#define IDM_DESTROY         105   /* destroys the main window; nothing in the viewer sends it */

#endif /* VELKOR_RESOURCE_H */
