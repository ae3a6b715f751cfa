// Suite tables: one structure of function pointers per suite and version, with the name and
// version under which it is acquired from the basic suite. Every function returns an A_Err,
// A_Err_NONE (0) on success; out-pointers are written only on success unless stated.
#pragma once

#include "AE_Hooks.h"
#include "AE_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Command Suite ---------------------------------------------------------------------- */
#define kAEGPCommandSuite "AEGP Command Suite"
#define kAEGPCommandSuiteVersion1 1
typedef struct {
    A_Err (*AEGP_GetUniqueCommand)(AEGP_Command* unique_commandP);
    /* after_itemL: a position, or AEGP_MENU_INSERT_SORTED / _AT_BOTTOM / _AT_TOP. */
    A_Err (*AEGP_InsertMenuCommand)(AEGP_Command command, const A_char* nameZ,
                                    AEGP_MenuID menu_id, A_long after_itemL);
    A_Err (*AEGP_RemoveMenuCommand)(AEGP_Command command);
    A_Err (*AEGP_EnableCommand)(AEGP_Command command);
    A_Err (*AEGP_DisableCommand)(AEGP_Command command);
    A_Err (*AEGP_CheckMarkMenuCommand)(AEGP_Command command, A_Boolean checkB);
    /* Carries out a host command (a menu command of the host's own, or a plug-in's). */
    A_Err (*AEGP_DoCommand)(AEGP_Command command);
} AEGP_CommandSuite1;

/* ---- Register Suite --------------------------------------------------------------------- */
#define kAEGPRegisterSuite "AEGP Register Suite"
#define kAEGPRegisterSuiteVersion6 6
typedef struct {
    A_Err (*AEGP_RegisterCommandHook)(AEGP_PluginID aegp_plugin_id,
                                      AEGP_HookPriority hook_priority, AEGP_Command command,
                                      AEGP_CommandHook command_hook_func,
                                      AEGP_CommandRefcon refconP);
    A_Err (*AEGP_RegisterUpdateMenuHook)(AEGP_PluginID aegp_plugin_id,
                                         AEGP_UpdateMenuHook update_menu_hook_func,
                                         AEGP_UpdateMenuRefcon refconP);
    A_Err (*AEGP_RegisterDeathHook)(AEGP_PluginID aegp_plugin_id,
                                    AEGP_DeathHook death_hook_func, AEGP_DeathRefcon refconP);
    A_Err (*AEGP_RegisterIdleHook)(AEGP_PluginID aegp_plugin_id, AEGP_IdleHook idle_hook_func,
                                   AEGP_IdleRefcon refconP);
} AEGP_RegisterSuite6;

/* ---- Workspace Panel Suite -------------------------------------------------------------- */
#define kAEGPWorkspacePanelSuite "AEGP Workspace Panel Suite"
#define kAEGPWorkspacePanelSuiteVersion1 1
typedef struct {
    A_Err (*AEGP_RegisterCreatePanelHook)(AEGP_PluginID aegp_plugin_id,
                                          const A_u_char* utf8_match_nameZ,
                                          AEGP_CreatePanelHook create_panel_func,
                                          AEGP_CreatePanelRefcon refconP,
                                          A_Boolean paint_backgroundB);
    A_Err (*AEGP_UnRegisterCreatePanelHook)(const A_u_char* utf8_match_nameZ);
    A_Err (*AEGP_SetPanelTitle)(AEGP_PanelH panelH, const A_u_char* utf8_nameZ);
    /* Shows a hidden panel (creating it the first time) or hides a shown one. */
    A_Err (*AEGP_ToggleVisibility)(const A_u_char* utf8_match_nameZ);
    /* Whether the panel's tab is shown, and whether it is the frontmost tab of its frame. */
    A_Err (*AEGP_IsShown)(const A_u_char* utf8_match_nameZ, A_Boolean* tab_is_shownB,
                          A_Boolean* panel_is_frontmostB);
} AEGP_WorkspacePanelSuite1;

/* ---- Item Suite ------------------------------------------------------------------------- */
#define kAEGPItemSuite "AEGP Item Suite"
#define kAEGPItemSuiteVersion14 14
typedef struct {
    A_Err (*AEGP_GetFirstProjItem)(AEGP_ProjectH projectH, AEGP_ItemH* itemPH);
    /* *next_itemPH is null after the last item. */
    A_Err (*AEGP_GetNextProjItem)(AEGP_ProjectH projectH, AEGP_ItemH itemH,
                                  AEGP_ItemH* next_itemPH);
    /* *itemPH is null when no item is active. */
    A_Err (*AEGP_GetActiveItem)(AEGP_ItemH* itemPH);
    A_Err (*AEGP_GetItemType)(AEGP_ItemH itemH, AEGP_ItemType* item_typeP);
    /* The item's name as a memory handle of zero-terminated UTF-16. */
    A_Err (*AEGP_GetItemName)(AEGP_PluginID plugin_id, AEGP_ItemH itemH,
                              AEGP_MemHandle* unicode_namePH);
    A_Err (*AEGP_GetItemDimensions)(AEGP_ItemH itemH, A_long* widthPL, A_long* heightPL);
    A_Err (*AEGP_GetItemDuration)(AEGP_ItemH itemH, A_Time* durationPT);
    A_Err (*AEGP_GetItemCurrentTime)(AEGP_ItemH itemH, A_Time* curr_timePT);
    /* The item's most recently used view; null when it is not open in a viewer. */
    A_Err (*AEGP_GetItemMRUView)(AEGP_ItemH itemH, AEGP_ItemViewP* mru_viewP);
} AEGP_ItemSuite14;

