#pragma once
// Resource and control identifiers, shared by the resource scripts and the code.

#define IDD_SELECT_SONGS 1007
#define IDB_SPLASH 3007
#define RT_TUNYRA_DLGINIT 240

// Select Songs controls
#define IDC_MINUTES 1000
#define IDC_MINUTES_SPIN 1001
#define IDC_KIND1 1002
#define IDC_LIST1 1004
#define IDC_KIND2 1005
#define IDC_LIST2 1009
#define IDC_OR3 1010
#define IDC_AND3 1011
#define IDC_OR2 1012
#define IDC_AND2 1013
#define IDC_KIND3 1014
#define IDC_LIST3 1016
#define IDC_OR4 1017
#define IDC_AND4 1018
#define IDC_KIND4 1019
#define IDC_LIST4 1021
#define IDC_ABOUT 3
#define IDC_START_PLAYING 3006
#define IDC_ALLOW_DUPLICATES 3007
#define IDC_HEADER 3009
#define IDC_NONE1 3024
#define IDC_ALL1 3025
#define IDC_REVERSE1 3026
#define IDC_NONE2 3027
#define IDC_ALL2 3028
#define IDC_REVERSE2 3029
#define IDC_NONE3 3030
#define IDC_ALL3 3031
#define IDC_REVERSE3 3032
#define IDC_NONE4 3033
#define IDC_ALL4 3034
#define IDC_REVERSE4 3035

// String table: tooltip texts 1 to 13
#define IDS_TIP_MINUTES 1
#define IDS_TIP_KIND1 2
#define IDS_TIP_KIND2 3
#define IDS_TIP_KIND3 4
#define IDS_TIP_KIND4 5
#define IDS_TIP_LIST1 6
#define IDS_TIP_LIST2 7
#define IDS_TIP_LIST3 8
#define IDS_TIP_LIST4 9
#define IDS_TIP_START_PLAYING 10
#define IDS_TIP_ALLOW_DUPLICATES 11
#define IDS_TIP_FIND_SONGS 12
#define IDS_TIP_CANCEL 13
