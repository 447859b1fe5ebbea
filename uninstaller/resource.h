/* resource.h: identifiers of the uninstaller's resources.
 * The string table itself lives in kmw48rmv.rc; identifiers 14 and 15 are not used. */
#ifndef KMW48RMV_RESOURCE_H
#define KMW48RMV_RESOURCE_H

#define IDS_CAPTION 1
#define IDS_CANCELLED 2
#define IDS_BAD_COMMAND 3
#define IDS_CONFIRM 4
#define IDS_RESTART 5
#define IDS_PM_TITLE 6
#define IDS_COMPLETION_KEY 7
#define IDS_INI_FILE 8
#define IDS_DRIVER 9
#define IDS_SIBLING_DRIVER 10
#define IDS_SIBLING_DRIVER_TYPE1 11
#define IDS_SYSTEM_BACKUP 12
#define IDS_PM_RUNNING 13
#define IDS_DRIVER_KEY 16

#define IDI_UNINSTALLER 101

#endif
