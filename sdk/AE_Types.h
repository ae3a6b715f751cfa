// Basic types, handles, errors and constants of the host SDK interface.
//
// This header set is the whole contract between the plug-in and a host. It is plain C so that
// any host (the real application, or quillo-host) can implement it, and the plug-in never needs
// anything from the host beyond these declarations.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- basic scalar types ---------------------------------------------------------------- */
typedef int32_t  A_long;
typedef uint32_t A_u_long;
typedef int16_t  A_short;
typedef uint16_t A_u_short;
typedef char     A_char;
typedef uint8_t  A_u_char;
typedef uint8_t  A_Boolean;
typedef double   A_FpLong;
typedef float    A_FpShort;
typedef uint16_t A_UTF16Char;
typedef int32_t  A_Err;

/* Host time: seconds = value / scale, computed in double precision. */
typedef struct {
    A_long   value;
    A_u_long scale;
} A_Time;

typedef struct { A_long x, y; } A_LPoint;
typedef struct { A_FpLong x, y; } A_FloatPoint;
typedef struct { A_FpLong x, y, z; } A_FloatPoint3;

/* ---- error codes ----------------------------------------------------------------------- */
enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,          /* the call failed for a reason the host does not detail   */
    A_Err_STRUCT = 2,           /* a handle names something that no longer exists (stale) */
    A_Err_PARAMETER = 3,        /* a null out-pointer, an index out of range, a bad value  */
    A_Err_ALLOC = 4,            /* memory could not be had                                 */
    A_Err_WRONG_THREAD = 5,     /* called from a thread other than the host's main thread  */
    A_Err_NOT_AVAILABLE = 6,    /* the host does not offer this service                    */
    A_Err_MISSING_SUITE = 516   /* a suite of the asked name and version does not exist    */
};

/* ---- identifiers ----------------------------------------------------------------------- */
typedef A_long AEGP_PluginID;
typedef A_long AEGP_Command;
typedef A_long AEGP_MenuID;
typedef A_long AEGP_KeyframeIndex;
typedef A_long AEGP_FlyoutMenuCmdID;
typedef A_u_long AEGP_MemSize;

/* ---- opaque handles -------------------------------------------------------------------- *
 * Every handle is a pointer to a structure the host defines and the plug-in never looks into.
 * A handle whose object was deleted goes stale: every suite call taking it fails with
 * A_Err_STRUCT and touches nothing. */
typedef struct _AEGP_Project*        AEGP_ProjectH;
typedef struct _AEGP_Item*           AEGP_ItemH;
typedef struct _AEGP_Comp*           AEGP_CompH;
typedef struct _AEGP_Layer*          AEGP_LayerH;
typedef struct _AEGP_StreamRef*      AEGP_StreamRefH;
typedef struct _AEGP_MemBlock*       AEGP_MemHandle;
typedef struct _AEGP_RenderOptions*  AEGP_RenderOptionsH;
typedef struct _AEGP_FrameReceipt*   AEGP_FrameReceiptH;
typedef struct _AEGP_World*          AEGP_WorldH;
typedef struct _AEGP_ItemView*       AEGP_ItemViewP;
typedef struct _AEGP_Panel*          AEGP_PanelH;
/* The host's container view for a panel (an NSView on macOS; a platform ui view in
 * quillo-host). */
typedef struct _AEGP_PlatformView*   AEGP_PlatformViewRef;

/* ---- refcons --------------------------------------------------------------------------- */
typedef struct _AEGP_GlobalRefcon*      AEGP_GlobalRefcon;
typedef struct _AEGP_CommandRefcon*     AEGP_CommandRefcon;
typedef struct _AEGP_UpdateMenuRefcon*  AEGP_UpdateMenuRefcon;
typedef struct _AEGP_DeathRefcon*       AEGP_DeathRefcon;
typedef struct _AEGP_IdleRefcon*        AEGP_IdleRefcon;
typedef struct _AEGP_CreatePanelRefcon* AEGP_CreatePanelRefcon;
typedef struct _AEGP_PanelRefcon*       AEGP_PanelRefcon;
typedef struct _AEGP_CancelRefcon*      AEGP_CancelRefcon;

/* ---- enums and constants ---------------------------------------------------------------- */
typedef A_long AEGP_ItemType;
enum {
    AEGP_ItemType_NONE = 0,
    AEGP_ItemType_FOLDER = 1,
    AEGP_ItemType_COMP = 2,
    AEGP_ItemType_FOOTAGE = 4
};

typedef A_long AEGP_ObjectType;
enum {
    AEGP_ObjectType_NONE = -1,
    AEGP_ObjectType_AV = 0,      /* solids, footage layers, nulls */
    AEGP_ObjectType_LIGHT = 1,
    AEGP_ObjectType_CAMERA = 2
};

typedef A_long AEGP_LayerFlags;
enum {
    AEGP_LayerFlag_NONE = 0x0,
    AEGP_LayerFlag_VIDEO_ACTIVE = 0x1,     /* the video switch (eye)                   */
    AEGP_LayerFlag_LAYER_IS_3D = 0x800,
    AEGP_LayerFlag_LOOK_AT_POI = 0x2000,   /* camera aims at its point of interest      */
    AEGP_LayerFlag_NULL_LAYER = 0x10000
};

