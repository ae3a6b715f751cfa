// The records the server shares with the rest of the plug-in: one streaming phone of the
// registry, a registration waiting for its stream, and the contents of the mailboxes through
// which phone commands reach the idle tick (and the timeline state it publishes back).
// Plain structures, copied by value; engine and rig code include this without the server.
#pragma once

#include <cstdint>
#include <string>

// One registered stream connection.
struct ClientInfo {
    int fd = -1;              // the stream's socket; unique among registered entries
    char ip[64] = {};         // peer IP text (SockAddrToIPString); joins stream, register, motion
    char name[128] = {};      // the phone's name; empty until known
    char targetCam[256] = {}; // composition camera the phone asked for; empty: none chosen
    bool allowed = true;      // the phone may drive its camera
};

// A registration kept by IP text until that phone's stream arrives.
struct PendingReg {
    std::string deviceName;
    std::string cameraName;  // may be empty
};

// Lens settings of one phone.
struct CameraSettings {
    float zoom = 940.74f;
    float focusDistance = 940.74f;
    float aperture = 8.93f;
    float blurLevel = 100.0f;
    bool dof = false;
    char deviceName[128] = {};  // whose camera the settings are for
};

// The timeline as the idle tick last published it.
struct TimelineState {
    double currentTime = 0.0;  // seconds
    double duration = 0.0;     // seconds
    double fps = 30.0;
    bool playing = false;
};

enum TimelineAction : int32_t {
    TimelineActionNone = 0,
    TimelineActionSeek = 1,
    TimelineActionPlay = 2,
    TimelineActionPause = 3,
    TimelineActionStepForward = 4,
    TimelineActionStepBack = 5,
    TimelineActionGoToStart = 6,
    TimelineActionGoToEnd = 7,
};

struct TimelineCommand {
    TimelineAction action = TimelineActionNone;
    double time = 0.0;  // seconds; meaningful for seek only
};

enum RecordMode : int32_t {
    RecordModeNone = 0,
    RecordModeSingle = 1,
    RecordModeStart = 2,
    RecordModeStop = 3,
};

// A phone's camera choice.
struct SelectCameraRequest {
    char deviceName[128] = {};
    char cameraName[256] = {};  // may be empty
};