/* ---- Item View Suite -------------------------------------------------------------------- */
#define kAEGPItemViewSuite "AEGP Item View Suite"
#define kAEGPItemViewSuiteVersion1 1
typedef struct {
    /* The time the view shows; *is_currently_previewingPB is true while it plays back. */
    A_Err (*AEGP_GetItemViewPlaybackTime)(AEGP_ItemViewP item_viewP,
                                          A_Boolean* is_currently_previewingPB,
                                          A_Time* curr_timePT);
} AEGP_ItemViewSuite1;

/* ---- Comp Suite ------------------------------------------------------------------------- */
#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPCompSuiteVersion25 25
typedef struct {
    A_Err (*AEGP_GetCompFromItem)(AEGP_ItemH itemH, AEGP_CompH* compPH);
    A_Err (*AEGP_GetItemFromComp)(AEGP_CompH compH, AEGP_ItemH* itemPH);
    A_Err (*AEGP_GetCompFramerate)(AEGP_CompH compH, A_FpLong* fpsPF);
    /* Adds a camera layer at the top of the composition, aimed from the host's default
     * distance at center_point, with the host's default zoom and lens options. */
    A_Err (*AEGP_CreateCameraInComp)(const A_UTF16Char* utf_nameZ, A_FloatPoint center_point,
                                     AEGP_CompH parent_compH, AEGP_LayerH* new_cameraPH);
} AEGP_CompSuite25;

/* ---- Project Suite ---------------------------------------------------------------------- */
#define kAEGPProjSuite "AEGP Proj Suite"
#define kAEGPProjSuiteVersion9 9
typedef struct {
    A_Err (*AEGP_GetNumProjects)(A_long* num_projPL);
    A_Err (*AEGP_GetProjectByIndex)(A_long proj_indexL, AEGP_ProjectH* projPH);
} AEGP_ProjSuite9;

/* ---- Layer Suite ------------------------------------------------------------------------ */
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion15 15
typedef struct {
    A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long* num_layersPL);
    /* Index 0 is the top of the layer stack. */
    A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL,
                                      AEGP_LayerH* layerPH);
    /* Either out handle may be null; each given one receives a memory handle of zero-terminated
     * UTF-16 that the caller frees. The source name of a layer without a source is empty. */
    A_Err (*AEGP_GetLayerName)(AEGP_PluginID plugin_id, AEGP_LayerH layerH,
                               AEGP_MemHandle* utf_layer_namePH0,
                               AEGP_MemHandle* utf_source_namePH0);
    A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layerH, AEGP_ObjectType* object_type);
    A_Err (*AEGP_GetLayerFlags)(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP);
    /* single_flag must name exactly one flag. */
    A_Err (*AEGP_SetLayerFlag)(AEGP_LayerH layerH, AEGP_LayerFlags single_flag,
                               A_Boolean valueB);
} AEGP_LayerSuite15;

/* ---- Stream Suite ----------------------------------------------------------------------- */
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion11 11
typedef struct {
    /* Opens a reference to one of the layer's streams; fails with A_Err_PARAMETER for a
     * stream the layer does not have. Dispose it with AEGP_DisposeStream. */
    A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                    AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
    A_Err (*AEGP_GetStreamType)(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP);
    /* The stream's value at a time: its static value, or its keyframes interpolated. */
    A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                    AEGP_LTimeMode time_mode, const A_Time* timePT,
                                    A_Boolean pre_expressionB, AEGP_StreamValue2* valueP);
    A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2* valueP);
    /* Sets the static value of a stream without keyframes; fails on an animated stream. */
    A_Err (*AEGP_SetStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                 AEGP_StreamValue2* valueP);
} AEGP_StreamSuite11;

