// The fixed texts that zorbinel writes to standard error, as every test of the built programs
// expects them.
#pragma once

// The first line on standard error of every run.
extern const char kBanner[];

// The usage text after the banner.
extern const char kUsage[];
