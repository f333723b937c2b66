#include "tests/e2e/program_texts.h"

const char kBanner[] = "Zorbinel Version 3.21: 05/17\n";

const char kUsage[] =
    "\nUsage:  ZORBINEL Filename [/R#] [/T#] [/Llogfile]\n\n"
    "    This command stress tests a database engine or file server.\n"
    "    Use the /R# option to specify the run time in seconds (default=10).\n"
    "    Use the /T# option to specify the test type from this list.\n"
    "       1: MKDE File Open/Close (Default).\n"
    "       2: MKDE File StepFirst.\n"
    "       3: MKDE File StepLast.\n"
    "       4: MKDE File GetFirst.\n"
    "      11: OS File Open/Close.\n"
    "      12: OS File Open/Read512B/Read16KB/Close.\n"
    "    Use the /L option to specify the log file to write results.\n"
    "    Use the /H option to calculate and display a histogram.\n";