/* ---- Keyframe Suite --------------------------------------------------------------------- */
#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPKeyframeSuiteVersion5 5
typedef struct {
    A_Err (*AEGP_GetStreamNumKFs)(AEGP_StreamRefH streamH, A_long* num_kfsPL);
    A_Err (*AEGP_GetKeyframeTime)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                  AEGP_LTimeMode time_mode, A_Time* timePT);
    /* Inserts a keyframe at the time, holding the stream's value there, and gives its index.
     * When a keyframe already stands at that time, gives that key's index and changes nothing.
     * Keys are kept in time order, so indices of later keys move up. */
    A_Err (*AEGP_InsertKeyframe)(AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode,
                                 const A_Time* timePT, AEGP_KeyframeIndex* key_indexP);
    A_Err (*AEGP_DeleteKeyframe)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index);
    A_Err (*AEGP_GetNewKeyframeValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                      AEGP_KeyframeIndex key_index, AEGP_StreamValue2* valueP);
    A_Err (*AEGP_SetKeyframeValue)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index,
                                   const AEGP_StreamValue2* valueP);
    A_Err (*AEGP_SetKeyframeInterpolation)(AEGP_StreamRefH streamH,
                                           AEGP_KeyframeIndex key_index,
                                           AEGP_KeyframeInterpolationType in_interp,
                                           AEGP_KeyframeInterpolationType out_interp);
} AEGP_KeyframeSuite5;

/* ---- Memory Suite ----------------------------------------------------------------------- */
#define kAEGPMemorySuite "AEGP Memory Suite"
#define kAEGPMemorySuiteVersion1 1
typedef struct {
    A_Err (*AEGP_NewMemHandle)(AEGP_PluginID plugin_id, const A_char* whatZ, AEGP_MemSize size,
                               AEGP_MemFlag flags, AEGP_MemHandle* memPH);
    /* Freeing a locked handle is an error. */
    A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle memH);
    /* Locks may nest; each lock needs one unlock. */
    A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptr_to_ptr);
    A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);
    A_Err (*AEGP_GetMemHandleSize)(AEGP_MemHandle memH, AEGP_MemSize* sizeP);
} AEGP_MemorySuite1;

/* ---- Render Options Suite --------------------------------------------------------------- */
#define kAEGPRenderOptionsSuite "AEGP Render Options Suite"
#define kAEGPRenderOptionsSuiteVersion3 3
typedef struct {
    A_Err (*AEGP_NewFromItem)(AEGP_PluginID plugin_id, AEGP_ItemH itemH,
                              AEGP_RenderOptionsH* optionsPH);
    A_Err (*AEGP_SetTime)(AEGP_RenderOptionsH optionsH, A_Time time);
    A_Err (*AEGP_GetTime)(AEGP_RenderOptionsH optionsH, A_Time* timeP);
    A_Err (*AEGP_SetWorldType)(AEGP_RenderOptionsH optionsH, AEGP_WorldType type);
    /* Renders at 1/x of the width and 1/y of the height. */
    A_Err (*AEGP_SetDownsampleFactor)(AEGP_RenderOptionsH optionsH, A_short x, A_short y);
    A_Err (*AEGP_Dispose)(AEGP_RenderOptionsH optionsH);
} AEGP_RenderOptionsSuite3;

/* ---- Render Suite ----------------------------------------------------------------------- */
#define kAEGPRenderSuite "AEGP Render Suite"
#define kAEGPRenderSuiteVersion8 8
typedef struct {
    /* Renders the options' item at the options' time. Check the receipt in when done. */
    A_Err (*AEGP_RenderAndCheckoutFrame)(AEGP_RenderOptionsH optionsH,
                                         AEGP_RenderSuiteCheckForCancellation cancel_functionP0,
                                         AEGP_CancelRefcon cancel_function_refconP0,
                                         AEGP_FrameReceiptH* receiptPH);
    A_Err (*AEGP_CheckinFrame)(AEGP_FrameReceiptH receiptH);
    /* The receipt's world; valid until the receipt is checked in. */
    A_Err (*AEGP_GetReceiptWorld)(AEGP_FrameReceiptH receiptH, AEGP_WorldH* worldPH);
} AEGP_RenderSuite8;

/* ---- World Suite ------------------------------------------------------------------------ */
#define kAEGPWorldSuite "AEGP World Suite"
#define kAEGPWorldSuiteVersion3 3
typedef struct {
    A_Err (*AEGP_GetType)(AEGP_WorldH worldH, AEGP_WorldType* typeP);
    A_Err (*AEGP_GetSize)(AEGP_WorldH worldH, A_long* widthPL, A_long* heightPL);
    A_Err (*AEGP_GetRowBytes)(AEGP_WorldH worldH, A_u_long* row_bytesPL);
    /* Fails with A_Err_PARAMETER for a world that is not 8 bits per channel. */
    A_Err (*AEGP_GetBaseAddr8)(AEGP_WorldH worldH, PF_Pixel8** base_addrP);
} AEGP_WorldSuite3;

/* ---- Utility Suite ---------------------------------------------------------------------- */
#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion13 13
typedef struct {
    /* Runs a script. Either out handle may be null. On success *resultPH0 receives the
     * script's result as zero-terminated 8-bit text; when the script fails *error_stringPH0
     * receives the error text and the call returns an error. The caller frees both. */
    A_Err (*AEGP_ExecuteScript)(AEGP_PluginID plugin_id, const A_char* utf8_scriptZ,
                                const A_Boolean platform_encodingB, AEGP_MemHandle* resultPH0,
                                AEGP_MemHandle* error_stringPH0);
} AEGP_UtilitySuite13;

#ifdef __cplusplus
}
#endif
