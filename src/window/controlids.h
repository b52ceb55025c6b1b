#pragma once

// Resource and control IDs of the window templates. The numbers are those of
// the original resource script, so that every control keeps its identity.
enum ResourceId {
    IDD_ABOUTBOX = 100,
    IDS_ABOUTBOX = 101,
    IDD_QUORVEL_DIALOG = 102,
    IDR_MAINFRAME = 128,
    IDD_PROFILE_NAME = 130,
};

// The about box command; the low four bits are free for the window manager.
constexpr int IDM_ABOUTBOX = 0x0010;

enum ControlId {
    IDC_STATIC = -1, // fixed texts and frames that nothing addresses
    IDOK = 1,
    IDCANCEL = 2,
    IDC_FILELIST = 1000,
    IDC_PROFILE_NAME_EDIT = 1021,
    IDC_APPLY = 1022,
    IDC_PAGE_INPUT = 1024,
    IDC_PAGE_PARSE = 1025,
    IDC_PAGE_CREATE = 1026,
    IDC_PAGE_OUTPUT = 1028,
    IDC_CASE = 1029,
    IDC_ANSI = 1030,
    IDC_SEPARATOR = 1031,
    IDC_OPTIONS_GROUP = 1032,
    IDC_ORIGINAL_LABEL = 1033,
    IDC_PROFILE_LIST = 1034,
    IDC_EXIT = 1036,
    IDC_CLEAR_OTHER_V2 = 1038,
    IDC_CLEAR_V1 = 1039,
    IDC_REMOVE_ALL = 1040,
    IDC_REMOVE_ITEM = 1041,
    IDC_PREVIEW_ALL = 1042,
    IDC_HISTORY = 1043,
    IDC_FIELD_FIRST = 2000, // edit boxes 2000 to 2007, one per field
    IDC_FIELD_LAST = 2007,
    IDC_ORIGINAL_EDIT = 2008,
};

// The edit box that shows field `field` of the current page.
constexpr int fieldEditId(int field) {
    return IDC_FIELD_FIRST + field;
}

// The page buttons in page order: "Input", "Parse Input", "Create Output", "Output".
constexpr int kPageButtonIds[] = {IDC_PAGE_INPUT, IDC_PAGE_PARSE, IDC_PAGE_CREATE, IDC_PAGE_OUTPUT};
