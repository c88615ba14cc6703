#pragma once

// A volume window of the background music: while a video clip plays, the music takes the clip's level.
struct BKMusicVolumeInfo {
    float fltStart = 0.0f;    // seconds on the composition's timeline
    float fltDuration = 0.0f; // seconds
    float fltVolume = 0.0f;   // 0 to 1
};
