// Numeric ids shared by the resource script and the code. Plain macros: the resource compiler
// reads this file too.
#pragma once

#define IDS_WINDOW_TITLE 103
#define IDS_WINDOW_CLASS 133

#define IDI_LARGE_ICON 131
#define IDI_SMALL_ICON 132

#define IDR_MAIN_MENU 133
#define IDR_ACCELERATORS 133

#define IDD_ABOUT 103
#define IDD_SET_TIME 138
#define IDD_SETTINGS 142
#define IDD_SYNC_HERE 166
#define IDD_CHOOSE_SCRIPT 167

// Menu commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SET_TIME 130
#define IDM_OPEN 140
#define IDM_SETTINGS 141
#define IDM_PLAY 151
#define IDM_PAUSE 152
#define IDM_HELP 154
#define IDM_NEW_SCRIPT 160
#define IDM_RECORD 161
#define IDM_RELOAD 162
#define IDM_SYNC_HERE 163
#define IDM_CLEAR_SYNC 164
#define IDM_NEW_FROM_SUBTITLES 165
#define IDM_SCRIPTS_FOLDER 166

// Controls of the main window.
#define IDC_PLAY_BUTTON 136
#define IDC_DELAY_EDIT 137
#define IDC_BACK_2S 147
#define IDC_BACK_02S 148
#define IDC_FORWARD_02S 149
#define IDC_FORWARD_2S 150
#define IDC_DELAY_LABEL 167
// The status lines, one id each from here on, in the order of the window's Line.
#define IDC_FIRST_LINE 170

// Controls of the dialogs.
#define IDC_SET_TIME_EDIT 139
#define IDC_CLICK_X 143
#define IDC_CLICK_Y 144
#define IDC_TIME_ADJ 145
#define IDC_CLICK_MAXIMIZE 146
#define IDC_CLOCK_SOURCE 147
#define IDC_VLC_HOST 148
#define IDC_VLC_PORT 149
#define IDC_VLC_PASSWORD 150
#define IDC_MPV_PIPE 151
#define IDC_BROWSER_PORT 156
#define IDC_COVER_MONITORS 157
#define IDC_MARK_LEAD 158
#define IDC_SYNC_MOMENT 159
#define IDC_SYNC_COPY_TIME 165
#define IDC_DONATE 153
#define IDC_CLICK_PRESET 155  // made at run time
#define IDC_LOCATION_LABEL 168
#define IDC_CLOCK_KEYS 169
#define IDC_SCRIPTS_FOLDER 190
#define IDC_LOAD_MATCHING 191
#define IDC_CHOOSE_HEADING 192
#define IDC_CHOOSE_LIST 193