typedef A_long AEGP_LayerStream;
enum {
    AEGP_LayerStream_NONE = -1,
    AEGP_LayerStream_ANCHORPOINT = 0,
    AEGP_LayerStream_POSITION = 1,        /* 3-D, composition pixels      */
    AEGP_LayerStream_SCALE = 2,
    AEGP_LayerStream_ROTATION = 3,        /* Z rotation, degrees          */
    AEGP_LayerStream_OPACITY = 4,
    AEGP_LayerStream_ROTATE_X = 5,
    AEGP_LayerStream_ROTATE_Y = 6,
    AEGP_LayerStream_ORIENTATION = 10,    /* 3-D, degrees                 */
    AEGP_LayerStream_ZOOM = 11,           /* camera zoom, pixels          */
    AEGP_LayerStream_DEPTH_OF_FIELD = 12, /* 0 or 1                       */
    AEGP_LayerStream_FOCUS_DISTANCE = 13, /* pixels                       */
    AEGP_LayerStream_APERTURE = 14,       /* pixels                       */
    AEGP_LayerStream_BLUR_LEVEL = 15,     /* percent                      */
    AEGP_LayerStream_INTENSITY = 16,      /* light intensity, percent     */
    AEGP_LayerStream_COLOR = 17,          /* light colour                 */
    AEGP_LayerStream_NUM_STREAMS = 18     /* one past the largest identifier; 7 to 9 name
                                             streams this host does not have */
};

typedef A_long AEGP_LTimeMode;
enum {
    AEGP_LTimeMode_LayerTime = 0,
    AEGP_LTimeMode_CompTime = 1
};

typedef A_long AEGP_KeyframeInterpolationType;
enum {
    AEGP_KeyInterp_NONE = 0,
    AEGP_KeyInterp_LINEAR = 1,
    AEGP_KeyInterp_BEZIER = 2,
    AEGP_KeyInterp_HOLD = 3
};

typedef A_long AEGP_WorldType;
enum {
    AEGP_WorldType_NONE = 0,
    AEGP_WorldType_8 = 1,     /* 8 bits per channel, pixels as bytes alpha, red, green, blue */
    AEGP_WorldType_16 = 2,
    AEGP_WorldType_32 = 3
};

typedef A_long AEGP_StreamType;
enum {
    AEGP_StreamType_NO_DATA = 0,
    AEGP_StreamType_ThreeD_SPATIAL = 1,
    AEGP_StreamType_ThreeD = 2,
    AEGP_StreamType_TwoD_SPATIAL = 3,
    AEGP_StreamType_TwoD = 4,
    AEGP_StreamType_OneD = 5,
    AEGP_StreamType_COLOR = 6
};

/* Menus and menu positions. */
enum {
    AEGP_Menu_NONE = 0,
    AEGP_Menu_FILE = 2,
    AEGP_Menu_EDIT = 3,
    AEGP_Menu_COMPOSITION = 4,
    AEGP_Menu_LAYER = 5,
    AEGP_Menu_WINDOW = 7
};
enum {
    AEGP_MENU_INSERT_SORTED = -2,
    AEGP_MENU_INSERT_AT_BOTTOM = -1,
    AEGP_MENU_INSERT_AT_TOP = 0
};

/* A command hook registered for every command. */
enum { AEGP_Command_ALL = 0 };

typedef A_long AEGP_HookPriority;
enum {
    AEGP_HP_BeforeAE = 0x1,   /* the hook runs before the host's own handling */
    AEGP_HP_AfterAE = 0x2
};

typedef A_long AEGP_WindowType;
enum {
    AEGP_WindType_NONE = 0,
    AEGP_WindType_PROJECT = 1,
    AEGP_WindType_COMP = 2,
    AEGP_WindType_TIME_LAYOUT = 3,
    AEGP_WindType_LAYER = 4,
    AEGP_WindType_FOOTAGE = 5,
    AEGP_WindType_OTHER = 7
};

typedef A_long AEGP_MemFlag;
enum {
    AEGP_MemFlag_NONE = 0,
    AEGP_MemFlag_CLEAR = 1
};

/* Host commands the plug-in issues by number. */
enum {
    AEGP_Cmd_TOGGLE_PLAYBACK = 2285   /* starts playback of the active composition, or stops it */
};

/* ---- values ---------------------------------------------------------------------------- */
typedef A_FpLong AEGP_OneDVal;
typedef struct { A_FpLong x, y; } AEGP_TwoDVal;
typedef struct { A_FpLong x, y, z; } AEGP_ThreeDVal;
typedef struct { A_FpLong alphaF, redF, greenF, blueF; } AEGP_ColorVal;

typedef union {
    AEGP_ThreeDVal three_d;
    AEGP_TwoDVal   two_d;
    AEGP_OneDVal   one_d;
    AEGP_ColorVal  color;
} AEGP_StreamVal2;

typedef struct {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal2 val;
} AEGP_StreamValue2;

/* One pixel of an 8-bit world, in memory order. */
typedef struct {
    A_u_char alpha, red, green, blue;
} PF_Pixel8;

/* Flyout menu item of a panel (the plug-in's panel has none). */
typedef struct {
    A_long indent;
    A_long type;
    A_Boolean enabledB;
    A_long cmdID;
    const A_u_char* utf8NameZ;
} AEGP_FlyoutMenuItem;

#ifdef __cplusplus
}
#endif
