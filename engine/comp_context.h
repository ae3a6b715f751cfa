// The active composition and the time the idle stages work at. Each stage looks them up again
// with its own suite handler; nothing is cached between stages.
#pragma once

#include "sdk/AE_SDK.h"

class AEGP_SuiteHandler;

struct CompContext {
    AEGP_ItemH item = nullptr;
    AEGP_CompH comp = nullptr;
};

// The outcome of looking the active composition up, with what the timeline logs report.
struct CompLookup {
    enum Outcome { Found, NoActiveItem, NotAComp, NoComp };
    Outcome outcome = NoActiveItem;
    A_Err err = A_Err_NONE;                 // of the active-item call
    AEGP_ItemH item = nullptr;              // the active item, when there is one
    AEGP_ItemType type = AEGP_ItemType_NONE;
    CompContext context;                    // set when Found
};

// The active item counts when it exists, is a composition, and its composition can be had.
CompLookup LookUpActiveComp(AEGP_SuiteHandler& suites);

// The composition time: the playback time of the item's most recently used view (with its
// previewing flag), else the item's current time (previewing false). False when neither can
// be had.
bool FindCompTime(AEGP_SuiteHandler& suites, AEGP_ItemH item, A_Time* time, bool* previewing);
