/* Identifiers and texts of the updater's string table. Shared by the
   resource scripts of the Windows build and the host build's string table,
   so this header is plain C preprocessor text that windres also reads. */
#ifndef PLUPDATE_UI_RESOURCE_IDS_H
#define PLUPDATE_UI_RESOURCE_IDS_H

#define IDS_COLOR_INKS 4
#define IDS_EXTRAS 6
#define IDS_WIZARDS 8
#define IDS_FILE_N_OF_M 101
#define IDS_LAUNCH_FAILED 104
#define IDS_UPDATER_CAPTION 105
#define IDS_WAITING 106
#define IDS_UPDATING 107
#define IDS_BACKUP_FAILED 108
#define IDS_NO_FILES 109
#define IDS_INIT_FAILED 110
#define IDS_BACKUP_QUESTION 111
#define IDS_CHECKSUM_ERROR 114
#define IDS_UNKNOWN_ERROR 115

#define TXT_COLOR_INKS "Color Inks"
#define TXT_EXTRAS "Extras"
#define TXT_WIZARDS "Wizards"
#define TXT_FILE_N_OF_M "File %d of %d"
#define TXT_LAUNCH_FAILED "Pelora could not be launched"
#define TXT_UPDATER_CAPTION "Pelora Updater"
#define TXT_WAITING "Waiting for Pelora to quit."
#define TXT_UPDATING "Updating Pelora..."
#define TXT_BACKUP_FAILED "The backup folder could not be created. Do you want to continue without backup?"
#define TXT_NO_FILES "There were no files in the update."
#define TXT_INIT_FAILED "The Pelora updater could not be initialized"
#define TXT_BACKUP_QUESTION "Do you want to backup your existing Pelora?"
#define TXT_CHECKSUM_ERROR "The patch was not applied successfully, because of a checksum error"
#define TXT_UNKNOWN_ERROR "An Unknow Error Occured."

/* The string table as rows of (id, text), for tables built from it. */
#define PLUPDATE_STRING_TABLE(ROW)                \
    ROW(IDS_COLOR_INKS, TXT_COLOR_INKS)           \
    ROW(IDS_EXTRAS, TXT_EXTRAS)                   \
    ROW(IDS_WIZARDS, TXT_WIZARDS)                 \
    ROW(IDS_FILE_N_OF_M, TXT_FILE_N_OF_M)         \
    ROW(IDS_LAUNCH_FAILED, TXT_LAUNCH_FAILED)     \
    ROW(IDS_UPDATER_CAPTION, TXT_UPDATER_CAPTION) \
    ROW(IDS_WAITING, TXT_WAITING)                 \
    ROW(IDS_UPDATING, TXT_UPDATING)               \
    ROW(IDS_BACKUP_FAILED, TXT_BACKUP_FAILED)     \
    ROW(IDS_NO_FILES, TXT_NO_FILES)               \
    ROW(IDS_INIT_FAILED, TXT_INIT_FAILED)         \
    ROW(IDS_BACKUP_QUESTION, TXT_BACKUP_QUESTION) \
    ROW(IDS_CHECKSUM_ERROR, TXT_CHECKSUM_ERROR)   \
    ROW(IDS_UNKNOWN_ERROR, TXT_UNKNOWN_ERROR)

/* Dialog template 1, the progress window, and its controls. */
#define IDD_PROGRESS 1
#define IDC_STATUS 1
#define IDC_PROGRESS_LINE 2
#define IDC_PROGRESS_BAR 3
#define TXT_STARTING "Starting update..."
#define TXT_PROGRESS_BAR "Progress1"

#endif
