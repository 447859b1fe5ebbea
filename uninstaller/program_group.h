/* program_group.h: the product's Program Manager group, deleted over DDE when empty. */
#ifndef KMW48RMV_PROGRAM_GROUP_H
#define KMW48RMV_PROGRAM_GROUP_H

void remove_program_group();

#endif
