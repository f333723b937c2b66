// The run settings, filled from the command line by main and read by the rest of the run.
#pragma once

constexpr int kSettingNameSize = 256;

extern int DebugLevel;        // 2 after /D: CallEngine traces every call
extern int HistogramEnabled;  // set by /H
extern int LogEnabled;        // set by /L
extern char LogFileName[kSettingNameSize];
extern char DataFileName[kSettingNameSize];
