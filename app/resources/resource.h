// Identifiers of the window resources: dialogs, controls, menu, pictures and the keys of the
// string tables. Included by C++ and by the resource compiler, so it holds #defines only.
#ifndef HALVEX_APP_RESOURCES_RESOURCE_H
#define HALVEX_APP_RESOURCES_RESOURCE_H

// Language bases: a text is stored under base + key.
#define LANGUAGE_BASE_ENGLISH 1000
#define LANGUAGE_BASE_GERMAN 2000
#define LANGUAGE_BASE_FRENCH 3000
#define LANGUAGE_BASE_ITALIAN 4000
#define LANGUAGE_BASE_SPANISH 5000

// Program icon, menu and pictures.
#define IDI_PROGRAM 101
#define IDR_MAIN_MENU 102
#define IDB_FLAG_US 190
#define IDB_FLAG_GERMANY 191
#define IDB_FLAG_FRANCE 192
#define IDB_FLAG_ITALY 193
#define IDB_FLAG_SPAIN 194

// Menu: the two titles are relabelled by position (key 200 + position), the items by their
// identifier, which is also their key.
#define IDS_MENU_FILE 200
#define IDS_MENU_HELP 201
#define IDM_EXIT 211
#define IDM_ABOUT 290
#define IDM_INSTRUCTIONS 291

// Dialogs. A dialog's identifier is also the key of its caption.
#define IDD_MAIN 300
#define IDD_START_INSTALLER 303
#define IDD_PROGRESS 305
#define IDD_RUN_SCRIPT 308
#define IDD_WAIT_RESTART 310
#define IDD_WAIT_POWER_CYCLE 312  // after a cut transfer: waits for the instrument to answer
#define IDD_INSTRUCTIONS 381
#define IDD_ABOUT 390

// Controls of the message dialogs (Cancel is IDCANCEL) and of the Help dialogs (OK is IDOK).
// A control's identifier is also the key of its text.
#define IDC_START_INSTALLER_TEXT 304
#define IDC_PROGRESS_TEXT 306
#define IDC_PROGRESS_BAR 307
#define IDC_RUN_SCRIPT_TEXT 309
#define IDC_WAIT_RESTART_TEXT 311
#define IDC_WAIT_POWER_CYCLE_TEXT 313
#define IDC_INSTRUCTIONS_LINE1 382
#define IDC_INSTRUCTIONS_LINE2 383
#define IDC_INSTRUCTIONS_LINE3 384
#define IDC_INSTRUCTIONS_LINE4 385
#define IDC_INSTRUCTIONS_LINE5 386
#define IDC_ABOUT_TEXT 391
#define IDC_ABOUT_VERSION 392

// Controls of the main window.
#define IDC_REMOTE_GROUP 401
#define IDC_MODEL_LABEL 402
#define IDC_MODEL 403
#define IDC_SERIAL_LABEL 404
#define IDC_SERIAL 405
#define IDC_PORT 406
#define IDC_REMOTE_VERSIONS_LABEL 410
#define IDC_REMOTE_MAIN 411
#define IDC_REMOTE_GPIB 412
#define IDC_REMOTE_FPGA 413
#define IDC_LOCAL_GROUP 420
#define IDC_PACKAGE_LIST 421
#define IDC_REFRESH 422
#define IDC_PACKAGES_LABEL 430
#define IDC_PACKAGE_VERSIONS_LABEL 431
#define IDC_PACKAGE_MAIN 432
#define IDC_PACKAGE_GPIB 433
#define IDC_PACKAGE_FPGA 434
#define IDC_INSTALL 440
#define IDC_CONNECT 441
#define IDC_LANGUAGE_ENGLISH 480
#define IDC_LANGUAGE_GERMAN 481
#define IDC_LANGUAGE_FRENCH 482
#define IDC_LANGUAGE_ITALIAN 483
#define IDC_LANGUAGE_SPANISH 484
#define IDC_STATUS_BAR 498  // created at run time, not in the template

// Keys of the texts that belong to no control: message box and status texts.
#define IDS_TITLE 300
#define IDS_ERROR_CAPTION 320
#define IDS_FILE_NOT_FOUND 321
// Dialog 312's text when the last pass allowed was uncertain (its own key, 313, is for a transfer
// that ended without its end-of-file marker).
#define IDS_POWER_CYCLE_UNCERTAIN 314
// The package failed its check before the installer was started; the box adds the reason.
#define IDS_PACKAGE_REFUSED 329
#define IDS_STATUS 801
#define IDS_STATUS_FOUND_BASE 809  // + port 1 to 4: "Found ... on COMn" (810 to 813)
#define IDS_STATUS_NO_CONNECTION 822
#define IDS_STATUS_LOOKING 823
#define IDS_STATUS_CHOOSE_PORT 824  // the port box holds no port from COM1 to COM16
#define IDS_STATUS_DISCONNECTING 830
#define IDS_STATUS_CONNECTING_INSTALLER 831
#define IDS_STATUS_WAITING_INSTALLER 832
#define IDS_STATUS_SENDING_FILE 834
#define IDS_STATUS_RUNNING_SCRIPT 836
#define IDS_STATUS_PREPARING_NEXT 837
#define IDS_STATUS_REBOOTING 838
#define IDS_STATUS_COMPLETE 839
#define IDS_STATUS_FAILED 840  // the image did not reach the instrument
// After an installation, the instrument's MAIN version against the image name's: the same
// (%s: the version), another (%s: reported, %s: expected), or a name without a version (%s:
// reported).
#define IDS_STATUS_VERIFIED 841
#define IDS_STATUS_VERSION_DIFFERS 842
#define IDS_STATUS_UNCHECKED 843
// After a cut transfer: the instrument is to be switched off and on and is waited for; once it
// answers, the run failed and it runs MAIN %s.
#define IDS_STATUS_POWER_CYCLE 844
#define IDS_STATUS_CUT_FAILED 845

#endif  // HALVEX_APP_RESOURCES_RESOURCE_H
