// Placeholder until the benchmark driver lands.
#include <cstdio>

int main() {
  fprintf(stderr, "Zorbinel Version 3.21: 05/17\n");
  return 1;
}
