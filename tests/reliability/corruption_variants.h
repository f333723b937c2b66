// Damaged copies of a sound data file, one change each: flipped bytes in the header and in
// sampled pages (raw, and resealed so that the page's checksum holds again and only the
// bounds checks stand between the engine and the damage), truncations and extensions.
#pragma once

#include <string>
#include <vector>

struct FileVariant {
  std::string change;  // what was done, for failure messages
  std::string bytes;
};

// Every variant of `original`, a sound data file with at least one record and an index of at
// least one level. Empty when `original` is not such a file.
std::vector<FileVariant> MakeCorruptVariants(const std::string& original);

// A handful of those variants, one of each kind of damage, for the runs of the whole program.
// A kind that could not be made comes back with an empty file and a change that says so.
std::vector<FileVariant> PickProgramVariants(const std::string& original);
