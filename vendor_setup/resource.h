/* resource.h: identifiers of the vendor-setup library's resources (kmw48i2.rc). */
#ifndef KMW48I2_RESOURCE_H
#define KMW48I2_RESOURCE_H

#define IDS_SETUP_FILE 1
#define IDS_NETWORK_PORT 2
#define IDS_ALREADY_INSTALLED 3
#define IDS_DRIVER 4
#define IDS_PM_FILE 5
#define IDS_CAPTION 6
#define IDS_INI_FILE 7
#define IDS_NOT_FOUND 8

#endif
