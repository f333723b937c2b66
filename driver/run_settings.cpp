#include "driver/run_settings.h"

int DebugLevel;
int HistogramEnabled;
int LogEnabled;
char LogFileName[kSettingNameSize];
char DataFileName[kSettingNameSize];
